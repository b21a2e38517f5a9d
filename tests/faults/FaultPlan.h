#pragma once

// What a forked child does to the file-system calls of the file layer: only
// count and log them, make the N-th fail (once, or it and every later one),
// kill the process with SIGKILL on entry to the N-th, or cut the power there.
// The child tells the parent what happened through a pipe, one line per event.
//
// A power cut keeps of the data folder only what was synced (a simulated
// page cache): a file's bytes as its last fsync saw them, the folder's names
// as its last fsync saw them, everything as it was when the plan was armed.
// A name whose file was never synced comes back empty. The folder is set to
// that state and the process killed.

#include "shell/FileOps.h"

#include <QByteArray>
#include <QList>
#include <QString>

struct FaultPlan {
    enum Mode { Log, FailOnce, FailFrom, Kill, PowerCut };
    Mode mode = Log;
    int at = 0;  // the call, counted from 1
    int err = 0; // the errno of a failure
};

// One call as the logging run saw it: its kind and the names of the files it
// worked on (a descriptor's file is looked up).
struct LoggedCall {
    FileOps::Call call;
    QString path;
    QString to;
};

// Installs the plan in this (child) process; events go to fd.
void armFaults(const FaultPlan &plan, int fd);
void disarmFaults();

// A line of the child's report: "<tag>\t<text>" with tabs and line ends escaped.
void reportLine(const char *tag, const QString &text);

QString callName(FileOps::Call call);
FileOps::Call callFromName(const QString &name);
QString errnoName(int err);

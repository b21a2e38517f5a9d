#pragma once

// What a forked child does to the file-system calls of the file layer: only
// count and log them, make the N-th fail (once, or it and every later one),
// or kill the process with SIGKILL on entry to the N-th. The child tells the
// parent what happened through a pipe, one line per event.

#include "shell/FileOps.h"

#include <QByteArray>
#include <QList>
#include <QString>

struct FaultPlan {
    enum Mode { Log, FailOnce, FailFrom, Kill };
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

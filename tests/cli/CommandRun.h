#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// The built tessaline command run as a user runs it: its exit code (-1 when
// it did not end in time, -2 when it crashed) and what it printed.
struct Run {
    int exitCode;
    QString out;
    QString err;
};

inline Run runTessaline(const QStringList &args)
{
    QProcess process;
    process.start(QStringLiteral(TESSALINE_BIN), args);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000))
        return {-1, {}, {}};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

#include "FaultPlan.h"

#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace {
FaultPlan plan;
int reportFd = -1;
int calls = 0;

void writeAll(const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(reportFd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        p += n;
        left -= n;
    }
}

QString descriptorPath(int fd)
{
    char buf[4096];
    const ssize_t n = ::readlink(QByteArray("/proc/self/fd/" + QByteArray::number(fd)).constData(), buf,
                                 sizeof buf - 1);
    return n > 0 ? QString::fromLocal8Bit(buf, n) : QString();
}

QString fileName(const char *path)
{
    return path ? QFileInfo(QString::fromLocal8Bit(path)).fileName() : QString();
}

int onCall(const FileOps::Entry &e)
{
    const int n = ++calls;
    if (plan.mode == FaultPlan::Log) {
        const QString path = e.path ? fileName(e.path) : QFileInfo(descriptorPath(e.fd)).fileName();
        reportLine("call", callName(e.call) + u'\t' + path + u'\t' + fileName(e.to));
        return 0;
    }
    if (n < plan.at || (plan.mode != FaultPlan::FailFrom && n > plan.at))
        return 0;
    if (plan.mode == FaultPlan::Kill)
        ::raise(SIGKILL);
    // A temporary file whose deletion failed may be left; the parent allows it then.
    if (e.call == FileOps::Call::Unlink && fileName(e.path).startsWith(u'.'))
        reportLine("kept", fileName(e.path));
    return plan.err;
}
} // namespace

void armFaults(const FaultPlan &p, int fd)
{
    plan = p;
    reportFd = fd;
    calls = 0;
    FileOps::setHook(onCall);
}

void disarmFaults()
{
    FileOps::setHook(nullptr);
}

void reportLine(const char *tag, const QString &text)
{
    QString escaped = text;
    escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u'\t', QStringLiteral("\\t")).replace(u'\n', QStringLiteral("\\n")).replace(u'\r', QStringLiteral("\\r"));
    writeAll(QByteArray(tag) + '\t' + escaped.toUtf8() + '\n');
}

static const char *const kCallNames[] = {"stat", "open", "read", "write", "fsync",
                                         "close", "rename", "unlink", "mkostemp", "mkdir", "link"};

QString callName(FileOps::Call call)
{
    return QString::fromLatin1(kCallNames[int(call)]);
}

FileOps::Call callFromName(const QString &name)
{
    for (int i = 0; i < int(std::size(kCallNames)); ++i)
        if (name == QLatin1String(kCallNames[i]))
            return FileOps::Call(i);
    qFatal("unknown call %s", qPrintable(name));
}

QString errnoName(int err)
{
    switch (err) {
    case ENOSPC: return QStringLiteral("ENOSPC");
    case EIO: return QStringLiteral("EIO");
    case EACCES: return QStringLiteral("EACCES");
    case EROFS: return QStringLiteral("EROFS");
    case EXDEV: return QStringLiteral("EXDEV");
    case EINTR: return QStringLiteral("EINTR");
    case EDQUOT: return QStringLiteral("EDQUOT");
    case EPERM: return QStringLiteral("EPERM");
    case EMLINK: return QStringLiteral("EMLINK");
    default: return QString::number(err);
    }
}

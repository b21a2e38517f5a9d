#include "FaultPlan.h"

#include "shell/BasConst.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
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

// ------------------------------------------------- the simulated page cache

// A file is known by its inode and birth time: an inode number freed by a
// replaced file may come back for a new one.
using FileId = QPair<quint64, qint64>;

QString durableFolder;             // the data folder
QMap<QString, FileId> durableNames; // its names as last synced
QHash<FileId, QByteArray> durableBytes;

FileId idOf(int dirfd, const char *path, int flags)
{
    struct statx sx {};
    if (::statx(dirfd, path, flags, STATX_INO | STATX_BTIME, &sx) != 0)
        return {0, 0};
    const qint64 born = (sx.stx_mask & STATX_BTIME) ? qint64(sx.stx_btime.tv_sec) * 1000000000 + sx.stx_btime.tv_nsec : 0;
    return {sx.stx_ino, born};
}

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QMap<QString, FileId> namesIn(const QString &folder)
{
    QMap<QString, FileId> names;
    for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System))
        names.insert(name, idOf(AT_FDCWD, QFile::encodeName(folder + u'/' + name).constData(), AT_SYMLINK_NOFOLLOW));
    return names;
}

void rememberEverything()
{
    durableFolder = dataFolder();
    durableNames = namesIn(durableFolder);
    durableBytes.clear();
    for (auto it = durableNames.cbegin(); it != durableNames.cend(); ++it)
        durableBytes.insert(it.value(), bytesOf(durableFolder + u'/' + it.key()));
}

// On entry to an fsync: what it will make durable.
void rememberSynced(int fd)
{
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return;
    const QString path = descriptorPath(fd);
    if (S_ISDIR(st.st_mode)) {
        if (QFileInfo(path).canonicalFilePath() == QFileInfo(durableFolder).canonicalFilePath())
            durableNames = namesIn(durableFolder);
    } else if (S_ISREG(st.st_mode)) {
        durableBytes.insert(idOf(fd, "", AT_EMPTY_PATH), bytesOf(path));
    }
}

// The folder as it comes back after the cut.
void cutPower()
{
    for (const QString &name : QDir(durableFolder).entryList(QDir::Files | QDir::Hidden | QDir::System))
        QFile::remove(durableFolder + u'/' + name);
    for (auto it = durableNames.cbegin(); it != durableNames.cend(); ++it) {
        QFile file(durableFolder + u'/' + it.key());
        if (file.open(QIODevice::WriteOnly))
            file.write(durableBytes.value(it.value()));
    }
    ::raise(SIGKILL);
}

int onCall(const FileOps::Entry &e)
{
    const int n = ++calls;
    if (plan.mode == FaultPlan::PowerCut) {
        if (n == plan.at)
            cutPower();
        if (e.call == FileOps::Call::Fsync)
            rememberSynced(e.fd);
        return 0;
    }
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
    if (plan.mode == FaultPlan::PowerCut)
        rememberEverything();
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

static const char *const kCallNames[] = {"stat",   "open",   "read",     "write", "fsync",
                                         "close",  "rename", "unlink",   "mkostemp", "mkdir",
                                         "link",   "readlink", "clone",  "copy_file_range"};

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
    case EINVAL: return QStringLiteral("EINVAL");
    case ENOSYS: return QStringLiteral("ENOSYS");
    case EOPNOTSUPP: return QStringLiteral("EOPNOTSUPP");
    default: return QString::number(err);
    }
}

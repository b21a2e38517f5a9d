#include "shell/RecordFile.h"

#include "shell/AppError.h"
#include "shell/BasCommn.h"
#include "shell/Cp932.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int errorNumberFromErrno(int err)
{
    switch (err) {
    case ENOENT: return ErrNo::FileNotFound;
    case EACCES:
    case EPERM: return ErrNo::PermissionDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return ErrNo::DiskFull;
    case ENOTDIR: return ErrNo::PathNotFound;
    case EROFS:
    case EXDEV:
    case EISDIR:
    case ENAMETOOLONG:
    case ELOOP: return ErrNo::PathFileAccess;
    case EEXIST: return ErrNo::FileExists;
    case ENOMEM: return ErrNo::OutOfMemory;
    default: return ErrNo::DeviceIo;
    }
}

[[noreturn]] static void throwErrno()
{
    throw AppError{errorNumberFromErrno(errno)};
}

static QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
}

namespace {
constexpr qsizetype kChunk = 256 * 1024;
// A line longer than this is no record value; refusing it keeps the memory
// of reading a damaged or foreign file bounded.
constexpr qsizetype kMaxLineBytes = 4 * 1024 * 1024;

struct FdCloser {
    int fd;
    ~FdCloser() { if (fd >= 0) ::close(fd); }
};
} // namespace

RecordReader::RecordReader(const QString &path, int linesPerRecord)
    : linesPerRecord_(linesPerRecord)
{
    fd_ = ::open(nativePath(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0)
        throwErrno();
}

RecordReader::~RecordReader()
{
    if (fd_ >= 0)
        ::close(fd_);
}

// Reads the next chunk and decodes every complete line in what is pending.
// Returns false when nothing more can come.
bool RecordReader::readMore()
{
    while (!atEnd_) {
        const qsizetype old = pending_.size();
        pending_.resize(old + kChunk);
        ssize_t got;
        do {
            got = ::read(fd_, pending_.data() + old, size_t(kChunk));
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
            pending_.resize(old);
            throwErrno();
        }
        pending_.resize(old + got);
        if (got == 0)
            atEnd_ = true;

        // Cut after the last complete line end. A CR at the very end may be
        // the first half of CR LF, so it waits for the next chunk.
        qsizetype cut = pending_.size();
        if (!atEnd_) {
            if (cut > 0 && pending_[cut - 1] == '\r')
                --cut;
            while (cut > 0 && pending_[cut - 1] != '\n' && pending_[cut - 1] != '\r')
                --cut;
        }
        if (cut == 0) {
            if (pending_.size() > kMaxLineBytes)
                throw AppError{ErrNo::LineTooLong};
            if (atEnd_)
                return false;
            continue;
        }

        const std::optional<QString> text = Cp932::decode(QByteArrayView(pending_).first(cut));
        if (!text)
            throw AppError{ErrNo::BadBytes};
        pending_.remove(0, cut);

        lines_.clear();
        lineIndex_ = 0;
        const QString &t = *text;
        qsizetype start = 0;
        const qsizetype n = t.size();
        for (qsizetype i = 0; i < n; ++i) {
            const QChar c = t[i];
            if (c == u'\r' || c == u'\n') {
                lines_.append(t.mid(start, i - start));
                if (c == u'\r' && i + 1 < n && t[i + 1] == u'\n')
                    ++i;
                start = i + 1;
            }
        }
        if (start < n) // the last line of the file, without a line end
            lines_.append(t.mid(start));
        if (!lines_.isEmpty())
            return true;
    }
    return false;
}

bool RecordReader::nextLine(QString &line)
{
    if (lineIndex_ >= lines_.size() && !readMore())
        return false;
    if (lineIndex_ >= lines_.size())
        return false;
    line = lines_[lineIndex_++];
    if (trimBlanks(line).isEmpty())
        line.clear();
    return true;
}

bool RecordReader::next(QStringList &record)
{
    record.clear();
    record.reserve(linesPerRecord_);
    QString line;
    for (int i = 0; i < linesPerRecord_; ++i) {
        if (!nextLine(line)) {
            if (i == 0)
                return false;
            throw AppError{ErrNo::InputPastEnd};
        }
        record.append(line);
    }
    return true;
}

QList<QStringList> readRecords(const QString &path, int linesPerRecord, qsizetype stopAfter)
{
    RecordReader reader(path, linesPerRecord);
    QList<QStringList> records;
    QStringList record;
    while (reader.next(record)) {
        records.append(record);
        if (stopAfter >= 0 && records.size() > stopAfter)
            break;
    }
    return records;
}

QByteArray encodeRecords(const QList<QStringList> &records)
{
    QString text;
    qsizetype size = 0;
    for (const QStringList &record : records)
        for (const QString &value : record)
            size += value.size() + 2;
    text.reserve(size);
    for (const QStringList &record : records) {
        for (const QString &value : record) {
            const qsizetype at = text.size();
            text.append(value);
            for (qsizetype i = at; i < text.size(); ++i)
                if (text[i] == u'\r' || text[i] == u'\n')
                    text[i] = HalfBlank;
            text.append(QStringLiteral("\r\n"));
        }
    }
    std::optional<QByteArray> bytes = Cp932::encode(text);
    if (!bytes)
        throw AppError{ErrNo::Unencodable};
    return *bytes;
}

static void writeAll(int fd, QByteArrayView bytes)
{
    const char *p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throwErrno();
        }
        p += n;
        left -= n;
    }
}

void writeFileAtomically(const QString &path, QByteArrayView bytes)
{
    const QFileInfo info(path);
    QByteArray tmpl = nativePath(info.absolutePath() + u'/' + u'.' + info.fileName() + QStringLiteral(".XXXXXX"));
    const int fd = ::mkostemp(tmpl.data(), O_CLOEXEC); // mode 0600
    if (fd < 0)
        throwErrno();
    bool renamed = false;
    try {
        FdCloser closer{fd};
        writeAll(fd, bytes);
        if (::fsync(fd) != 0)
            throwErrno();
        closer.fd = -1;
        if (::close(fd) != 0)
            throwErrno();
        if (::rename(tmpl.constData(), nativePath(path).constData()) != 0)
            throwErrno();
        renamed = true;
    } catch (...) {
        if (!renamed)
            ::unlink(tmpl.constData());
        throw;
    }
    // The new file is in place; syncing the folder makes the rename durable.
    // A failure here can't undo it, so it is not reported.
    const int dirFd = ::open(nativePath(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

void writeRecordsAtomically(const QString &path, const QList<QStringList> &records)
{
    writeFileAtomically(path, encodeRecords(records));
}

QByteArray readWholeFile(const QString &path)
{
    const int fd = ::open(nativePath(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throwErrno();
    FdCloser closer{fd};
    QByteArray bytes;
    for (;;) {
        const qsizetype old = bytes.size();
        bytes.resize(old + kChunk);
        const ssize_t got = ::read(fd, bytes.data() + old, size_t(kChunk));
        if (got < 0) {
            bytes.resize(old);
            if (errno == EINTR)
                continue;
            throwErrno();
        }
        bytes.resize(old + got);
        if (got == 0)
            return bytes;
    }
}

void copyFileAtomically(const QString &src, const QString &dst)
{
    writeFileAtomically(dst, readWholeFile(src));
}

bool fileExists(const QString &path)
{
    struct stat st;
    return ::stat(nativePath(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

void removeFile(const QString &path)
{
    if (::unlink(nativePath(path).constData()) != 0 && errno != ENOENT)
        throwErrno();
}

void createEmptyFile(const QString &path)
{
    const int fd = ::open(nativePath(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        throwErrno();
    if (::fsync(fd) != 0) {
        const int err = errno;
        ::close(fd);
        ::unlink(nativePath(path).constData());
        throw AppError{errorNumberFromErrno(err)};
    }
    if (::close(fd) != 0)
        throwErrno();
}

void ensureFolder(const QString &path)
{
    const QString parent = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(parent))
        throw AppError{ErrNo::PathNotFound};
    if (::mkdir(nativePath(path).constData(), 0700) != 0 && errno != EEXIST)
        throwErrno();
    struct stat st;
    if (::stat(nativePath(path).constData(), &st) != 0)
        throwErrno();
    if (!S_ISDIR(st.st_mode))
        throw AppError{ErrNo::PathNotFound};
}

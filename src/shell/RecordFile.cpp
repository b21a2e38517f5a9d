#include "shell/RecordFile.h"

#include "shell/AppError.h"
#include "shell/AsideTask.h"
#include "shell/BasCommn.h"
#include "shell/Cp932.h"
#include "shell/FileOps.h"
#include "quick/LineEnds.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <climits>
#include <functional>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

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
    ~FdCloser() { if (fd >= 0) FileOps::close(fd); }
};

// The folder part of an absolute path, kept as written: a symbolic link's
// target may hold "..", which only the kernel resolves rightly.
QString folderOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash > 0 ? path.left(slash) : QStringLiteral("/");
}
} // namespace

// Opens a data file for reading. Anything but a regular file is refused
// before it is opened: opening a FIFO waits for a writer, opening a device
// may act on it. O_NONBLOCK keeps a FIFO swapped in after the check from
// blocking the open. size, when given, gets the file's size.
static int openForReading(const QString &path, qint64 *size = nullptr)
{
    const QByteArray native = nativePath(path);
    struct stat st;
    if (FileOps::stat(native.constData(), &st) != 0)
        throwErrno();
    if (!S_ISREG(st.st_mode))
        throw AppError{ErrNo::NotAFile};
    const int fd = FileOps::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throwErrno();
    if (size)
        *size = st.st_size;
    return fd;
}

RecordReader::RecordReader(const QString &path, int linesPerRecord)
    : linesPerRecord_(linesPerRecord)
{
    fd_ = openForReading(path);
}

RecordReader::~RecordReader()
{
    if (fd_ >= 0)
        FileOps::close(fd_);
}

// Reads until what is pending holds complete lines, and marks where each of
// them lies. Returns false when nothing more can come.
bool RecordReader::readMore()
{
    while (!atEnd_) {
        const qsizetype old = pending_.size();
        pending_.resize(old + kChunk);
        ssize_t got;
        do {
            got = FileOps::read(fd_, pending_.data() + old, size_t(kChunk));
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

        // No byte of a two-byte character is a CR or LF, so lines are cut
        // on the bytes. The chunk's lines are decoded into one text, and each
        // value shares it: one allocation a chunk instead of one a value.
        pending_.swap(lines_);
        pending_ = lines_.sliced(cut);
        lines_.truncate(cut);
        chunkText_ = QString(cut, Qt::Uninitialized);
        char16_t *const text = reinterpret_cast<char16_t *>(chunkText_.data());
        qsizetype used = 0;
        spans_.clear();
        spanIndex_ = 0;
        badSpan_ = std::size_t(-1);
        const char *const bytes = lines_.constData();
        const auto addLine = [&](qsizetype start, qsizetype length) {
            if (badSpan_ != std::size_t(-1))
                return;
            const qsizetype n = Cp932::decodeInto(QByteArrayView(bytes + start, length), text + used);
            if (n < 0) {
                badSpan_ = spans_.size();
                spans_.push_back({0, 0});
                return;
            }
            spans_.push_back({used, n});
            used += n;
        };
        qsizetype start = 0;
        for (qsizetype i = LineEnds::next(bytes, 0, cut); i < cut; i = LineEnds::next(bytes, start, cut)) {
            addLine(start, i - start);
            if (bytes[i] == '\r' && i + 1 < cut && bytes[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
        if (start < cut) // the last line of the file, without a line end
            addLine(start, cut - start);
        if (!spans_.empty())
            return true;
    }
    return false;
}

bool RecordReader::appendLine(QStringList &record)
{
    if (spanIndex_ >= spans_.size() && !readMore())
        return false;
    if (spanIndex_ == badSpan_)
        throw AppError{ErrNo::BadBytes};
    const auto [offset, length] = spans_[spanIndex_++];
    const char16_t *const begin = reinterpret_cast<const char16_t *>(chunkText_.constData()) + offset;
    if (std::all_of(begin, begin + length, [](char16_t c) { return isBlank(c); })) {
        record.emplaceBack();
        return true;
    }
    QString::DataPointer shared = chunkText_.data_ptr(); // one more reference to the chunk
    shared.ptr += offset;
    shared.size = length;
    record.emplaceBack(std::move(shared));
    return true;
}

bool RecordReader::next(QStringList &record)
{
    record.clear();
    record.reserve(linesPerRecord_);
    for (int i = 0; i < linesPerRecord_; ++i) {
        if (!appendLine(record)) {
            if (i == 0)
                return false;
            throw AppError{ErrNo::InputPastEnd};
        }
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

void EncodedRecords::add(const QStringList &record, const QByteArray &bytes)
{
    known_.insert(record.constData(), bytes);
}

QByteArrayView EncodedRecords::find(const QStringList &record) const
{
    const auto it = known_.constFind(record.constData());
    return it == known_.cend() ? QByteArrayView() : QByteArrayView(*it);
}

static qsizetype roomFor(const QList<QStringList> &records, qsizetype from, qsizetype to,
                         const EncodedRecords *known)
{
    qsizetype room = 0;
    for (qsizetype r = from; r < to; ++r) {
        if (const QByteArrayView bytes = known ? known->find(records[r]) : QByteArrayView(); !bytes.isNull()) {
            room += bytes.size();
            continue;
        }
        for (const QString &value : records[r])
            room += value.size() * 2 + 2;
    }
    return room;
}

// Writes the bytes of one record at out; returns how many, or -1 when a
// value has a character without a code.
static qsizetype encodeRecordInto(const QStringList &record, char *out)
{
    qsizetype n = 0;
    for (const QString &value : record) {
        const qsizetype written = Cp932::encodeInto(value, out + n, Cp932::LineBreaks::AsBlanks);
        if (written < 0)
            return -1;
        n += written;
        out[n++] = '\r';
        out[n++] = '\n';
    }
    return n;
}

// Writes the bytes of records [from, to) at out; returns how many.
static qsizetype encodeRange(const QList<QStringList> &records, qsizetype from, qsizetype to, char *out,
                             const EncodedRecords *known)
{
    qsizetype n = 0;
    for (qsizetype r = from; r < to; ++r) {
        if (const QByteArrayView bytes = known ? known->find(records[r]) : QByteArrayView(); !bytes.isNull()) {
            std::memcpy(out + n, bytes.data(), size_t(bytes.size()));
            n += bytes.size();
            continue;
        }
        const qsizetype written = encodeRecordInto(records[r], out + n);
        if (written < 0)
            throw AppError{ErrNo::Unencodable};
        n += written;
    }
    return n;
}

// The bytes of records [from, to) on their own.
static QByteArray encodedRange(const QList<QStringList> &records, qsizetype from, qsizetype to,
                               const EncodedRecords *known)
{
    QByteArray bytes(roomFor(records, from, to, known), Qt::Uninitialized);
    bytes.truncate(encodeRange(records, from, to, bytes.data(), known));
    return bytes;
}

QByteArray encodeRecords(const QList<QStringList> &records)
{
    return encodedRange(records, 0, records.size(), nullptr);
}

std::optional<QByteArray> encodeRecord(const QStringList &record)
{
    qsizetype room = 0;
    for (const QString &value : record)
        room += value.size() * 2 + 2;
    QByteArray bytes(room, Qt::Uninitialized);
    const qsizetype n = encodeRecordInto(record, bytes.data());
    if (n < 0)
        return std::nullopt;
    bytes.truncate(n);
    return bytes;
}

static void writeAll(int fd, QByteArrayView bytes)
{
    const char *p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = FileOps::write(fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throwErrno();
        }
        p += n;
        left -= n;
    }
}

// Makes a new or renamed entry of the folder durable. A failure can't undo
// what is done, but the user learns that it may not survive a crash.
static void syncFolder(const QString &folder)
{
    const int fd = FileOps::open(nativePath(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        throwErrno();
    FdCloser closer{fd};
    if (FileOps::fsync(fd) != 0)
        throwErrno();
}

// Where a write to path lands: the final target when path is a symbolic
// link (a user who keeps the list in a synced folder keeps the link), else
// path itself.
static QString writeTarget(const QString &path)
{
    QString target = QFileInfo(path).absoluteFilePath();
    for (int hops = 0; hops < 40; ++hops) {
        char buf[PATH_MAX];
        const ssize_t n = FileOps::readlink(nativePath(target).constData(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINVAL || errno == ENOENT) // no link, or nothing there yet
                return target;
            throwErrno();
        }
        if (size_t(n) == sizeof buf)
            throw AppError{ErrNo::PathFileAccess};
        const QString link = QFile::decodeName(QByteArray(buf, n));
        target = link.startsWith(u'/') ? link : folderOf(target) + u'/' + link;
    }
    errno = ELOOP;
    throwErrno();
}

// Moves the synced temporary file tmp to dest. Without replace, a file at
// dest is kept (error 58); where the file system refuses RENAME_NOREPLACE
// (NFS and several FUSE file systems answer EINVAL), a hard link makes the
// new name, which an existing file refuses just the same, and the temporary
// name goes. placed turns true once dest holds the new file.
static void placeFile(const QByteArray &tmp, const QByteArray &dest, bool replace, bool &placed)
{
    if (FileOps::rename(tmp.constData(), dest.constData(), replace) == 0) {
        placed = true;
        return;
    }
    if (replace || (errno != EINVAL && errno != ENOSYS))
        throwErrno();
    if (FileOps::link(tmp.constData(), dest.constData()) != 0)
        throwErrno();
    placed = true;
    if (FileOps::unlink(tmp.constData()) != 0)
        throwErrno();
}

// Fills a temporary file in the target's folder, flushes it to disk and
// renames it to the target, then syncs that folder. Without replace, a file
// already there is kept and error 58 thrown. On failure nothing is at the
// target that wasn't there before, and the temporary file is removed.
static void putFileInPlace(const QString &path, const std::function<void(int)> &fill, bool replace)
{
    const QString target = writeTarget(path);
    const QString folder = folderOf(target);
    QByteArray tmpl = nativePath(folder + QStringLiteral("/.") + target.mid(folder.size() + 1)
                                 + QStringLiteral(".XXXXXX"));
    const int fd = FileOps::mkostemp(tmpl.data(), O_CLOEXEC); // mode 0600
    if (fd < 0)
        throwErrno();
    bool placed = false;
    try {
        FdCloser closer{fd};
        fill(fd);
        if (FileOps::fsync(fd) != 0)
            throwErrno();
        closer.fd = -1;
        if (FileOps::close(fd) != 0)
            throwErrno();
        placeFile(tmpl, nativePath(target), replace, placed);
    } catch (...) {
        if (!placed)
            FileOps::unlink(tmpl.constData());
        throw;
    }
    // The new file is in place; syncing the folder makes its name durable.
    syncFolder(folder);
}

static void putBytesInPlace(const QString &path, QByteArrayView bytes, bool replace)
{
    putFileInPlace(path, [bytes](int fd) { writeAll(fd, bytes); }, replace);
}

void writeFileAtomically(const QString &path, QByteArrayView bytes)
{
    putBytesInPlace(path, bytes, true);
}

void writeRecordsAtomically(const QString &path, const QList<QStringList> &records, const EncodedRecords *known)
{
    // The bytes go to the file a piece at a time through one reused buffer
    // instead of being built whole first: fresh memory costs a page fault a
    // page, and the writing overlaps the encoding of a long list's last part
    // on a second thread. A value without a code stops the write as
    // any failed write does: the temporary file goes and the target stays.
    // The second part's bytes wait in fresh memory meanwhile, so it is the
    // smaller one (as the export's, see runExport).
    constexpr qsizetype kPieceRecords = 256;
    const qsizetype firstPart = records.size() >= SecondThreadFrom ? records.size() * 64 / 100 : records.size();
    putFileInPlace(path, [&](int fd) {
        AsideTask<QByteArray> second;
        if (firstPart < records.size())
            second = AsideTask<QByteArray>([&] { return encodedRange(records, firstPart, records.size(), known); });
        QByteArray piece;
        for (qsizetype from = 0; from < firstPart; from += kPieceRecords) {
            const qsizetype to = std::min(firstPart, from + kPieceRecords);
            piece.resize(roomFor(records, from, to, known));
            writeAll(fd, QByteArrayView(piece.constData(), encodeRange(records, from, to, piece.data(), known)));
        }
        if (second.valid())
            writeAll(fd, second.get());
    }, true);
}

FileCopy::~FileCopy()
{
    if (mapping_)
        ::munmap(mapping_, length_);
}

bool FileCopy::read(int fd, qint64 size)
{
    // Anonymous memory, aligned to 2 MB so that the kernel can back it with
    // whole huge pages.
    constexpr size_t HugePage = 2 * 1024 * 1024;
    const size_t rounded = (size_t(std::max<qint64>(size, 1)) + HugePage - 1) & ~(HugePage - 1);
    length_ = rounded + HugePage;
    mapping_ = ::mmap(nullptr, length_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping_ == MAP_FAILED) {
        mapping_ = nullptr;
        return false;
    }
    data_ = reinterpret_cast<char *>((reinterpret_cast<quintptr>(mapping_) + HugePage - 1) & ~quintptr(HugePage - 1));
    ::madvise(data_, rounded, MADV_HUGEPAGE);
    while (size_ < size) {
        const ssize_t got = FileOps::read(fd, data_ + size_, size_t(size - size_));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (got == 0)
            break; // the file got shorter meanwhile: what it holds now
        size_ += got;
    }
    return true;
}

QByteArray readWholeFile(const QString &path)
{
    const int fd = openForReading(path);
    FdCloser closer{fd};
    QByteArray bytes;
    for (;;) {
        const qsizetype old = bytes.size();
        // Growing by doubling keeps a large file's read linear.
        if (bytes.capacity() < old + kChunk)
            bytes.reserve(std::max(2 * bytes.capacity(), old + kChunk));
        bytes.resize(old + kChunk);
        const ssize_t got = FileOps::read(fd, bytes.data() + old, size_t(kChunk));
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

// Whether a copy call failed only because this way of copying isn't
// available between these files (file system, kernel, or across mounts).
static bool copyWayUnavailable(int err)
{
    return err == EOPNOTSUPP || err == ENOTTY || err == EXDEV || err == EINVAL || err == ENOSYS;
}

// Copies the size bytes of in to out: a reflink clone where the file system
// has it (the blocks are shared until either file changes, and files here
// are only replaced whole), else copy_file_range inside the kernel, else
// plain reads and writes from where the offsets stand. The kernel copy asks
// for no more than is left, as asking past a file size limit fails (EFBIG).
static void copyContents(int in, int out, qint64 size)
{
    if (FileOps::clone(out, in) == 0)
        return;
    if (!copyWayUnavailable(errno))
        throwErrno();
    for (qint64 copied = 0;;) {
        if (copied >= size)
            return;
        const ssize_t n = FileOps::copyRange(in, out, size_t(size - copied));
        if (n == 0) // the file is shorter than it was
            return;
        if (n > 0) {
            copied += n;
            continue;
        }
        if (errno == EINTR)
            continue;
        if (!copyWayUnavailable(errno))
            throwErrno();
        break;
    }
    QByteArray chunk(kChunk, Qt::Uninitialized);
    for (;;) {
        const ssize_t got = FileOps::read(in, chunk.data(), size_t(kChunk));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throwErrno();
        }
        if (got == 0)
            return;
        writeAll(out, QByteArrayView(chunk.constData(), got));
    }
}

void backUpFile(const QString &src, const QString &dst)
{
    qint64 size = 0;
    const int in = openForReading(src, &size);
    FdCloser closer{in};
    putFileInPlace(dst, [in, size](int out) { copyContents(in, out, size); }, true);
}

bool linkPrivateFile(const QString &path, const QString &dst)
{
    const QByteArray src = nativePath(writeTarget(path));
    struct stat st;
    if (FileOps::stat(src.constData(), &st) != 0)
        throwErrno();
    if (!S_ISREG(st.st_mode) || (st.st_mode & 07777) != 0600)
        return false;
    if (FileOps::link(src.constData(), nativePath(dst).constData()) != 0) {
        if (errno == EXDEV || errno == EPERM || errno == EMLINK || errno == EOPNOTSUPP)
            return false;
        throwErrno();
    }
    syncFolder(folderOf(QFileInfo(dst).absoluteFilePath()));
    return true;
}

bool sameFile(const QString &a, const QString &b)
{
    struct stat sa;
    struct stat sb;
    if (FileOps::stat(nativePath(a).constData(), &sa) != 0 || FileOps::stat(nativePath(b).constData(), &sb) != 0) {
        if (errno == ENOENT)
            return false;
        throwErrno();
    }
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

void syncFolderNames(const QString &folder)
{
    syncFolder(folder);
}

bool fileExists(const QString &path)
{
    struct stat st;
    if (FileOps::stat(nativePath(path).constData(), &st) == 0) {
        // A folder, FIFO or device under a data file's name is no file to
        // create anew nor to read: it is reported.
        if (!S_ISREG(st.st_mode))
            throw AppError{ErrNo::NotAFile};
        return true;
    }
    // Only a file that is certainly not there counts as missing: one that
    // can't be examined (no permission, an I/O error) is an error, never a
    // reason to create a new file over the real one.
    if (errno == ENOENT || errno == ENOTDIR)
        return false;
    throwErrno();
}

qint64 recordBytesBound(qsizetype records, int linesPerRecord)
{
    qint64 perRecord = 0;
    for (int field = 0; field < linesPerRecord; ++field)
        perRecord += 2 * qint64(std::max(fieldMaxLength(field), 0)) + 2;
    return perRecord * records;
}

bool receivedFileTooLarge(const QString &path, qsizetype records, int linesPerRecord)
{
    struct stat st;
    if (FileOps::stat(nativePath(path).constData(), &st) != 0)
        throwErrno();
    return qint64(st.st_size) > recordBytesBound(records, linesPerRecord);
}

QString receivedFileTooLargeMessage()
{
    return QStringLiteral("取込ファイルが大きすぎるため取り込めません。ファイルの内容を確認して下さい。");
}

void removeFile(const QString &path)
{
    if (FileOps::unlink(nativePath(path).constData()) != 0 && errno != ENOENT)
        throwErrno();
}

void createEmptyFile(const QString &path)
{
    putBytesInPlace(path, {}, false);
}

void ensureFolder(const QString &path)
{
    const QString folder = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QByteArray native = nativePath(folder);
    struct stat st;
    if (FileOps::stat(native.constData(), &st) != 0) {
        if (errno != ENOENT)
            throwErrno();
        const QString parent = QFileInfo(folder).absolutePath();
        if (parent != folder)
            ensureFolder(parent);
        // The folders hold other people's personal data: the owner's alone.
        if (FileOps::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
            throwErrno();
        if (FileOps::stat(native.constData(), &st) != 0)
            throwErrno();
    }
    if (!S_ISDIR(st.st_mode))
        throw AppError{ErrNo::PathNotFound};
}

void removeStaleTemporaries(const QStringList &paths)
{
    static const QRegularExpression suffix(QStringLiteral("^\\.[A-Za-z0-9]{6}$"));
    QStringList places;
    for (const QString &path : paths) {
        places << path;
        // A linked file is written beside its target. A link that can't be
        // read is an error, as it would be at the next write.
        if (const QString target = writeTarget(path); target != QFileInfo(path).absoluteFilePath())
            places << target;
    }
    for (const QString &path : std::as_const(places)) {
        const QFileInfo info(path);
        const QString prefix = u'.' + info.fileName();
        const QDir folder = info.absoluteDir();
        const QStringList names =
            folder.entryList({prefix + QStringLiteral(".*")}, QDir::Files | QDir::Hidden | QDir::System);
        for (const QString &name : names)
            if (suffix.match(QStringView(name).mid(prefix.size())).hasMatch())
                FileOps::unlink(nativePath(folder.filePath(name)).constData());
    }
}

RecordScanner::RecordScanner(const QString &path, int linesPerRecord, quint32 wantedFields)
    : linesPerRecord_(linesPerRecord), wanted_(wantedFields)
{
    Q_ASSERT(linesPerRecord > 0 && linesPerRecord <= 32);
    const int fd = FileOps::open(nativePath(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throwErrno();
    FdCloser closer{fd};
    struct stat st;
    if (::fstat(fd, &st) != 0)
        throwErrno();
    size_ = st.st_size;
    if (size_ == 0)
        return;
    // The pages are mapped in by the first next() (see there).
    void *map = ::mmap(nullptr, size_t(size_), PROT_READ, MAP_PRIVATE, fd, 0);
    if (map == MAP_FAILED)
        throwErrno();
    bytes_ = static_cast<const char *>(map);
    end_ = size_;
    mapping_ = std::shared_ptr<const char>(bytes_, [size = size_t(size_)](const char *bytes) {
        ::munmap(const_cast<char *>(bytes), size);
    });
}

RecordScanner::RecordScanner(const RecordScanner &whole, qsizetype from)
    : mapping_(whole.mapping_), bytes_(whole.bytes_), size_(whole.size_), end_(whole.end_), pos_(from),
      linesPerRecord_(whole.linesPerRecord_), wanted_(whole.wanted_)
{
}

RecordScanner::~RecordScanner() = default;

std::unique_ptr<RecordScanner> RecordScanner::splitOffSecondHalf(int firstPercent)
{
    Q_ASSERT(pos_ == 0);
    // Below this a second thread costs more than it saves.
    constexpr qsizetype kWorthSplitting = 256 * 1024;
    if (end_ < kWorthSplitting)
        return nullptr;
    const qsizetype lineEnd = LineEnds::nextWide(bytes_, end_ / 100 * firstPercent, end_);
    if (lineEnd == end_)
        return nullptr;
    const qsizetype at = LineEnds::after(bytes_, lineEnd, end_);
    if (at >= end_)
        return nullptr;
    std::unique_ptr<RecordScanner> second(new RecordScanner(*this, at));
    second->findsFirstRecord_ = true;
    secondHalf_ = at;
    return second;
}

bool RecordScanner::next()
{
    if (!pagesMapped_) {
        // Mapped in one call, a list file costs no page fault per page, and
        // the halves are mapped in on their own threads at once. A file far
        // larger than any list is mapped as it is read. Where the call
        // fails, the pages fault in as they are read.
        pagesMapped_ = true;
        const qsizetype until = std::min(end_, secondHalf_);
        if (pos_ < until && until - pos_ <= 64 * 1024 * 1024) {
            const uintptr_t page = uintptr_t(::sysconf(_SC_PAGESIZE));
            const uintptr_t from = uintptr_t(bytes_ + pos_) & ~(page - 1);
            ::madvise(reinterpret_cast<void *>(from), uintptr_t(bytes_ + until) - from, MADV_POPULATE_READ);
        }
    }
    if (findsFirstRecord_) {
        findsFirstRecord_ = false;
        pos_ = LineEnds::recordStartFrom(bytes_, pos_, end_, linesPerRecord_);
    }
    if (pos_ >= end_ || pos_ >= secondHalf_) {
        values_.clear();
        return false;
    }
    // Where each line of the record lies, then its text: the text buffer
    // only grows, so views into it stay valid for the whole record.
    qsizetype *const starts = starts_;
    qsizetype *const lengths = lengths_;
    const int lines = linesPerRecord_;
    qsizetype room = 0;
    for (int i = 0; i < lines; ++i) {
        if (pos_ >= end_)
            throw AppError{ErrNo::InputPastEnd};
        const qsizetype end = lineEnds_.lineEndFrom(bytes_, pos_, end_);
        if (end - pos_ > kMaxLineBytes)
            throw AppError{ErrNo::LineTooLong};
        starts[i] = pos_;
        lengths[i] = end - pos_;
        if (wanted_ & (1u << i))
            room += lengths[i];
        pos_ = end;
        if (pos_ < end_) {
            if (bytes_[pos_] == '\r' && pos_ + 1 < end_ && bytes_[pos_ + 1] == '\n')
                ++pos_;
            ++pos_;
        }
    }
    values_.resize(lines);
    if (wanted_ == 0)
        return true; // every value stays an empty view
    if (qsizetype(text_.size()) < room)
        text_.resize(size_t(room));
    char16_t *const text = text_.data();
    qsizetype used = 0;
    QStringView *const values = values_.data();
    for (int i = 0; i < lines; ++i) {
        values[i] = QStringView();
        if (!(wanted_ & (1u << i)))
            continue;
        const qsizetype n = Cp932::decodeInto(QByteArrayView(bytes_ + starts[i], lengths[i]), text + used);
        if (n < 0)
            throw AppError{ErrNo::BadBytes};
        const char16_t *const begin = text + used;
        if (!std::all_of(begin, begin + n, [](char16_t c) { return isBlank(c); }))
            values[i] = QStringView(begin, n);
        used += n;
    }
    return true;
}

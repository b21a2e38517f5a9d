#include "shell/RecordFile.h"

#include "shell/AppError.h"
#include "shell/BasCommn.h"
#include "shell/Cp932.h"
#include "shell/FileOps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <future>
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

// Where the first CR or LF at or after i and before end lies, or end. Eight
// bytes are looked at a time: a byte's mask bit is exact up to the first
// match, which is all that is asked.
qsizetype nextLineEnd(const char *bytes, qsizetype i, qsizetype end)
{
    constexpr quint64 ones = 0x0101010101010101ull;
    constexpr quint64 highs = 0x8080808080808080ull;
    const auto zeroBytes = [](quint64 x) { return (x - ones) & ~x & highs; };
    for (; i + 8 <= end; i += 8) {
        const quint64 v = qFromUnaligned<quint64>(bytes + i);
        const quint64 w = qFromLittleEndian(v);
        if (const quint64 found = zeroBytes(w ^ (ones * '\r')) | zeroBytes(w ^ (ones * '\n')))
            return i + std::countr_zero(found) / 8;
    }
    for (; i < end; ++i)
        if (bytes[i] == '\r' || bytes[i] == '\n')
            return i;
    return end;
}

// The temporary names beside a file: ".<name>." and six letters or digits,
// which the start sweeps when a writer left one behind.
QString temporaryStem(const QFileInfo &info)
{
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + u'.';
}

struct FdCloser {
    int fd;
    ~FdCloser() { if (fd >= 0) FileOps::close(fd); }
};
} // namespace

RecordReader::RecordReader(const QString &path, int linesPerRecord)
    : linesPerRecord_(linesPerRecord)
{
    fd_ = FileOps::open(nativePath(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0)
        throwErrno();
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
        for (qsizetype i = nextLineEnd(bytes, 0, cut); i < cut; i = nextLineEnd(bytes, start, cut)) {
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

static qsizetype roomFor(const QList<QStringList> &records, qsizetype from, qsizetype to)
{
    qsizetype room = 0;
    for (qsizetype r = from; r < to; ++r)
        for (const QString &value : records[r])
            room += value.size() * 2 + 2;
    return room;
}

// Writes the bytes of records [from, to) at out; returns how many.
static qsizetype encodeRange(const QList<QStringList> &records, qsizetype from, qsizetype to, char *out)
{
    qsizetype n = 0;
    for (qsizetype r = from; r < to; ++r) {
        for (const QString &value : records[r]) {
            const qsizetype written = Cp932::encodeInto(value, out + n, Cp932::LineBreaks::AsBlanks);
            if (written < 0)
                throw AppError{ErrNo::Unencodable};
            n += written;
            out[n++] = '\r';
            out[n++] = '\n';
        }
    }
    return n;
}

QByteArray encodeRecords(const QList<QStringList> &records)
{
    // A long list is encoded in two halves at once, the second one on a
    // thread of its own, and its bytes moved down behind the first half's.
    constexpr qsizetype kShared = 2000;
    const qsizetype half = records.size() >= kShared ? records.size() / 2 : records.size();
    const qsizetype firstRoom = roomFor(records, 0, half);
    QByteArray bytes(firstRoom + roomFor(records, half, records.size()), Qt::Uninitialized);
    char *const out = bytes.data();
    std::future<qsizetype> second;
    if (half < records.size())
        second = std::async(std::launch::async | std::launch::deferred,
                            [&] { return encodeRange(records, half, records.size(), out + firstRoom); });
    const qsizetype n = encodeRange(records, 0, half, out);
    const qsizetype m = second.valid() ? second.get() : 0;
    std::memmove(out + n, out + firstRoom, size_t(m));
    bytes.truncate(n + m);
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

// Writes bytes to a temporary file in the same folder, flushes it to disk
// and renames it to path, then syncs the folder. Without replace, a file
// already at path is kept and error 58 thrown. On failure nothing is at path
// that wasn't there before, and the temporary file is removed.
static void putFileInPlace(const QString &path, QByteArrayView bytes, bool replace)
{
    const QFileInfo info(path);
    QByteArray tmpl = nativePath(temporaryStem(info) + QStringLiteral("XXXXXX"));
    const int fd = FileOps::mkostemp(tmpl.data(), O_CLOEXEC); // mode 0600
    if (fd < 0)
        throwErrno();
    bool renamed = false;
    try {
        FdCloser closer{fd};
        writeAll(fd, bytes);
        if (FileOps::fsync(fd) != 0)
            throwErrno();
        closer.fd = -1;
        if (FileOps::close(fd) != 0)
            throwErrno();
        if (FileOps::rename(tmpl.constData(), nativePath(path).constData(), replace) != 0)
            throwErrno();
        renamed = true;
    } catch (...) {
        if (!renamed)
            FileOps::unlink(tmpl.constData());
        throw;
    }
    // The new file is in place; syncing the folder makes the rename durable.
    syncFolder(info.absolutePath());
}

void writeFileAtomically(const QString &path, QByteArrayView bytes)
{
    putFileInPlace(path, bytes, true);
}

void writeRecordsAtomically(const QString &path, const QList<QStringList> &records)
{
    writeFileAtomically(path, encodeRecords(records));
}

QByteArray readWholeFile(const QString &path)
{
    const int fd = FileOps::open(nativePath(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throwErrno();
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

// Gives the file at src a second name beside dst and moves it over dst,
// flushed to disk like a written copy. False, with nothing changed, when the
// file isn't the owner's alone (a copy of it is), or the file system has no
// second names for a file (or the name is taken).
static bool shareFileAs(const QString &src, const QString &dst)
{
    struct stat st;
    if (FileOps::stat(nativePath(src).constData(), &st) != 0)
        throwErrno();
    if (!S_ISREG(st.st_mode) || (st.st_mode & 077) != 0)
        return false;
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString suffix;
    for (int i = 0; i < 6; ++i)
        suffix += QLatin1Char(kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))]);
    const QFileInfo info(dst);
    const QByteArray tmp = nativePath(temporaryStem(info) + suffix);
    if (FileOps::link(nativePath(src).constData(), tmp.constData()) != 0)
        return false;
    try {
        // Someone else may have written the file without flushing it.
        const int fd = FileOps::open(tmp.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            throwErrno();
        FdCloser closer{fd};
        if (FileOps::fsync(fd) != 0)
            throwErrno();
        if (FileOps::rename(tmp.constData(), nativePath(dst).constData(), true) != 0)
            throwErrno();
    } catch (...) {
        FileOps::unlink(tmp.constData());
        throw;
    }
    // When dst already was the same file, the rename did nothing and the
    // second name is still there.
    removeFile(QFile::decodeName(tmp));
    syncFolder(info.absolutePath());
    return true;
}

void backUpFile(const QString &src, const QString &dst)
{
    if (!shareFileAs(src, dst))
        writeFileAtomically(dst, readWholeFile(src));
}

bool fileExists(const QString &path)
{
    struct stat st;
    if (FileOps::stat(nativePath(path).constData(), &st) == 0)
        return S_ISREG(st.st_mode);
    // Only a file that is certainly not there counts as missing: one that
    // can't be examined (no permission, an I/O error) is an error, never a
    // reason to create a new file over the real one.
    if (errno == ENOENT || errno == ENOTDIR)
        return false;
    throwErrno();
}

void removeFile(const QString &path)
{
    if (FileOps::unlink(nativePath(path).constData()) != 0 && errno != ENOENT)
        throwErrno();
}

void createEmptyFile(const QString &path)
{
    putFileInPlace(path, {}, false);
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
    for (const QString &path : paths) {
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

// nextLineEnd sixteen bytes at a time, for a file read through in memory.
static qsizetype nextLineEndWide(const char *bytes, qsizetype i, qsizetype end)
{
#ifdef __SSE2__
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    for (; i + 16 <= end; i += 16) {
        // The file comes from the page cache, not from the processor's:
        // asking early for what lies ahead hides most of the wait.
        __builtin_prefetch(bytes + i + 2048);
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + i));
        const int found = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
        if (found)
            return i + std::countr_zero(unsigned(found));
    }
#endif
    return nextLineEnd(bytes, i, end);
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
    // Mapped in one call, a list file costs no page fault per page; a file
    // far larger than any list is mapped as it is read.
    const int populate = size_ <= 64 * 1024 * 1024 ? MAP_POPULATE : 0;
    void *map = ::mmap(nullptr, size_t(size_), PROT_READ, MAP_PRIVATE | populate, fd, 0);
    if (map == MAP_FAILED)
        throwErrno();
    bytes_ = static_cast<const char *>(map);
}

RecordScanner::~RecordScanner()
{
    if (bytes_)
        ::munmap(const_cast<char *>(bytes_), size_t(size_));
}

bool RecordScanner::next()
{
    values_.clear();
    if (pos_ >= size_)
        return false;
    // Where each line of the record lies, then its text: the text buffer
    // only grows, so views into it stay valid for the whole record.
    qsizetype starts[32];
    qsizetype lengths[32];
    const int lines = linesPerRecord_;
    qsizetype room = 0;
    for (int i = 0; i < lines; ++i) {
        if (pos_ >= size_)
            throw AppError{ErrNo::InputPastEnd};
        const qsizetype end = nextLineEndWide(bytes_, pos_, size_);
        if (end - pos_ > kMaxLineBytes)
            throw AppError{ErrNo::LineTooLong};
        starts[i] = pos_;
        lengths[i] = end - pos_;
        if (wanted_ & (1u << i))
            room += lengths[i];
        pos_ = end;
        if (pos_ < size_) {
            if (bytes_[pos_] == '\r' && pos_ + 1 < size_ && bytes_[pos_ + 1] == '\n')
                ++pos_;
            ++pos_;
        }
    }
    if (qsizetype(text_.size()) < room)
        text_.resize(size_t(room));
    char16_t *const text = text_.data();
    qsizetype used = 0;
    for (int i = 0; i < lines; ++i) {
        if (!(wanted_ & (1u << i))) {
            values_.append(QStringView());
            continue;
        }
        const qsizetype n = Cp932::decodeInto(QByteArrayView(bytes_ + starts[i], lengths[i]), text + used);
        if (n < 0)
            throw AppError{ErrNo::BadBytes};
        const char16_t *const begin = text + used;
        if (std::all_of(begin, begin + n, [](char16_t c) { return isBlank(c); }))
            values_.append(QStringView());
        else
            values_.append(QStringView(begin, n));
        used += n;
    }
    return true;
}

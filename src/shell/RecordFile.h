#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include "quick/LineEnds.h"

#include <limits>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

// Record files: code page 932 text, one value per line, a record a fixed
// number of lines. Every function throws AppError on failure.

// Reads a record file one record at a time, so that a large file is never
// held in memory whole. A line ends at CR LF, a lone LF or a lone CR; a last
// line without a line end still counts. A blank line gives an empty value.
class RecordReader {
public:
    RecordReader(const QString &path, int linesPerRecord);
    ~RecordReader();
    RecordReader(const RecordReader &) = delete;
    RecordReader &operator=(const RecordReader &) = delete;

    // The next record, or false at the end of the file. A record cut short
    // by the end of the file throws error 62.
    bool next(QStringList &record);

private:
    bool appendLine(QStringList &record);
    bool readMore();

    int fd_ = -1;
    int linesPerRecord_;
    QByteArray pending_;
    bool atEnd_ = false;
    QByteArray lines_;                                   // the chunk's complete lines
    QString chunkText_;                                  // their text, which the values share
    std::vector<std::pair<qsizetype, qsizetype>> spans_; // each line's place in chunkText_
    std::size_t spanIndex_ = 0;
    std::size_t badSpan_ = std::size_t(-1);              // the first line that isn't valid text
};

// Every record of the file; reading stops once more than stopAfter records
// were read (the caller knows then that a limit is passed).
QList<QStringList> readRecords(const QString &path, int linesPerRecord,
                               qsizetype stopAfter = -1);

// The bytes of records as a file holds them: values joined by CR LF, each
// record followed by CR LF. A CR or LF inside a value becomes a blank so that
// the record keeps its line count.
QByteArray encodeRecords(const QList<QStringList> &records);

// The bytes of one record as encodeRecords writes them; nothing when a value
// holds a character that code page 932 has no code for.
std::optional<QByteArray> encodeRecord(const QStringList &record);

// Records whose bytes were made ahead (the import makes them on the threads
// that prepare its contacts), for writeRecordsAtomically to copy rather
// than encode. A record is known by its values' shared data, which the
// caller keeps alive alongside (the import's batch holds the records): a
// copy changed since then was detached from it, isn't found, and is encoded
// as it stands.
class EncodedRecords {
public:
    void reserve(qsizetype count) { known_.reserve(count); }
    void add(const QStringList &record, const QByteArray &bytes);
    // The bytes of record, or a null view.
    QByteArrayView find(const QStringList &record) const;

private:
    QHash<const QString *, QByteArray> known_;
};

// Replaces the file at path by bytes: a temporary file in the same folder,
// flushed to disk and renamed over the old one, then the folder synced. A
// path that is a symbolic link stays one: its final target is replaced so,
// in the target's folder. On failure the old file is left as it was and the
// temporary file is removed.
void writeFileAtomically(const QString &path, QByteArrayView bytes);

// The same for records, those in known copied as they were encoded.
void writeRecordsAtomically(const QString &path, const QList<QStringList> &records,
                            const EncodedRecords *known = nullptr);

QByteArray readWholeFile(const QString &path);

// A file's bytes read whole into memory of their own, backed by 2 MB pages
// where the kernel gives them. Where a mapping of the file would take a
// page fault for each 4 KB page it touches (on the virtual machines this
// runs on, a few microseconds each, the host's as well as the guest's),
// reading copies the page cache in the kernel into a few large pages.
class FileCopy {
public:
    FileCopy() = default;
    FileCopy(const FileCopy &) = delete;
    FileCopy &operator=(const FileCopy &) = delete;
    ~FileCopy();

    // Reads the open file fd from where it stands, up to size bytes (what
    // its size was when asked). False with errno set when no memory could
    // be had for it or a read failed.
    bool read(int fd, qint64 size);
    QByteArrayView bytes() const { return QByteArrayView(data_, size_); }

private:
    void *mapping_ = nullptr;
    size_t length_ = 0;
    char *data_ = nullptr;
    qsizetype size_ = 0;
};

// Makes dst a file of its own (mode 0600) with the bytes of src: a reflink
// clone where the file system has one, else copied inside the kernel, else
// read and written; written like every file (temporary file, fsync, rename,
// folder sync), so that the backup is on disk before the file it keeps is
// replaced. A restore that writes into it, or into src, never touches the
// other.
void backUpFile(const QString &src, const QString &dst);

// Gives the file at path (its final target, when path is a symbolic link) a
// second name, dst, by a hard link, and syncs dst's folder. Only a file of
// mode 0600 is linked, as both names share one mode; false when it isn't, or
// when the file system makes no hard link there (another file system, none
// at all), and then nothing was done.
bool linkPrivateFile(const QString &path, const QString &dst);

// Whether a and b (after symbolic links) are one file, the same inode; false
// when either is missing.
bool sameFile(const QString &a, const QString &b);

// Syncs a folder, so that the names made or deleted in it are on disk.
void syncFolderNames(const QString &folder);

// Whether a file is at path. A path that can't be examined (no permission,
// an I/O error) throws, so that a file that is there is never taken for
// missing and created anew; so does anything but a regular file there (a
// folder, FIFO or device: error 1005).
bool fileExists(const QString &path);

// The most bytes that records of the editor's field limits can take in a
// file: every value at its field's most UTF-16 units, each at most two bytes
// in code page 932, and CR LF after it.
qint64 recordBytesBound(qsizetype records, int linesPerRecord);

// Whether the received file at path is larger than records records can
// take (recordBytesBound), told from its size before any of it is read.
bool receivedFileTooLarge(const QString &path, qsizetype records, int linesPerRecord);

// What the user is told when a received file is refused for its size (the
// file is kept).
QString receivedFileTooLargeMessage();

// Deletes a file; one that is already gone is no error.
void removeFile(const QString &path);

// Creates an empty file that isn't there yet (mode 0600); on failure none
// is left.
void createEmptyFile(const QString &path);

// Creates the folder and its parents when missing, each mode 0700.
void ensureFolder(const QString &path);

// Deletes the temporary files (".<name>.XXXXXX") that a writer stopped
// before its rename left beside these files, and beside the targets of
// those that are symbolic links (a link that can't be read throws). Only for
// start-up, when no writer can be at work; what can't be deleted is left.
void removeStaleTemporaries(const QStringList &paths);

// Reads a record file through once, mapped into memory: each record's
// values are views into one buffer that the next record reuses, so a list of
// 10000 contacts is read without building it (the command line's export and
// query). Lines, blank values and errors as RecordReader has them. Only the
// fields in wantedFields (bit i for field i) are decoded; the others are
// empty views and their bytes aren't looked at.
class RecordScanner {
public:
    RecordScanner(const QString &path, int linesPerRecord, quint32 wantedFields = ~0u);
    ~RecordScanner();
    RecordScanner(const RecordScanner &) = delete;
    RecordScanner &operator=(const RecordScanner &) = delete;

    // The next record, or false at the end; valid until the next call.
    bool next();
    const QList<QStringView> &values() const { return values_; }
    // Line i of the record as the file holds it, without its line end, for
    // a reader that decodes only what it needs.
    QByteArrayView lineBytes(int i) const { return QByteArrayView(bytes_ + starts_[i], lengths_[i]); }
    // The size of the file, for sizing what is built from it.
    qsizetype fileSize() const { return size_; }

    // Hands the records from about the middle of the file (firstPercent of
    // its bytes stay here) on to a scanner of their own, so that two
    // threads read one part each; this scanner then ends where that one
    // begins. The place is a record's first line whatever the line ends:
    // the new scanner finds it at its first next(), by counting the lines
    // from the start, so that the count is made on its thread while this
    // one reads. Nothing for a file too small to be worth it, or with no
    // line after its middle. Only before the first next().
    std::unique_ptr<RecordScanner> splitOffSecondHalf(int firstPercent = 50);

private:
    RecordScanner(const RecordScanner &whole, qsizetype from);

    std::shared_ptr<const char> mapping_; // shared by the halves
    const char *bytes_ = nullptr;
    qsizetype size_ = 0;
    qsizetype end_ = 0; // where this scanner's records end
    qsizetype pos_ = 0;
    // No record starting here or after it is this scanner's: the second
    // half's begins at the first record start from there.
    qsizetype secondHalf_ = std::numeric_limits<qsizetype>::max();
    bool findsFirstRecord_ = false; // the second half, before its first next()
    bool pagesMapped_ = false;      // whether next() has mapped in this scanner's pages
    int linesPerRecord_;
    quint32 wanted_;
    LineEnds::Cursor lineEnds_;
    qsizetype starts_[32] = {};
    qsizetype lengths_[32] = {};
    std::vector<char16_t> text_;
    QList<QStringView> values_;
};

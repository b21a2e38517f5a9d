// The record reader and writer: whatever bytes a file holds, reading either
// fails with the error of a cut record, bad bytes or an overlong line, or
// gives records that, written and read again, come back the same and write
// the same bytes.

#include "FuzzRecords.h"

#include "shell/AppError.h"
#include "shell/RecordFile.h"

#include <sys/mman.h>
#include <unistd.h>

static QString memoryFile(const char *data, size_t size)
{
    static const int fd = memfd_create("records", MFD_CLOEXEC);
    FUZZ_CHECK(fd >= 0);
    FUZZ_CHECK(ftruncate(fd, 0) == 0);
    FUZZ_CHECK(pwrite(fd, data, size, 0) == ssize_t(size));
    return QStringLiteral("/proc/self/fd/%1").arg(fd);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const int lines = size > 0 && (data[0] & 1) ? 16 : 20;
    QList<QStringList> first;
    try {
        first = readRecords(memoryFile(reinterpret_cast<const char *>(data), size), lines);
    } catch (const AppError &e) {
        FUZZ_CHECK(e.number == ErrNo::InputPastEnd || e.number == ErrNo::BadBytes
                   || e.number == ErrNo::LineTooLong);
        return 0;
    }
    for (const QStringList &record : first) {
        FUZZ_CHECK(record.size() == lines);
        for (const QString &value : record) {
            FUZZ_CHECK(!value.contains(u'\r') && !value.contains(u'\n'));
            FUZZ_CHECK(value.isEmpty() || !value.trimmed().isEmpty() || value.contains(QChar(0x3000))
                       || value.contains(u'\t') || value.contains(QChar(0x0B)) || value.contains(QChar(0x0C)));
        }
    }

    // What was read can always be written: every character came from code page 932.
    const QByteArray written = encodeRecords(first);
    FUZZ_CHECK(written.count('\n') == first.size() * lines);
    const QList<QStringList> second = readRecords(memoryFile(written.constData(), size_t(written.size())), lines);
    FUZZ_CHECK(second == first);
    FUZZ_CHECK(encodeRecords(second) == written);
    return 0;
}

#include "quick/QuickQuery.h"

#include "quick/LineEnds.h"
#include "quick/QueryMatch.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <iterator>
#include <pthread.h>
#include <string_view>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace QuickQuery {

namespace {

using namespace QueryMatch;

// Longer values are left to the full program, which holds the list's own
// limit; no value the program writes comes near.
constexpr ptrdiff_t kLongestLine = 64 * 1024;
// Below this a second thread costs more than it saves.
constexpr ptrdiff_t kWorthSplitting = 256 * 1024;

// Exit codes as the full program gives them.
constexpr int kFound = 0;
constexpr int kNothingFound = 1;

// A growing block of malloc'd memory; failed once any allocation fails.
struct Buffer {
    char *data = nullptr;
    size_t size = 0;
    size_t capacity = 0;
    bool failed = false;

    bool reserve(size_t more)
    {
        if (failed || size + more <= capacity)
            return !failed;
        const size_t wanted = size + more > 2 * capacity ? size + more : 2 * capacity;
        char *grown = static_cast<char *>(std::realloc(data, wanted));
        if (!grown) {
            failed = true;
            return false;
        }
        data = grown;
        capacity = wanted;
        return true;
    }
    void append(std::string_view bytes)
    {
        if (reserve(bytes.size())) {
            std::memcpy(data + size, bytes.data(), bytes.size());
            size += bytes.size();
        }
    }
    void release()
    {
        std::free(data);
        *this = Buffer();
    }
};

// The sought text as the command got it (UTF-8) in UTF-16, or -1 when it
// isn't valid UTF-8 or holds a character beyond the first 65536.
ptrdiff_t utf16Of(std::string_view utf8, char16_t *out)
{
    ptrdiff_t n = 0;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char b = utf8[i];
        unsigned c;
        size_t length;
        if (b < 0x80) {
            c = b;
            length = 1;
        } else if (b >= 0xC2 && b <= 0xDF) {
            c = b & 0x1F;
            length = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            c = b & 0x0F;
            length = 3;
        } else {
            return -1;
        }
        if (i + length > utf8.size())
            return -1;
        for (size_t k = 1; k < length; ++k) {
            const unsigned char t = utf8[i + k];
            if ((t & 0xC0) != 0x80)
                return -1;
            c = (c << 6) | (t & 0x3F);
        }
        // Overlong forms and surrogates are no characters.
        if ((length == 3 && c < 0x800) || (c >= 0xD800 && c <= 0xDFFF))
            return -1;
        out[n++] = char16_t(c);
        i += length;
    }
    return n;
}

bool isBlankOrBreak(char16_t c)
{
    return c == u' ' || c == u'\u3000' || c == u'\t' || c == u'\r' || c == u'\n';
}

// A value as one column of a line, in UTF-8: tabs and line breaks become
// blanks, and blanks at the ends go.
void appendColumn(Buffer &out, const char16_t *text, ptrdiff_t size)
{
    ptrdiff_t from = 0;
    while (from < size && isBlankOrBreak(text[from]))
        ++from;
    while (size > from && isBlankOrBreak(text[size - 1]))
        --size;
    if (!out.reserve(size_t(3 * (size - from))))
        return;
    char *p = out.data + out.size;
    for (ptrdiff_t i = from; i < size; ++i) {
        char16_t c = text[i];
        if (c == u'\t' || c == u'\r' || c == u'\n')
            c = u' ';
        if (c < 0x80) {
            *p++ = char(c);
        } else if (c < 0x800) {
            *p++ = char(0xC0 | (c >> 6));
            *p++ = char(0x80 | (c & 0x3F));
        } else {
            *p++ = char(0xE0 | (c >> 12));
            *p++ = char(0x80 | ((c >> 6) & 0x3F));
            *p++ = char(0x80 | (c & 0x3F));
        }
    }
    out.size = size_t(p - out.data);
}

// One part of the list, read by one thread: the records that start from
// pos (or, for a later part, from the first record start after it) and
// before stop.
struct Part {
    Part(const char *bytes, ptrdiff_t size, ptrdiff_t from, bool findsFirstRecord, std::u16string_view sought)
        : bytes(bytes), end(size), pos(from), stop(size), findsFirstRecord(findsFirstRecord), matcher(sought)
    {
    }

    const char *bytes;
    ptrdiff_t end;  // the file's end
    ptrdiff_t pos;
    ptrdiff_t stop;
    bool findsFirstRecord;
    RecordMatcher matcher;

    Buffer lines;
    int addresses = 0;
    bool needsFullProgram = false;
    char16_t *values = nullptr; // the values of a matching record
    size_t valuesRoom = 0;

    bool read();
    bool add(const std::string_view (&fields)[kLinesPerContact]);
};

// Adds the contact's lines when it matches, as the full query does; false
// when a value needs the full program.
bool Part::add(const std::string_view (&fields)[kLinesPerContact])
{
    const RecordMatch match = matcher.match(fields);
    if (match != RecordMatch::Found)
        return match == RecordMatch::NotFound;
    const int decodedLines[] = {kNameLine, kReadingLine, kMail1Line, kMail2Line};
    size_t room = 0;
    for (const int line : decodedLines)
        room += fields[line].size();
    if (valuesRoom < room) {
        std::free(values);
        valuesRoom = 2 * room;
        values = static_cast<char16_t *>(std::malloc(valuesRoom * sizeof(char16_t)));
        if (!values)
            return false;
    }
    // Decoded one after the other, a character a byte at most. Each was
    // folded unless it is plain ASCII, so that none fails here but for a
    // fault of ours.
    std::u16string_view decoded[4];
    char16_t *at = values;
    for (int i = 0; i < 4; ++i) {
        const ptrdiff_t n = decodeInto(fields[decodedLines[i]], at);
        if (n < 0)
            return false;
        decoded[i] = std::u16string_view(at, size_t(n));
        at += n;
    }
    const std::u16string_view name = decoded[0];
    const std::u16string_view reading = decoded[1];
    for (const std::u16string_view mail : {decoded[2], decoded[3]}) {
        const size_t before = lines.size;
        appendColumn(lines, mail.data(), ptrdiff_t(mail.size()));
        if (lines.size == before)
            continue;
        lines.append("\t");
        appendColumn(lines, name.data(), ptrdiff_t(name.size()));
        lines.append("\t");
        appendColumn(lines, reading.data(), ptrdiff_t(reading.size()));
        lines.append("\n");
        ++addresses;
    }
    return !lines.failed;
}

bool Part::read()
{
    if (findsFirstRecord)
        pos = LineEnds::recordStartFrom(bytes, pos, end, kLinesPerContact);
    const ptrdiff_t until = stop < end ? stop : end;
    if (pos < until && until - pos <= 64 * 1024 * 1024) {
        // Mapped in one call, the part costs no page fault per page; a file
        // far larger than any list is mapped as it is read.
        const uintptr_t page = uintptr_t(::sysconf(_SC_PAGESIZE));
        const uintptr_t from = uintptr_t(bytes + pos) & ~(page - 1);
        ::madvise(reinterpret_cast<void *>(from), uintptr_t(bytes + until) - from, MADV_POPULATE_READ);
    }
    LineEnds::Cursor cursor;
    std::string_view fields[kLinesPerContact];
    while (pos < until) {
        for (std::string_view &field : fields) {
            if (pos >= end)
                return false; // a record cut short
            const ptrdiff_t lineEnd = cursor.lineEndFrom(bytes, pos, end);
            if (lineEnd - pos > kLongestLine)
                return false;
            field = std::string_view(bytes + pos, size_t(lineEnd - pos));
            pos = lineEnd < end ? LineEnds::after(bytes, lineEnd, end) : end;
        }
        if (!add(fields))
            return false;
    }
    return true;
}

void *readPart(void *part)
{
    Part &p = *static_cast<Part *>(part);
    p.needsFullProgram = !p.read();
    return nullptr;
}

// The contact list's path as the full program finds it: in the data folder
// under XDG_DATA_HOME, or else under ~/.local/share. Nothing where the
// full program would make more of the variables than their plain bytes
// (a relative path, one it would tidy up, one with other than ASCII bytes).
bool listPath(Buffer &path)
{
    const char *base = std::getenv("XDG_DATA_HOME");
    const char *under = "";
    if (!base || !*base) {
        base = std::getenv("HOME");
        under = "/.local/share";
        if (!base || !*base || std::strstr(base, "/.") || std::strstr(base, "//"))
            return false;
        const size_t n = std::strlen(base);
        if (n > 1 && base[n - 1] == '/')
            return false;
    }
    if (base[0] != '/')
        return false;
    const std::string_view baseBytes(base);
    for (const unsigned char c : baseBytes)
        if (c >= 0x80)
            return false;
    path.append(baseBytes);
    path.append(under);
    path.append("/Tessaline/Data/load.txt");
    path.append(std::string_view("", 1));
    return !path.failed;
}

void appendNumber(Buffer &out, int n)
{
    char digits[16];
    const int length = std::snprintf(digits, sizeof digits, "%d", n);
    out.append(std::string_view(digits, size_t(length)));
}

} // namespace

bool answer(int argc, char *argv[], Answer &result)
{
    // query [--] TEXT
    int first = 2;
    if (first < argc && std::strcmp(argv[first], "--") == 0)
        ++first;
    if (argc - first != 1)
        return false;
    // The sought text folds as the values do, from its code page 932 bytes:
    // a text with a character the code page lacks is left to the full
    // program.
    const std::string_view soughtBytes(argv[first]);
    const size_t n = soughtBytes.size();
    char16_t *const soughtText = static_cast<char16_t *>(std::malloc((n + 4 * n + kFoldOverrun) * sizeof(char16_t)));
    // The fold loads up to 16 bytes at a time: the bytes after the text
    // belong to the buffer.
    char *const soughtCodes = static_cast<char *>(std::calloc(2 * n + 16, 1));
    const ptrdiff_t units = soughtText && soughtCodes ? utf16Of(soughtBytes, soughtText) : -1;
    const ptrdiff_t codes = units < 0 ? -1 : encodeInto(std::u16string_view(soughtText, size_t(units)), soughtCodes);
    char16_t *const folded = soughtText + n;
    char16_t *const foldedEnd =
        codes < 0 ? nullptr : foldBytesInto(std::string_view(soughtCodes, size_t(codes)), folded);
    std::free(soughtCodes);
    const ptrdiff_t foldedSize = foldedEnd ? foldedEnd - folded : 0;
    if (foldedSize == 0) {
        std::free(soughtText);
        return false;
    }
    const std::u16string_view sought(folded, size_t(foldedSize));

    Buffer path;
    bool answered = false;
    int fd = -1;
    if (listPath(path))
        fd = ::open(path.data, O_RDONLY | O_CLOEXEC);
    path.release();
    struct stat st;
    const char *bytes = nullptr;
    ptrdiff_t size = 0;
    if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        size = st.st_size;
        if (size == 0) {
            answered = true;
        } else {
            void *map = ::mmap(nullptr, size_t(size), PROT_READ, MAP_PRIVATE, fd, 0);
            bytes = map == MAP_FAILED ? nullptr : static_cast<const char *>(map);
        }
    }
    if (fd >= 0)
        ::close(fd);

    Part parts[2] = {{bytes, size, 0, false, sought}, {bytes, size, size, true, sought}};
    int partCount = 1;
    if (bytes) {
        // The second half of a long list is read on a second thread, from
        // the first record after its middle.
        if (size >= kWorthSplitting) {
            const ptrdiff_t lineEnd = LineEnds::nextWide(bytes, size / 2, size);
            const ptrdiff_t at = lineEnd < size ? LineEnds::after(bytes, lineEnd, size) : size;
            if (at < size) {
                parts[0].stop = parts[1].pos = at;
                partCount = 2;
            }
        }
        pthread_t second;
        const bool threaded = partCount == 2 && pthread_create(&second, nullptr, readPart, &parts[1]) == 0;
        readPart(&parts[0]);
        if (threaded)
            pthread_join(second, nullptr);
        else if (partCount == 2)
            readPart(&parts[1]);
        ::munmap(const_cast<char *>(bytes), size_t(size));
        answered = !parts[0].needsFullProgram && !parts[1].needsFullProgram;
    }

    Buffer out;
    if (answered) {
        int addresses = 0;
        for (const Part &part : parts)
            addresses += part.addresses;
        // Mail clients show the first line as the answer's status.
        if (addresses > 0) {
            appendNumber(out, addresses);
            out.append(" 件のメールアドレスが見つかりました\n");
        } else {
            out.append("該当する連絡先はありません\n");
        }
        for (int i = 0; i < partCount; ++i)
            out.append(std::string_view(parts[i].lines.data ? parts[i].lines.data : "", parts[i].lines.size));
        answered = !out.failed;
        result = {out.data, out.size, addresses > 0 ? kFound : kNothingFound};
    }
    if (!answered)
        out.release();
    for (Part &part : parts) {
        part.lines.release();
        std::free(part.values);
    }
    std::free(soughtText);
    return answered;
}

} // namespace QuickQuery

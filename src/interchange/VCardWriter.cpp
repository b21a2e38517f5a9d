#include "interchange/VCardWriter.h"

#include "interchange/FieldMap.h"
#include "interchange/NameParts.h"
#include "interchange/PhotoEmbedding.h"
#include "interchange/Utf8Output.h"
#include "shell/Cp932.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// A content line may hold at most 75 octets before its CR LF; a longer one
// continues on the next line after one blank. A fold never splits a UTF-8
// sequence or an escape.
constexpr int kLineOctets = 75;

// One field: its text, or, when it wasn't decoded, its code page 932 bytes.
struct FieldValue {
    QStringView text;
    QByteArrayView cp932;
};

bool isEmpty(const FieldValue &value);

class CardWriter {
public:
    explicit CardWriter(Utf8Output &out) : out_(out) {}

    // The property name with its parameters and the colon, as ASCII.
    void start(QByteArrayView nameAndParams) { ascii(nameAndParams); }
    void ascii(QByteArrayView bytes)
    {
        // Most fit on the line as they are.
        if (lineOctets_ + bytes.size() > kLineOctets) {
            put(bytes.data(), bytes.size(), false);
            return;
        }
        char *o = out_.reserveTail(bytes.size());
        std::memcpy(o, bytes.data(), size_t(bytes.size()));
        out_.commitTail(o + bytes.size());
        lineOctets_ += int(bytes.size());
    }
    void text(QStringView value) { putText(value); }
    void text(const FieldValue &value)
    {
        if (value.text.isEmpty())
            putCp932Text(value.cp932);
        else
            putText(value.text);
    }
    // A value written as it is: a parameter value in quotes, a data: URI.
    void verbatim(QStringView value)
    {
        const QByteArrayView bytes = out_.encode(value);
        put(bytes.data(), bytes.size(), false);
    }
    void end()
    {
        char *o = out_.reserveTail(2);
        std::memcpy(o, "\r\n", 2);
        out_.commitTail(o + 2);
        lineOctets_ = 0;
    }

    // A whole property holding one text value; nothing for an empty value.
    void property(QByteArrayView nameAndParams, const FieldValue &value)
    {
        if (isEmpty(value))
            return;
        start(nameAndParams);
        text(value);
        end();
    }
    void property(QByteArrayView nameAndParams, QStringView value) { property(nameAndParams, {value, {}}); }

    // Whether bytes that were no code page 932 text came to be written.
    bool invalid() const { return invalid_; }
    void setInvalid() { invalid_ = true; }

private:
    void put(const char *p, qsizetype n, bool escape);
    void putText(QStringView value);
    void putCp932Text(QByteArrayView value);

    Utf8Output &out_;
    int lineOctets_ = 0;
    bool invalid_ = false;
};

inline bool needsEscape(char b)
{
    return b == '\\' || b == ',' || b == ';' || b == '\r' || b == '\n';
}

inline bool isContinuationByte(char b)
{
    return (static_cast<unsigned char>(b) & 0xC0) == 0x80;
}

void CardWriter::put(const char *p, qsizetype n, bool escape)
{
    // Each byte becomes at most two, and a fold of three bytes comes at most
    // once in 71 octets.
    char *o = out_.reserveTail(2 * n + n / 8 + 8);
    qsizetype i = 0;
    while (i < n) {
        // Copy the plain bytes that fit on the line in one go, ending on a
        // character boundary.
        const qsizetype limit = std::min(n, i + (kLineOctets - lineOctets_));
        qsizetype j = i;
        if (escape) {
            while (j < limit && !needsEscape(p[j]))
                ++j;
        } else {
            j = limit;
        }
        if (j < n) {
            while (j > i && isContinuationByte(p[j]))
                --j;
        }
        std::memcpy(o, p + i, size_t(j - i));
        o += j - i;
        lineOctets_ += int(j - i);
        i = j;
        if (i >= n)
            break;
        if (escape && needsEscape(p[i])) {
            if (lineOctets_ + 2 > kLineOctets) {
                std::memcpy(o, "\r\n ", 3);
                o += 3;
                lineOctets_ = 1;
            }
            *o++ = '\\';
            *o++ = p[i] == '\r' || p[i] == '\n' ? 'n' : p[i];
            lineOctets_ += 2;
            // CR LF is one line break.
            i += p[i] == '\r' && i + 1 < n && p[i + 1] == '\n' ? 2 : 1;
            continue;
        }
        // The next character doesn't fit on this line.
        std::memcpy(o, "\r\n ", 3);
        o += 3;
        lineOctets_ = 1;
    }
    out_.commitTail(o);
}

// Writes the UTF-8 bytes of one character (or of the escape for a
// character that needs one) at o; returns how many code units it took.
inline int encodeOne(const char16_t *s, qsizetype left, char *&o)
{
    const char16_t c = s[0];
    if (c < 0x80) {
        if (needsEscape(char(c))) [[unlikely]] {
            *o++ = '\\';
            *o++ = c == u'\r' || c == u'\n' ? 'n' : char(c);
            return c == u'\r' && left > 1 && s[1] == u'\n' ? 2 : 1; // CR LF is one line break
        }
        *o++ = char(c);
        return 1;
    }
    if (c < 0x800) {
        *o++ = char(0xC0 | (c >> 6));
        *o++ = char(0x80 | (c & 0x3F));
        return 1;
    }
    if (QChar::isSurrogate(c)) [[unlikely]] {
        if (QChar::isHighSurrogate(c) && left > 1 && QChar::isLowSurrogate(s[1])) {
            const char32_t u = QChar::surrogateToUcs4(c, s[1]);
            *o++ = char(0xF0 | (u >> 18));
            *o++ = char(0x80 | ((u >> 12) & 0x3F));
            *o++ = char(0x80 | ((u >> 6) & 0x3F));
            *o++ = char(0x80 | (u & 0x3F));
            return 2;
        }
        // A lone surrogate has no UTF-8 form: the replacement character.
        *o++ = char(0xEF);
        *o++ = char(0xBF);
        *o++ = char(0xBD);
        return 1;
    }
    *o++ = char(0xE0 | (c >> 12));
    *o++ = char(0x80 | ((c >> 6) & 0x3F));
    *o++ = char(0x80 | (c & 0x3F));
    return 1;
}

// The octets that one character at s takes, its escape included.
inline int octetsOf(const char16_t *s, qsizetype left)
{
    const char16_t c = s[0];
    if (c < 0x80)
        return needsEscape(char(c)) ? 2 : 1;
    if (c < 0x800)
        return 2;
    if (QChar::isHighSurrogate(c) && left > 1 && QChar::isLowSurrogate(s[1]))
        return 4;
    return 3;
}

// The escaped UTF-8 octets of each code page 932 character, as putText
// writes the character it decodes to: the octets in the low three bytes
// (first octet lowest), their count in the top one. Filled in as characters
// are met, from the code page's decoder: a list holds a few thousand of the
// code page's characters, and asking for all of them would cost more than
// the whole export. Threads may fill it at once; an entry is read and
// written whole, and two threads fill in the same answer.
constexpr quint32 kNotLookedUp = 0;
constexpr quint32 kNoCharacter = 0xFFFFFFFF;
constexpr int kLeadBytes = (0x9F - 0x81 + 1) + (0xFC - 0xE0 + 1);

constexpr quint32 kLineBreak = 2u << 24 | 'n' << 8 | '\\'; // the escape of a CR or LF

// Row 0 holds the single bytes, then a row for each lead byte's pairs.
quint32 octetsTable[(1 + kLeadBytes) * 256];

// Where the row of a lead byte starts; 0 for a single byte.
constexpr std::array<quint16, 256> kPairRows = [] {
    std::array<quint16, 256> rows{};
    int row = 1;
    for (int b = 0; b < 256; ++b) {
        if (Cp932::isLeadByte(uchar(b)))
            rows[b] = quint16(256 * row++);
    }
    return rows;
}();

quint32 lookUpOctets(QByteArrayView code)
{
    char16_t c[2];
    if (Cp932::decodeInto(code, c) != 1)
        return kNoCharacter;
    char octets[4] = {};
    char *o = octets;
    encodeOne(c, 1, o);
    const int count = int(o - octets);
    quint32 packed;
    std::memcpy(&packed, octets, 4);
    return (qFromLittleEndian(packed) & 0xFFFFFF) | quint32(count) << 24;
}

// The packed octets of the character at p, before end, and how many bytes
// it takes; kNoCharacter when they are no character.
inline quint32 octetsAt(const uchar *p, const uchar *end, int &taken)
{
    int index = *p;
    taken = 1;
    if (const int row = kPairRows[*p]) {
        taken = 2;
        if (end - p < 2)
            return kNoCharacter; // cut off at the end of the line
        index = row + p[1];
    }
    quint32 &entry = octetsTable[index];
    quint32 packed = std::atomic_ref<quint32>(entry).load(std::memory_order_relaxed);
    if (packed == kNotLookedUp) [[unlikely]] {
        packed = lookUpOctets(QByteArrayView(reinterpret_cast<const char *>(p), taken));
        std::atomic_ref<quint32>(entry).store(packed, std::memory_order_relaxed);
    }
    return packed;
}

// Decoded, a value of only half-width and full-width blanks is empty.
bool isBlankCp932(QByteArrayView value)
{
    // Most values start with a character that is no blank.
    if (!value.isEmpty() && value[0] != ' ' && value[0] != '\x81')
        return false;
    static constexpr quint32 halfBlank = 1u << 24 | 0x20;
    static constexpr quint32 fullBlank = 3u << 24 | 0x8080E3; // U+3000
    const uchar *p = reinterpret_cast<const uchar *>(value.data());
    const uchar *const end = p + value.size();
    while (p < end) {
        int taken;
        const quint32 packed = octetsAt(p, end, taken);
        if (packed != halfBlank && packed != fullBlank)
            return false;
        p += taken;
    }
    return true;
}

bool isCp932Text(QByteArrayView value)
{
    const uchar *p = reinterpret_cast<const uchar *>(value.data());
    const uchar *const end = p + value.size();
    while (p < end) {
        int taken;
        if (octetsAt(p, end, taken) == kNoCharacter)
            return false;
        p += taken;
    }
    return true;
}

bool isEmpty(const FieldValue &value)
{
    return value.text.isEmpty() && isBlankCp932(value.cp932);
}

// Code page 932 values go to escaped, folded UTF-8 in one pass, a table
// look-up a character, without UTF-16 in between.
void CardWriter::putCp932Text(QByteArrayView value)
{
    const uchar *p = reinterpret_cast<const uchar *>(value.data());
    const uchar *const end = p + value.size();
    // A byte gives at most three octets (a half-width katakana), a fold of
    // three octets comes at most once in 71, and each character is stored
    // as four octets, a run of ASCII as sixteen, of which only its own count.
    char *o = out_.reserveTail(3 * value.size() + value.size() / 8 + 16);
    // Kept in a register: a store through o could be one to the member.
    int line = lineOctets_;
    while (p < end) {
#ifdef __SSE2__
        // ASCII that needs no escape (mail addresses, phone numbers, URLs)
        // is copied as it is, up to sixteen bytes at a time while it fits on
        // the line. The last bytes of a value are looked at from a copy, so
        // that nothing after the value is read.
        if (*p < 0x80) {
            __m128i v;
            if (end - p >= 16) {
                v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
            } else {
                alignas(16) uchar last[16] = {};
                std::memcpy(last, p, size_t(end - p));
                v = _mm_load_si128(reinterpret_cast<const __m128i *>(last));
            }
            const __m128i escaped = _mm_or_si128(
                _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\\')), _mm_cmpeq_epi8(v, _mm_set1_epi8(','))),
                _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(';')),
                             _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r')),
                                          _mm_cmpeq_epi8(v, _mm_set1_epi8('\n')))));
            // Signed, the bytes 0x01 to 0x7F are those above zero; the NUL
            // bytes after a value's end stop the run.
            const __m128i plain = _mm_andnot_si128(escaped, _mm_cmpgt_epi8(v, _mm_setzero_si128()));
            // The reserved room holds all sixteen; only the run counts.
            _mm_storeu_si128(reinterpret_cast<__m128i *>(o), v);
            const int run = std::min(std::countr_one(unsigned(_mm_movemask_epi8(plain))), kLineOctets - line);
            o += run;
            p += run;
            line += run;
            if (run > 0)
                continue;
        }
#endif
        int taken;
        const quint32 packed = octetsAt(p, end, taken);
        if (packed == kNoCharacter) [[unlikely]] {
            invalid_ = true;
            break;
        }
        const int count = int(packed >> 24);
        if (line + count > kLineOctets) {
            std::memcpy(o, "\r\n ", 3);
            o += 3;
            line = 1;
        }
        const quint32 octets = qToLittleEndian(packed);
        std::memcpy(o, &octets, 4);
        o += count;
        line += count;
        p += taken;
        // CR LF is one line break.
        if (packed == kLineBreak && p[-1] == '\r' && p < end && *p == '\n') [[unlikely]]
            ++p;
    }
    lineOctets_ = line;
    out_.commitTail(o);
}

// Text values, the bulk of a card, go from UTF-16 to escaped, folded UTF-8
// in one pass.
void CardWriter::putText(QStringView value)
{
    const char16_t *const s = value.utf16();
    const qsizetype n = value.size();
    // At most three bytes a code unit, and a fold of three bytes at most
    // once in 71 octets.
    char *o = out_.reserveTail(3 * n + n / 8 + 8);
    qsizetype i = 0;
    while (i < n) {
#ifdef __SSE2__
        // Mail addresses, phone numbers, URLs and dates are plain ASCII,
        // a byte a unit: eight units at a time while they fit on the line.
        while (n - i >= 8 && lineOctets_ + 8 <= kLineOctets) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + i));
            const __m128i escaped = _mm_or_si128(
                _mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16('\\')), _mm_cmpeq_epi16(v, _mm_set1_epi16(','))),
                _mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16(';')),
                             _mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16('\r')),
                                          _mm_cmpeq_epi16(v, _mm_set1_epi16('\n')))));
            const __m128i ascii =
                _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(short(0xFF80))), _mm_setzero_si128());
            if (_mm_movemask_epi8(_mm_andnot_si128(escaped, ascii)) != 0xFFFF)
                break;
            _mm_storel_epi64(reinterpret_cast<__m128i *>(o), _mm_packus_epi16(v, v));
            o += 8;
            i += 8;
            lineOctets_ += 8;
        }
        if (i >= n)
            break;
#endif
        // A code unit takes three octets at most (a surrogate pair four for
        // its two, an escape two for its one or two): as many units as fit
        // that way need no look at the line's length.
        const qsizetype surelyFit = (kLineOctets - lineOctets_) / 3;
        if (surelyFit >= 2) {
            // One unit of that room is kept for the second half of a pair
            // that begins on the stretch's last unit.
            const qsizetype stop = std::min(n, i + surelyFit - 1);
            const char *const start = o;
            while (i < stop)
                i += encodeOne(s + i, n - i, o);
            lineOctets_ += int(o - start);
            continue;
        }
        if (lineOctets_ + octetsOf(s + i, n - i) > kLineOctets) {
            std::memcpy(o, "\r\n ", 3);
            o += 3;
            lineOctets_ = 1;
        }
        const char *const start = o;
        i += encodeOne(s + i, n - i, o);
        lineOctets_ += int(o - start);
    }
    out_.commitTail(o);
}

// A SORT-AS value is a quoted list separated by commas, with no escape for
// a comma or a quote inside a part; a reading holding one is left to the
// X-PHONETIC properties.
bool fitsSortAs(QStringView part)
{
    for (const QChar c : part) {
        if (c == u',' || c == u'"' || c == u'^' || c.unicode() < 0x20)
            return false;
    }
    return true;
}

void writeName(CardWriter &card, const ContactFields &r, VCardVersion version)
{
    const QStringView name = r[NameField];
    const QStringView reading = r[ReadingField];
    const NameParts shown = splitForDisplay(name);
    const NameParts phonetic = splitExactly(reading);

    // FN is required even when the name is blank; it holds the name exactly.
    card.start("FN:");
    card.text(name);
    card.end();
    card.start("N");
    if (version == VCardVersion::V4 && !reading.isEmpty() && fitsSortAs(phonetic.family)
        && fitsSortAs(phonetic.given)) {
        card.ascii(";SORT-AS=\"");
        card.verbatim(phonetic.family);
        if (!phonetic.given.isEmpty()) {
            card.ascii(",");
            card.verbatim(phonetic.given);
        }
        card.ascii("\"");
    }
    card.ascii(":");
    card.text(shown.family);
    card.ascii(";");
    card.text(shown.given);
    card.ascii(";;;");
    card.end();
    card.property("X-PHONETIC-LAST-NAME:", phonetic.family);
    card.property("X-PHONETIC-FIRST-NAME:", phonetic.given);
}

void writePhoto(CardWriter &card, QStringView value, VCardVersion version,
                const QString &photoFolder)
{
    if (value.isEmpty())
        return;
    const std::optional<EmbeddedPhoto> photo = embeddablePhoto(photoFolder, value);
    if (!photo) {
        card.property(version == VCardVersion::V3 ? "PHOTO;VALUE=uri:" : "PHOTO:", value);
        return;
    }
    const QByteArray base64 = photo->bytes.toBase64();
    if (version == VCardVersion::V3) {
        card.start("PHOTO;ENCODING=b;TYPE=");
        card.ascii(photo->typeName);
        card.ascii(":");
    } else {
        card.start("PHOTO:data:");
        card.ascii(photo->mediaType);
        card.ascii(";base64,");
    }
    card.ascii(base64);
    card.end();
}

void writeCard(CardWriter &card, const ContactFields &r, const ContactLines &lines, VCardVersion version,
               const QString &photoFolder)
{
    const auto field = [&](int i) { return FieldValue{r[i], lines[i]}; };
    const bool v3 = version == VCardVersion::V3;
    card.ascii(v3 ? "BEGIN:VCARD\r\nVERSION:3.0\r\n" : "BEGIN:VCARD\r\nVERSION:4.0\r\n");
    writeName(card, r, version);
    card.property(v3 ? "TEL;TYPE=CELL:" : "TEL;TYPE=cell:", field(Tel1Field));
    card.property(v3 ? "TEL;TYPE=WORK:" : "TEL;TYPE=work:", field(Tel2Field));
    card.property(v3 ? "TEL;TYPE=FAX:" : "TEL;TYPE=fax:", field(FieldMap::FaxField));
    card.property(v3 ? "EMAIL;TYPE=INTERNET:" : "EMAIL:", field(FieldMap::Mail1Field));
    card.property(v3 ? "EMAIL;TYPE=INTERNET:" : "EMAIL:", field(FieldMap::Mail2Field));
    const FieldValue company = field(FieldMap::Affiliation1Field);
    const FieldValue department = field(FieldMap::Affiliation2Field);
    const bool noCompany = isEmpty(company);
    const bool noDepartment = isEmpty(department);
    if (!noCompany || !noDepartment) {
        card.start("ORG:");
        if (!noCompany)
            card.text(company);
        if (!noDepartment) {
            card.ascii(";");
            card.text(department);
        }
        card.end();
    }
    card.property("TITLE:", field(FieldMap::TitleField));
    if (const FieldValue address = field(FieldMap::AddressField); !isEmpty(address)) {
        card.start("ADR:;;");
        card.text(address);
        card.ascii(";;;;");
        card.end();
    }
    card.property("URL:", field(FieldMap::UrlField));
    card.property("NOTE:", field(FieldMap::CommentField));
    // Bytes that are no text stop the card before a photo is read, wherever
    // they are in it.
    if (mayNamePhotoFile(photoFolder, r[FieldMap::PhotoField])
        && !std::all_of(FieldMap::ownProperties.begin(), FieldMap::ownProperties.end(),
                        [&](const FieldMap::OwnProperty &own) { return isCp932Text(lines[own.field]); }))
        card.setInvalid();
    if (card.invalid())
        return;
    writePhoto(card, r[FieldMap::PhotoField], version, photoFolder);
    for (const FieldMap::OwnProperty &own : FieldMap::ownProperties) {
        const FieldValue value = field(own.field);
        if (isEmpty(value))
            continue;
        card.ascii(QByteArrayView(own.vcardName.data(), own.vcardName.size()));
        card.ascii(":");
        card.text(value);
        card.end();
    }
    card.ascii("END:VCARD\r\n");
}

} // namespace

bool writeVCard(Utf8Output &out, const ContactFields &decoded, const ContactLines &lines,
                VCardVersion version, const QString &photoFolder)
{
    const qsizetype start = out.view().size();
    CardWriter card(out);
    writeCard(card, decoded, lines, version, photoFolder);
    if (card.invalid())
        out.truncate(start);
    return !card.invalid();
}

#include "interchange/VCardWriter.h"

#include "interchange/FieldMap.h"
#include "interchange/NameParts.h"
#include "interchange/PhotoEmbedding.h"
#include "interchange/Utf8Output.h"

#include <algorithm>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// A content line may hold at most 75 octets before its CR LF; a longer one
// continues on the next line after one blank. A fold never splits a UTF-8
// sequence or an escape.
constexpr int kLineOctets = 75;

class CardWriter {
public:
    explicit CardWriter(Utf8Output &out) : out_(out) {}

    // The property name with its parameters and the colon, as ASCII.
    void start(QByteArrayView nameAndParams)
    {
        put(nameAndParams.data(), nameAndParams.size(), false);
    }
    void ascii(QByteArrayView bytes) { put(bytes.data(), bytes.size(), false); }
    void text(QStringView value) { putText(value); }
    // A value written as it is: a parameter value in quotes, a data: URI.
    void verbatim(QStringView value)
    {
        const QByteArrayView bytes = out_.encode(value);
        put(bytes.data(), bytes.size(), false);
    }
    void end()
    {
        out_.append("\r\n", 2);
        lineOctets_ = 0;
    }

    // A whole property holding one text value; nothing for an empty value.
    void property(QByteArrayView nameAndParams, QStringView value)
    {
        if (value.isEmpty())
            return;
        start(nameAndParams);
        text(value);
        end();
    }

private:
    void put(const char *p, qsizetype n, bool escape);
    void putText(QStringView value);

    Utf8Output &out_;
    int lineOctets_ = 0;
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

void writeCard(CardWriter &card, const ContactFields &r, VCardVersion version,
               const QString &photoFolder)
{
    const bool v3 = version == VCardVersion::V3;
    card.ascii(v3 ? "BEGIN:VCARD\r\nVERSION:3.0\r\n" : "BEGIN:VCARD\r\nVERSION:4.0\r\n");
    writeName(card, r, version);
    card.property(v3 ? "TEL;TYPE=CELL:" : "TEL;TYPE=cell:", r[Tel1Field]);
    card.property(v3 ? "TEL;TYPE=WORK:" : "TEL;TYPE=work:", r[Tel2Field]);
    card.property(v3 ? "TEL;TYPE=FAX:" : "TEL;TYPE=fax:", r[FieldMap::FaxField]);
    card.property(v3 ? "EMAIL;TYPE=INTERNET:" : "EMAIL:", r[FieldMap::Mail1Field]);
    card.property(v3 ? "EMAIL;TYPE=INTERNET:" : "EMAIL:", r[FieldMap::Mail2Field]);
    const QStringView company = r[FieldMap::Affiliation1Field];
    const QStringView department = r[FieldMap::Affiliation2Field];
    if (!company.isEmpty() || !department.isEmpty()) {
        card.start("ORG:");
        card.text(company);
        if (!department.isEmpty()) {
            card.ascii(";");
            card.text(department);
        }
        card.end();
    }
    card.property("TITLE:", r[FieldMap::TitleField]);
    if (!r[FieldMap::AddressField].isEmpty()) {
        card.start("ADR:;;");
        card.text(r[FieldMap::AddressField]);
        card.ascii(";;;;");
        card.end();
    }
    card.property("URL:", r[FieldMap::UrlField]);
    card.property("NOTE:", r[FieldMap::CommentField]);
    writePhoto(card, r[FieldMap::PhotoField], version, photoFolder);
    for (const FieldMap::OwnProperty &own : FieldMap::ownProperties) {
        if (r[own.field].isEmpty())
            continue;
        card.ascii(QByteArrayView(own.vcardName.data(), own.vcardName.size()));
        card.ascii(":");
        card.text(r[own.field]);
        card.end();
    }
    card.ascii("END:VCARD\r\n");
}

} // namespace

void writeVCard(Utf8Output &out, const ContactFields &contact, VCardVersion version,
                const QString &photoFolder)
{
    CardWriter card(out);
    writeCard(card, contact, version, photoFolder);
}

#include "shell/Cp932.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QVarLengthArray>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <memory>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace Cp932 {

static constexpr const char *kName = "windows-31j";

bool available()
{
    return QStringDecoder(kName).isValid() && QStringEncoder(kName).isValid();
}

namespace {

// ICU knows the code page; asking it once per character and keeping the
// answer makes reading and writing the list many times faster than a
// converter call over the whole text, with exactly ICU's mapping.
constexpr char16_t kUnknown = 0xFFFF; // not asked yet (U+FFFF is no character of the code page)
constexpr char16_t kInvalid = 0xFFFE; // no character

// Threads may decode or encode at once: an entry is read and filled in
// whole, and any two threads that fill it fill in the same answer.
template <typename T>
T load(T &entry)
{
    return std::atomic_ref<T>(entry).load(std::memory_order_relaxed);
}

template <typename T>
void store(T &entry, T value)
{
    std::atomic_ref<T>(entry).store(value, std::memory_order_relaxed);
}

char16_t askDecoder(QByteArrayView bytes)
{
    QStringDecoder decoder(kName, QStringConverter::Flag::Stateless);
    const QString text = decoder(bytes);
    if (decoder.hasError() || text.size() != 1 || text[0].unicode() == kUnknown || text[0].unicode() == kInvalid)
        return kInvalid;
    return text[0].unicode();
}

struct DecodeTable {
    std::array<char16_t, 256> single;
    std::array<char16_t, 65536> pair;
    DecodeTable()
    {
        single.fill(kUnknown);
        pair.fill(kUnknown);
    }
};

DecodeTable &decodeTable()
{
    static const std::unique_ptr<DecodeTable> table = std::make_unique<DecodeTable>();
    return *table;
}

// The bytes of one character: up to two, and 0 for "not asked yet".
constexpr quint32 kNoCode = 0xFFFFFFFF;

std::array<quint32, 65536> &encodeTable()
{
    static const std::unique_ptr<std::array<quint32, 65536>> table = [] {
        auto t = std::make_unique<std::array<quint32, 65536>>();
        t->fill(0);
        return t;
    }();
    return *table;
}

// Packs the length in the top byte and the bytes below it.
quint32 askEncoder(char16_t c)
{
    if (c == 0)
        return kNoCode; // a NUL would make a file that no reader takes
    QStringEncoder encoder(kName, QStringConverter::Flag::Stateless);
    const QChar qc(c);
    const QByteArray bytes = encoder(QStringView(&qc, 1));
    if (encoder.hasError() || bytes.isEmpty() || bytes.size() > 2)
        return kNoCode;
    // A character that reads back as another one has no code of its own.
    if (askDecoder(bytes) != c)
        return kNoCode;
    if (bytes.size() == 1)
        return (1u << 24) | uchar(bytes[0]);
    return (2u << 24) | (quint32(uchar(bytes[0])) << 8) | uchar(bytes[1]);
}

} // namespace

// Bytes 0x01 to 0x7F map to themselves; eight of them are tested at once.
static bool eightPlainBytes(const uchar *p)
{
    quint64 v;
    std::memcpy(&v, p, 8);
    constexpr quint64 ones = 0x0101010101010101ull;
    constexpr quint64 highs = 0x8080808080808080ull;
    const bool anyHigh = (v & highs) != 0;
    const bool anyZero = ((v - ones) & ~v & highs) != 0;
    return !anyHigh && !anyZero;
}

qsizetype decodeInto(QByteArrayView bytes, char16_t *out)
{
    DecodeTable &table = decodeTable();
    const uchar *p = reinterpret_cast<const uchar *>(bytes.data());
    const uchar *const end = p + bytes.size();
    qsizetype n = 0;
    while (p < end) {
        const uchar b = *p;
        char16_t c;
        if (b >= 0x01 && b < 0x80) {
            // The ASCII range, 0x5C and 0x7E included, maps to itself; after
            // one such byte, eight at a time while they last.
            out[n++] = b;
            ++p;
            while (end - p >= 8 && eightPlainBytes(p)) {
                for (int k = 0; k < 8; ++k)
                    out[n + k] = p[k];
                n += 8;
                p += 8;
            }
            continue;
        } else if (isLeadByte(b)) {
            if (p + 1 == end)
                return -1; // cut off at the end
            const quint16 code = quint16((b << 8) | p[1]);
            c = load(table.pair[code]);
            if (c == kUnknown)
                store(table.pair[code], c = askDecoder(QByteArrayView(reinterpret_cast<const char *>(p), 2)));
            p += 2;
        } else {
            if (b == 0)
                return -1; // NUL is no text
            c = load(table.single[b]);
            if (c == kUnknown)
                store(table.single[b], c = askDecoder(QByteArrayView(reinterpret_cast<const char *>(p), 1)));
            ++p;
        }
        if (c == kInvalid)
            return -1;
        out[n++] = c;
    }
    return n;
}

std::optional<QString> decode(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return QString();
    // Decoded into a scratch buffer first, so that the text takes exactly
    // the memory it needs.
    QVarLengthArray<char16_t, 1024> buffer(bytes.size());
    const qsizetype n = decodeInto(bytes, buffer.data());
    if (n < 0)
        return std::nullopt;
    return QString(reinterpret_cast<const QChar *>(buffer.constData()), n);
}

// The code of a character outside 0x01-0x7F, or kNoCode.
static quint32 codeOf(std::array<quint32, 65536> &table, QChar qc)
{
    if (qc.isSurrogate())
        return kNoCode; // the code page has nothing outside the BMP
    const char16_t c = qc.unicode();
    quint32 code = load(table[c]);
    if (code == 0)
        store(table[c], code = askEncoder(c));
    return code;
}

// UTF-16 units 0x01 to 0x7F encode as themselves; four of them are tested
// at once (mails, numbers and addresses are mostly such runs).
static bool fourPlainUnits(const QChar *p)
{
    quint64 v;
    std::memcpy(&v, p, 8);
    constexpr quint64 ones = 0x0001000100010001ull;
    constexpr quint64 highs = 0x8000800080008000ull;
    const bool anyAbove = (v & 0xFF80FF80FF80FF80ull) != 0;
    const bool anyZero = ((v - ones) & ~v & highs) != 0;
    return !anyAbove && !anyZero;
}

qsizetype encodeInto(QStringView text, char *out, LineBreaks lineBreaks)
{
    std::array<quint32, 65536> &table = encodeTable();
    qsizetype n = 0;
    const QChar *p = text.data();
    const QChar *const end = p + text.size();
    while (p < end) {
#ifdef __SSE2__
        // Eight units 0x01-0x7F at a time, packed to their bytes, line
        // breaks made blanks where asked.
        if (end - p >= 8) {
            const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
            const __m128i plain = _mm_and_si128(_mm_cmpgt_epi16(units, _mm_setzero_si128()),
                                                _mm_cmplt_epi16(units, _mm_set1_epi16(0x80)));
            if (_mm_movemask_epi8(plain) == 0xFFFF) {
                __m128i bytes = units;
                if (lineBreaks == LineBreaks::AsBlanks) {
                    const __m128i breaks = _mm_or_si128(_mm_cmpeq_epi16(units, _mm_set1_epi16('\r')),
                                                        _mm_cmpeq_epi16(units, _mm_set1_epi16('\n')));
                    bytes = _mm_or_si128(_mm_andnot_si128(breaks, units), _mm_and_si128(breaks, _mm_set1_epi16(' ')));
                }
                _mm_storel_epi64(reinterpret_cast<__m128i *>(out + n), _mm_packus_epi16(bytes, bytes));
                n += 8;
                p += 8;
                continue;
            }
        }
#endif
        if (end - p >= 4 && fourPlainUnits(p)) {
            for (int k = 0; k < 4; ++k) {
                const char c = char(p[k].unicode());
                out[n + k] = (c == '\r' || c == '\n') && lineBreaks == LineBreaks::AsBlanks ? ' ' : c;
            }
            n += 4;
            p += 4;
            continue;
        }
        const QChar qc = *p++;
        const char16_t c = qc.unicode();
        if (c < 0x80 && c != 0) {
            const bool lineBreak = c == u'\r' || c == u'\n';
            out[n++] = lineBreak && lineBreaks == LineBreaks::AsBlanks ? ' ' : char(c);
            continue;
        }
        const quint32 code = codeOf(table, qc);
        if (code == kNoCode)
            return -1;
        if ((code >> 24) == 2)
            out[n++] = char((code >> 8) & 0xFF);
        out[n++] = char(code & 0xFF);
    }
    return n;
}

bool encodeAppend(QStringView text, QByteArray &bytes)
{
    const qsizetype start = bytes.size();
    bytes.resize(start + text.size() * 2);
    const qsizetype n = encodeInto(text, bytes.data() + start, LineBreaks::Kept);
    bytes.truncate(n < 0 ? start : start + n);
    return n >= 0;
}

std::optional<QByteArray> encode(QStringView text)
{
    QByteArray bytes;
    if (!encodeAppend(text, bytes))
        return std::nullopt;
    return bytes;
}

bool representable(QStringView text)
{
    // Asked of every value stored or imported: the same look-ups as
    // encodeInto, without building the bytes.
    std::array<quint32, 65536> &table = encodeTable();
    const QChar *p = text.data();
    const QChar *const end = p + text.size();
    while (p < end) {
        if (end - p >= 4 && fourPlainUnits(p)) {
            p += 4;
            continue;
        }
        const char16_t c = p->unicode();
        if (!(c < 0x80 && c != 0) && codeOf(table, *p) == kNoCode)
            return false;
        ++p;
    }
    return true;
}

static bool hasJisTwin(char16_t c)
{
    switch (c) {
    case 0x301C: case 0x2016: case 0x2212: case 0x2014: case 0x00A2: case 0x00A3: case 0x00AC:
    case 0x00A5: case 0x203E:
        return true;
    default:
        return false;
    }
}

QString foldJisTwins(QString text)
{
    // Most text holds none: it is then returned without being copied.
    const QChar *const begin = text.constData();
    const QChar *const end = begin + text.size();
    if (std::none_of(begin, end, [](QChar c) { return hasJisTwin(c.unicode()); }))
        return text;
    for (QChar &c : text) {
        switch (c.unicode()) {
        case 0x301C: c = QChar(0xFF5E); break; // 〜 wave dash
        case 0x2016: c = QChar(0x2225); break; // ‖ double vertical line
        case 0x2212: c = QChar(0xFF0D); break; // − minus sign
        case 0x2014: c = QChar(0x2015); break; // — em dash
        case 0x00A2: c = QChar(0xFFE0); break; // ¢
        case 0x00A3: c = QChar(0xFFE1); break; // £
        case 0x00AC: c = QChar(0xFFE2); break; // ¬
        case 0x00A5: c = QChar(0xFFE5); break; // ¥
        case 0x203E: c = QChar(0xFFE3); break; // ‾
        default: break;
        }
    }
    return text;
}

} // namespace Cp932

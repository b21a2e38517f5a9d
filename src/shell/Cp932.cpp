#include "shell/Cp932.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <array>
#include <memory>

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

bool isLeadByte(uchar b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
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

std::optional<QString> decode(QByteArrayView bytes)
{
    DecodeTable &table = decodeTable();
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    const uchar *p = reinterpret_cast<const uchar *>(bytes.data());
    const uchar *const end = p + bytes.size();
    qsizetype n = 0;
    while (p < end) {
        const uchar b = *p;
        char16_t c;
        if (b >= 0x01 && b < 0x80 && b != 0x5C && b != 0x7E) {
            c = b; // plain ASCII, the same in every table
            ++p;
        } else if (isLeadByte(b)) {
            if (p + 1 == end)
                return std::nullopt; // cut off at the end
            const quint16 code = quint16((b << 8) | p[1]);
            c = table.pair[code];
            if (c == kUnknown)
                c = table.pair[code] = askDecoder(QByteArrayView(reinterpret_cast<const char *>(p), 2));
            p += 2;
        } else {
            if (b == 0)
                return std::nullopt; // NUL is no text
            c = table.single[b];
            if (c == kUnknown)
                c = table.single[b] = askDecoder(QByteArrayView(reinterpret_cast<const char *>(p), 1));
            ++p;
        }
        if (c == kInvalid)
            return std::nullopt;
        out[n++] = c;
    }
    text.truncate(n);
    return text;
}

bool encodeAppend(QStringView text, QByteArray &bytes)
{
    std::array<quint32, 65536> &table = encodeTable();
    const qsizetype start = bytes.size();
    bytes.resize(start + text.size() * 2);
    char *out = bytes.data() + start;
    qsizetype n = 0;
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        if (c < 0x80 && c != 0x5C && c != 0x7E && c != 0) {
            out[n++] = char(c);
            continue;
        }
        if (qc.isSurrogate()) {
            bytes.truncate(start);
            return false; // the code page has nothing outside the BMP
        }
        quint32 code = table[c];
        if (code == 0)
            code = table[c] = askEncoder(c);
        if (code == kNoCode) {
            bytes.truncate(start);
            return false;
        }
        if ((code >> 24) == 2)
            out[n++] = char((code >> 8) & 0xFF);
        out[n++] = char(code & 0xFF);
    }
    bytes.truncate(start + n);
    return true;
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
    return encode(text).has_value();
}

QString foldJisTwins(QString text)
{
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

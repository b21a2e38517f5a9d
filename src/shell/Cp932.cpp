#include "shell/Cp932.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace Cp932 {

static constexpr const char *kName = "windows-31j";

bool available()
{
    return QStringDecoder(kName).isValid() && QStringEncoder(kName).isValid();
}

std::optional<QString> decode(QByteArrayView bytes)
{
    if (bytes.contains('\0'))
        return std::nullopt;
    QStringDecoder decoder(kName, QStringConverter::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

std::optional<QByteArray> encode(QStringView text)
{
    QStringEncoder encoder(kName, QStringConverter::Flag::Stateless);
    QByteArray bytes = encoder(text);
    if (encoder.hasError())
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

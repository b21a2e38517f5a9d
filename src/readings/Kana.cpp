#include "readings/Kana.h"

#include "shell/BasCommn.h"

#include <algorithm>

namespace {

constexpr char16_t HalfKanaFirst = 0xFF61; // ｡
constexpr char16_t HalfKanaLast = 0xFF9F;  // ﾟ
constexpr char16_t LongVowelMark = 0x30FC; // ー
constexpr char16_t MiddleDot = 0x30FB;     // ・

bool isHalfWidthKana(char16_t c)
{
    return c >= HalfKanaFirst && c <= HalfKanaLast;
}

// Katakana with a hiragana twin sixty code points below: ァ … ヶ and the
// iteration marks ヽ ヾ. ヷ … ヺ have no hiragana form and stay katakana.
char16_t hiraganaOf(char16_t c)
{
    if ((c >= 0x30A1 && c <= 0x30F6) || c == 0x30FD || c == 0x30FE)
        return char16_t(c - 0x60);
    return c;
}

} // namespace

QString toStoredReading(QStringView text)
{
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const char16_t c = text[i].unicode();
        if (isHalfWidthKana(c)) {
            // NFKC gives the full-width katakana and joins a base kana with a
            // following ﾞ or ﾟ into one voiced kana (ｶﾞ → ガ).
            qsizetype j = i + 1;
            while (j < text.size() && isHalfWidthKana(text[j].unicode()))
                ++j;
            const QString wide = text.mid(i, j - i).toString().normalized(QString::NormalizationForm_KC);
            for (QChar w : wide)
                out.append(QChar(hiraganaOf(w.unicode())));
            i = j;
        } else {
            out.append(QChar(hiraganaOf(c)));
            ++i;
        }
    }
    return out;
}

QString toStoredReading(const QString &text)
{
    // Most readings come stored already, in full-width hiragana: shared
    // then, not built again.
    const bool changes = std::any_of(text.cbegin(), text.cend(), [](QChar c) {
        return isHalfWidthKana(c.unicode()) || hiraganaOf(c.unicode()) != c.unicode();
    });
    return changes ? toStoredReading(QStringView(text)) : text;
}

bool isKanaChar(QChar ch)
{
    const char16_t c = ch.unicode();
    return (c >= 0x3041 && c <= 0x3096)       // hiragana
        || (c >= 0x3099 && c <= 0x309F)       // voiced-sound marks, ゝ ゞ ゟ
        || (c >= 0x30A1 && c <= 0x30FA)       // katakana
        || (c >= 0x30FC && c <= 0x30FF)       // ー ヽ ヾ ヿ
        || (c >= 0xFF66 && c <= 0xFF9F);      // half-width katakana, ｰ, ﾞ ﾟ
}

bool isKanaReading(QStringView text)
{
    bool anyKana = false;
    for (QChar c : text) {
        if (isKanaChar(c))
            anyKana = true;
        else if (!isBlank(c) && c.unicode() != MiddleDot && c.unicode() != 0xFF65)
            return false;
    }
    return anyKana;
}

GojuonRow gojuonRow(QStringView reading)
{
    qsizetype i = 0;
    while (i < reading.size() && isBlank(reading[i]))
        ++i;
    if (i == reading.size())
        return GojuonRow::Other;
    // Two characters, so that a half-width kana and its voiced mark fold
    // as one.
    const QString folded = toStoredReading(reading.mid(i, 2));
    const char16_t c = folded[0].unicode();
    if (c >= 0x3041 && c <= 0x304A) return GojuonRow::A;   // ぁ … お
    if (c >= 0x304B && c <= 0x3054) return GojuonRow::Ka;  // か … ご
    if (c >= 0x3055 && c <= 0x305E) return GojuonRow::Sa;  // さ … ぞ
    if (c >= 0x305F && c <= 0x3069) return GojuonRow::Ta;  // た … ど, っ
    if (c >= 0x306A && c <= 0x306E) return GojuonRow::Na;  // な … の
    if (c >= 0x306F && c <= 0x307D) return GojuonRow::Ha;  // は … ぽ
    if (c >= 0x307E && c <= 0x3082) return GojuonRow::Ma;  // ま … も
    if (c >= 0x3083 && c <= 0x3088) return GojuonRow::Ya;  // ゃ … よ
    if (c >= 0x3089 && c <= 0x308D) return GojuonRow::Ra;  // ら … ろ
    if (c >= 0x308E && c <= 0x3093) return GojuonRow::Wa;  // ゎ わ ゐ ゑ を ん
    if (c == 0x3094) return GojuonRow::A;                  // ゔ
    if (c == 0x3095 || c == 0x3096) return GojuonRow::Ka;  // ゕ ゖ
    if (c >= 0x30F7 && c <= 0x30FA) return GojuonRow::Wa;  // ヷ ヸ ヹ ヺ
    return GojuonRow::Other;
}

QString gojuonRowHeading(GojuonRow row)
{
    switch (row) {
    case GojuonRow::A: return QStringLiteral("あ行");
    case GojuonRow::Ka: return QStringLiteral("か行");
    case GojuonRow::Sa: return QStringLiteral("さ行");
    case GojuonRow::Ta: return QStringLiteral("た行");
    case GojuonRow::Na: return QStringLiteral("な行");
    case GojuonRow::Ha: return QStringLiteral("は行");
    case GojuonRow::Ma: return QStringLiteral("ま行");
    case GojuonRow::Ya: return QStringLiteral("や行");
    case GojuonRow::Ra: return QStringLiteral("ら行");
    case GojuonRow::Wa: return QStringLiteral("わ行");
    case GojuonRow::Other: break;
    }
    return QStringLiteral("その他");
}

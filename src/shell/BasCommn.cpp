#include "shell/BasCommn.h"

#include <array>

QString CurrentFormName;

static bool isBlank(QChar c) { return c == HalfBlank || c == FullBlank; }

QString trimBlanks(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin).toString();
}

QString BlankToSpace(const QString &value)
{
    return trimBlanks(value).isEmpty() ? QStringLiteral(" ") : value;
}

static constexpr std::array<int, 20> kFieldMax = {
    11, 18, 44, 20, 20, 30, 11, 100, 11, 22, 18, 44, 11, 44, 44, 44, 15, 11, 15, 33};

int fieldMaxLength(int fieldIndex)
{
    if (fieldIndex < 0 || fieldIndex >= int(kFieldMax.size()))
        return -1;
    return kFieldMax[std::size_t(fieldIndex)];
}

bool FieldTooLong(int fieldIndex, qsizetype length)
{
    const int max = fieldMaxLength(fieldIndex);
    return max >= 0 && length > max;
}

// Characters that NFKC leaves alone and that fold by a fixed offset; text made
// only of these skips the (slow) normalisation, which keeps a search step
// over 10000 rows within a frame.
static bool foldsWithoutNormalising(char16_t c)
{
    return c < 0x80 || (c >= 0xFF01 && c <= 0xFF5E) || (c >= 0x3041 && c <= 0x3096)
        || (c >= 0x30A1 && c <= 0x30FA) || c == 0x30FC || (c >= 0x4E00 && c <= 0x9FFF)
        || (c >= 0x3001 && c <= 0x3005);
}

static char16_t foldSimple(char16_t c)
{
    if (c >= 0xFF01 && c <= 0xFF5E)
        c = char16_t(c - 0xFEE0);
    if (c >= u'A' && c <= u'Z')
        return char16_t(c + 0x20);
    if (c >= 0x3041 && c <= 0x3096)
        return char16_t(c + 0x60);
    return c;
}

QString foldForSearch(QStringView text)
{
    QString out;
    out.reserve(text.size());
    bool simple = true;
    for (QChar qc : text) {
        const char16_t c = qc.unicode();
        if (c == HalfBlank || c == FullBlank)
            continue;
        simple = simple && foldsWithoutNormalising(c);
        out.append(QChar(foldSimple(c)));
    }
    if (simple)
        return out;

    // Half-width kana, compatibility forms and the rest of Unicode: NFKC,
    // then hiragana to katakana, then full case folding.
    QString norm = out.normalized(QString::NormalizationForm_KC);
    for (QChar &qc : norm) {
        const char16_t c = qc.unicode();
        if (c >= 0x3041 && c <= 0x3096)
            qc = QChar(char16_t(c + 0x60));
    }
    norm = norm.toCaseFolded();
    // Qt folds one character to one; full folding also turns ß into ss.
    norm.replace(QChar(0x00DF), QStringLiteral("ss"));
    norm.removeIf([](QChar c) { return c == HalfBlank || c == FullBlank; });
    return norm;
}

bool foldedContains(QStringView text, QStringView foldedSought)
{
    const QString folded = foldForSearch(text);
    if (folded.isEmpty())
        return false;
    return folded.contains(foldedSought);
}

bool TextContains(QStringView text, QStringView sought)
{
    return foldedContains(text, foldForSearch(sought));
}

QString errorDescription(int number)
{
    switch (number) {
    case 5: return QStringLiteral("プロシージャの呼び出し、または引数が不正です");
    case 7: return QStringLiteral("メモリが不足しています");
    case 52: return QStringLiteral("ファイル名または番号が不正です");
    case 53: return QStringLiteral("ファイルが見つかりません");
    case 57: return QStringLiteral("デバイス I/O エラーです");
    case 58: return QStringLiteral("同じ名前のファイルが既にあります");
    case 61: return QStringLiteral("ディスクの空き容量が足りません");
    case 62: return QStringLiteral("ファイルの終わりを越えて読み込もうとしました");
    case 70: return QStringLiteral("書き込みまたは読み込みの許可がありません");
    case 75: return QStringLiteral("パス名またはファイルにアクセスできません");
    case 76: return QStringLiteral("パスが見つかりません");
    case 1001: return QStringLiteral("ファイルに Shift_JIS として読めないバイトがあります");
    case 1002: return QStringLiteral("Shift_JIS で保存できない文字があります");
    case 1003: return QStringLiteral("ファイルに長すぎる行があります");
    case 1004: return QStringLiteral("Shift_JIS の変換機能がありません");
    default: return QStringLiteral("予期しないエラーです");
    }
}

QString errorReportText(const QString &routineName, int number)
{
    // The error number is a 16-bit value; a larger one is shown as it is.
    return QStringLiteral("プログラム名\u3000\u3000(") + trimBlanks(CurrentFormName) + u')'
        + QStringLiteral("\r\nルーチン名\u3000\u3000\u3000(") + trimBlanks(routineName) + u')'
        + QStringLiteral("\r\nエラー内容  \u3000\u3000(") + QString::number(number) + u' '
        + errorDescription(number) + u')'
        + QStringLiteral("\r\nエラーが発生しました。内容を確認後、システム管理者に連絡して下さい");
}

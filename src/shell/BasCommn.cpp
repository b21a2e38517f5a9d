#include "shell/BasCommn.h"

#include <algorithm>
#include <array>
#include <atomic>

QString CurrentFormName;


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

QString trimBlanks(const QString &text)
{
    const bool blankAtAnEnd = !text.isEmpty() && (isBlank(text.front()) || isBlank(text.back()));
    return blankAtAnEnd ? trimBlanks(QStringView(text)) : text;
}

QString trimBlanks(QString &&text)
{
    // Looked at through a view: the non-const front() would detach.
    const QStringView view(text);
    const bool blankAtAnEnd = !view.isEmpty() && (isBlank(view.front()) || isBlank(view.back()));
    return blankAtAnEnd ? trimBlanks(view) : std::move(text);
}

bool isBlankOnly(QStringView text)
{
    return std::all_of(text.begin(), text.end(), isBlank);
}

QString BlankToSpace(const QString &value)
{
    return isBlankOnly(value) ? QStringLiteral(" ") : value;
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

// Half-width kana, compatibility forms and the rest of Unicode: NFKC, then
// hiragana to katakana, then full case folding, blanks removed.
static QString foldByNormalising(const QString &piece)
{
    QString norm = piece.normalized(QString::NormalizationForm_KC);
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

namespace {

// The fold of each character on its own, worked out once when it is first
// met: a search step over 10000 rows then costs a table look-up a character.
// A character folds on its own when it and its fold are single starters
// that nothing before them combines with; the rest (voiced sound marks,
// accents, jamo, characters that fold to several) are normalised in their
// run, together with the character before it.
constexpr char16_t kUnknown = 0;
constexpr char16_t kSkip = FoldsToNothing;
constexpr char16_t kNormalise = FoldsInItsRun;

bool combinesWithNeighbours(char16_t c)
{
    return (c >= 0x0900 && c <= 0x1CFF)      // Indic and South-East Asian scripts
        || (c >= 0x1100 && c <= 0x11FF)      // Hangul jamo
        || (c >= 0x3130 && c <= 0x318F)      // Hangul compatibility jamo
        || (c >= 0xA960 && c <= 0xA97F) || (c >= 0xD7B0 && c <= 0xD7FF)
        || (c >= 0xFFA0 && c <= 0xFFDC);     // half-width Hangul
}

char16_t foldOfOne(char16_t c)
{
    if (isBlank(c))
        return kSkip;
    const QChar qc(c);
    if (qc.isSurrogate() || c == kSkip || c == kNormalise || qc.combiningClass() != 0 || combinesWithNeighbours(c))
        return kNormalise;
    const QString folded = foldByNormalising(QString(qc));
    if (folded.size() != 1)
        return kNormalise;
    const QChar f = folded[0];
    if (f.combiningClass() != 0 || combinesWithNeighbours(f.unicode()) || f.unicode() == kSkip
        || f.unicode() == kNormalise || f.unicode() == kUnknown)
        return kNormalise;
    return f.unicode();
}

// Zero until the character is first met (static storage starts zeroed).
char16_t foldTable[65536];

// Threads may fold at once (the command line's query reads the list in two
// halves): an entry is read and filled in whole, and any two threads that
// fill it fill in the same answer.
inline char16_t foldOf(char16_t c)
{
    std::atomic_ref<char16_t> entry(foldTable[c]);
    char16_t fold = entry.load(std::memory_order_relaxed);
    if (fold == kUnknown) [[unlikely]] {
        fold = foldOfOne(c);
        entry.store(fold, std::memory_order_relaxed);
    }
    return fold;
}

} // namespace

char16_t foldOfCharacter(char16_t c)
{
    return foldOf(c);
}

QString foldForSearch(QStringView text)
{
    const qsizetype n = text.size();
    QString out(n, Qt::Uninitialized);
    char16_t *p = reinterpret_cast<char16_t *>(out.data());
    qsizetype used = 0;
    qsizetype i = 0;
    while (i < n) {
        const char16_t c = text[i].unicode();
        const char16_t f = c == 0 ? c : foldOf(c);
        if (f == kSkip) {
            ++i;
        } else if (f != kNormalise) {
            p[used++] = f;
            ++i;
        } else {
            qsizetype j = i + 1;
            while (j < n && text[j].unicode() != 0 && foldOf(text[j].unicode()) == kNormalise)
                ++j;
            QString piece;
            if (used > 0)
                piece.append(QChar(p[--used]));
            piece.append(text.mid(i, j - i));
            const QString folded = foldByNormalising(piece);
            // A run may fold to more characters than it had.
            const qsizetype need = used + folded.size() + (n - j);
            if (need > out.size()) {
                out.resize(need);
                p = reinterpret_cast<char16_t *>(out.data());
            }
            std::copy(folded.cbegin(), folded.cend(), reinterpret_cast<QChar *>(p + used));
            used += folded.size();
            i = j;
        }
    }
    out.truncate(used);
    return out;
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
    case 381: return QStringLiteral("プロパティ配列のインデックスが不正です");
    case 1001: return QStringLiteral("ファイルに Shift_JIS として読めないバイトがあります");
    case 1002: return QStringLiteral("Shift_JIS で保存できない文字があります");
    case 1003: return QStringLiteral("ファイルに長すぎる行があります");
    case 1004: return QStringLiteral("Shift_JIS の変換機能がありません");
    case 1005: return QStringLiteral("データファイルが通常のファイルではありません（フォルダ、FIFO、デバイスなど）");
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

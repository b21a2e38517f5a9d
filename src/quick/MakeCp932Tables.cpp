// Writes Cp932Tables.cpp: each code page 932 code's character and fold,
// the folds of the characters that fold to several or with the character
// before them, and the code of each character, as the program decodes and
// folds them (ICU's mapping through Qt, the search's folding). Run at build
// time, so that the quick query holds exactly the program's answers without
// loading Qt. Usage: tessaline_make_cp932_tables OUTPUT
#include "quick/Cp932Tables.h"
#include "shell/BasCommn.h"
#include "shell/Cp932.h"

#include <QMap>
#include <QSaveFile>

#include <cstdio>

namespace {

using namespace Cp932Tables;

struct Code {
    unsigned short code;
    int bytes;
    char16_t character;
};

char16_t characterOf(QByteArrayView bytes)
{
    const std::optional<QString> text = Cp932::decode(bytes);
    if (!text || text->size() != 1 || text->front().unicode() == 0)
        return kNoCharacter;
    return text->front().unicode();
}

char16_t foldOf(char16_t character)
{
    return character == kNoCharacter ? kFoldsInItsRun : foldOfCharacter(character);
}

QByteArray number(uint n)
{
    return "0x" + QByteArray::number(n, 16);
}

QByteArray characters(const QString &text)
{
    QByteArray out = "{";
    for (const QChar c : text)
        out += number(c.unicode()) + ',';
    return out + '}';
}

void writeTable(QByteArray &out, const char *name, const QList<char16_t> &values)
{
    out += "const char16_t ";
    out += name;
    out += "[] = {";
    for (qsizetype i = 0; i < values.size(); ++i) {
        out += i % 16 == 0 ? "\n    " : " ";
        out += number(values[i]) + ',';
    }
    out += "\n};\n";
}

struct Expanded {
    QString alone;
    QMap<char16_t, QString> after; // by the fold before it
};

// How a character that the search folds in its run folds after each
// character that folds on its own, or nothing when that takes more than
// the fold alone and a fold for each fold before it.
std::optional<Expanded> expansionOf(const Code &c, const QList<Code> &codes)
{
    const QString character(QChar(c.character));
    Expanded e{foldForSearch(character), {}};
    if (e.alone.isEmpty() || e.alone.size() > 2 * c.bytes || e.alone.size() > 4)
        return std::nullopt;
    QMap<char16_t, QString> foldsAfter;
    for (const Code &before : codes) {
        const char16_t f = foldOf(before.character);
        if (f == kFoldsInItsRun)
            continue; // two in a run are left to the general way
        const QString both = foldForSearch(QString(QChar(before.character)) + character);
        if (f == kFoldsToNothing) {
            if (both != e.alone)
                return std::nullopt;
            continue;
        }
        const auto known = foldsAfter.constFind(f);
        if (known != foldsAfter.constEnd() && *known != both)
            return std::nullopt;
        foldsAfter.insert(f, both);
    }
    for (auto i = foldsAfter.constBegin(); i != foldsAfter.constEnd(); ++i) {
        if (*i == QChar(i.key()) + e.alone)
            continue;
        if (i->size() > 1 + 2 * c.bytes || i->size() > 5)
            return std::nullopt;
        e.after.insert(i.key(), *i);
    }
    return e;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2 || !Cp932::available()) {
        std::fprintf(stderr, "usage: %s OUTPUT (needs Qt's code page 932 converter)\n", argv[0]);
        return 2;
    }
    QList<Code> codes;
    QList<char16_t> singleCharacters, doubleCharacters(kDoubleByteCodes, kNoCharacter);
    for (int b = 0; b < 256; ++b) {
        const char byte = char(b);
        singleCharacters << characterOf(QByteArrayView(&byte, 1));
        if (singleCharacters.back() != kNoCharacter)
            codes.append({ushort(b), 1, singleCharacters.back()});
    }
    for (int lead = 0; lead < 256; ++lead) {
        if (!isLeadByte(uchar(lead)))
            continue;
        for (int second = 0; second < 256; ++second) {
            const char pair[] = {char(lead), char(second)};
            const char16_t character = characterOf(QByteArrayView(pair, 2));
            doubleCharacters[doubleByteIndex(uchar(lead), uchar(second))] = character;
            if (character != kNoCharacter)
                codes.append({ushort(lead * 256 + second), 2, character});
        }
    }

    QList<char16_t> singleFolds(256, kFoldsInItsRun), doubleFolds(kDoubleByteCodes, kFoldsInItsRun);
    QByteArray expansions, after;
    int expansionCount = 0, afterCount = 0;
    for (const Code &c : codes) {
        char16_t fold = foldOf(c.character);
        if (fold == kExpands) {
            std::fprintf(stderr, "%s: U+%04X folds to the expansion mark\n", argv[0], unsigned(c.character));
            return 1;
        }
        if (fold == kFoldsInItsRun) {
            if (const std::optional<Expanded> e = expansionOf(c, codes)) {
                fold = kExpands;
                expansions += "    {" + number(c.code) + ", " + QByteArray::number(e->alone.size()) + ", "
                    + characters(e->alone) + ", " + QByteArray::number(afterCount) + ", "
                    + QByteArray::number(e->after.size()) + "},\n";
                ++expansionCount;
                for (auto i = e->after.constBegin(); i != e->after.constEnd(); ++i, ++afterCount)
                    after += "    {" + number(i.key()) + ", " + QByteArray::number(i->size()) + ", "
                        + characters(*i) + "},\n";
            }
        }
        (c.bytes == 1 ? singleFolds[c.code] : doubleFolds[doubleByteIndex(uchar(c.code >> 8), uchar(c.code))]) = fold;
    }

    QMap<char16_t, ushort> byCharacter;
    for (const Code &c : codes)
        if (!byCharacter.contains(c.character))
            byCharacter.insert(c.character, c.code);
    QByteArray codesByCharacter;
    for (auto i = byCharacter.constBegin(); i != byCharacter.constEnd(); ++i)
        codesByCharacter += "    {" + number(i.key()) + ", " + number(i.value()) + "},\n";

    QByteArray out = "// Made by MakeCp932Tables at build time; not to be edited.\n"
                     "#include \"quick/Cp932Tables.h\"\n\nnamespace Cp932Tables {\n\n";
    writeTable(out, "singleByteCharacters", singleCharacters);
    writeTable(out, "doubleByteCharacters", doubleCharacters);
    writeTable(out, "singleByteFolds", singleFolds);
    writeTable(out, "doubleByteFolds", doubleFolds);
    out += "const Expansion expansions[] = {\n" + expansions + "};\n";
    out += "const int expansionCount = " + QByteArray::number(expansionCount) + ";\n";
    out += "const FoldAfter expansionsAfter[] = {\n" + after + "};\n";
    out += "const CodeOf codesByCharacter[] = {\n" + codesByCharacter + "};\n";
    out += "const int codesByCharacterCount = " + QByteArray::number(byCharacter.size()) + ";\n";
    out += "\n} // namespace Cp932Tables\n";

    QSaveFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::WriteOnly) || file.write(out) != out.size() || !file.commit()) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}

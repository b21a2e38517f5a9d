#pragma once

// Code page 932 as the quick query needs it without Qt: each code's
// character and its search fold, worked out at build time by
// MakeCp932Tables from the same ICU mapping (through Qt) and the same
// folding that the program uses everywhere else.

#include <cstddef>

namespace Cp932Tables {

// The first byte of a two-byte character; the second byte is never a CR
// or LF.
constexpr bool isLeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Two-byte codes are numbered by lead byte (0x81-0x9F, then 0xE0-0xFC)
// and second byte.
constexpr int kDoubleByteCodes = 60 * 256;
constexpr int doubleByteIndex(unsigned char lead, unsigned char second)
{
    return ((lead < 0xE0 ? lead - 0x81 : lead - 0xE0 + 31) << 8) | second;
}

// A code that is no character (U+FFFF never is one of the code page); NUL
// counts as none, as for every reader of the data files.
constexpr char16_t kNoCharacter = 0xFFFF;
// A code's fold as the search folds its character: the character it
// becomes on its own, FoldsToNothing for a blank, Expands for one of the
// characters below, FoldsInItsRun for the rest of those the search folds
// together with their neighbours (and for a code that is no character).
constexpr char16_t kFoldsToNothing = 0xFFFF;
constexpr char16_t kFoldsInItsRun = 0xFFFE;
constexpr char16_t kExpands = 0xFFFD;

extern const char16_t singleByteCharacters[256];
extern const char16_t doubleByteCharacters[kDoubleByteCodes];
extern const char16_t singleByteFolds[256];
extern const char16_t doubleByteFolds[kDoubleByteCodes];

// The characters that fold to several (㈱, ㌢, Ⅷ …) or with the character
// before them (ｶﾞ, ﾊﾟ …), where that character folded on its own: the fold
// alone, and, for the characters before it that it changes, what the two
// fold to. Checked at build time against the search's folding for every
// character of the code page before them. At most two characters a byte.
struct FoldAfter {
    char16_t before;
    unsigned char size;
    char16_t fold[5];
};
struct Expansion {
    unsigned short code; // the byte, or the two bytes as lead * 256 + second
    unsigned char size;
    char16_t fold[4];
    unsigned short firstAfter; // in expansionsAfter, sorted by before
    unsigned short afterCount;
};
extern const Expansion expansions[]; // sorted by code
extern const int expansionCount;
extern const FoldAfter expansionsAfter[];

// Each character of the code page and its code, sorted by character (the
// first code of a character that has two).
struct CodeOf {
    char16_t character;
    unsigned short code;
};
extern const CodeOf codesByCharacter[];
extern const int codesByCharacterCount;

} // namespace Cp932Tables

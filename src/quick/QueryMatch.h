#pragma once

// The mail query's search on the list file's own bytes, shared by the
// command's quick query (before Qt is loaded) and the full one: each code
// page 932 character is folded by a table look-up, and the folded fields
// are searched for the folded text. Whatever needs more than a look-up
// (two characters folded in one run, bytes that are no character) is left
// to the caller.

#include <cstddef>
#include <string_view>

namespace QueryMatch {

// The contact list's lines: a record's line numbers of the fields the
// query looks at (held to the list's own numbers where Qt is at hand).
constexpr int kLinesPerContact = 20;
constexpr int kNameLine = 0;
constexpr int kTel1Line = 1;
constexpr int kMail1Line = 2;
constexpr int kAffiliation1Line = 3;
constexpr int kAffiliation2Line = 4;
constexpr int kReadingLine = 9;
constexpr int kTel2Line = 10;
constexpr int kMail2Line = 11;
constexpr int kFaxLine = 12;
constexpr int kSearchedLines[] = {kNameLine, kReadingLine,      kMail1Line,       kMail2Line,       kTel1Line,
                                  kTel2Line, kFaxLine, kAffiliation1Line, kAffiliation2Line};

// The most characters a byte folds to (㈱ to "(株)", Ⅷ to "viii"), and how
// many foldBytesInto may write past the fold's end.
constexpr size_t kMostFoldedPerByte = 2;
constexpr size_t kFoldOverrun = 8;

// Writes the fold of a value's bytes at out, which has room for
// kMostFoldedPerByte characters a byte and kFoldOverrun more; returns where
// it ends, or nothing when the value has to be folded the general way
// (decoded, then folded: two characters folded in one run, bytes that are
// no character).
char16_t *foldBytesInto(std::string_view field, char16_t *out);

// Whether the folded text holds sought (not empty).
bool holds(std::u16string_view text, std::u16string_view sought);

// Whether every byte of the value is 0x01-0x7F: valid text, each byte the
// ASCII character of its value, which folds to ASCII.
bool allAscii(std::string_view field);

// Writes the code page 932 bytes of a text at out (room for two bytes a
// character); returns how many, or -1 when a character has no code.
ptrdiff_t encodeInto(std::u16string_view text, char *out);

// Writes the characters of a value's bytes at out (room for one a byte);
// returns how many, or -1 when the bytes aren't code page 932 text.
ptrdiff_t decodeInto(std::string_view field, char16_t *out);

enum class RecordMatch { Found, NotFound, GeneralWay };

// Whether contact after contact holds one sought text in a searched field,
// with one work buffer for them all. GeneralWay: a field looked at needs
// more than the look-ups (or isn't text at all); every field is looked at,
// so that such a field is found whether or not the contact matches.
class RecordMatcher {
public:
    // The sought text as the search folds it, not empty; kept, not copied.
    explicit RecordMatcher(std::u16string_view foldedSought);
    ~RecordMatcher();
    RecordMatcher(const RecordMatcher &) = delete;
    RecordMatcher &operator=(const RecordMatcher &) = delete;

    RecordMatch match(const std::string_view (&lines)[kLinesPerContact]);

private:
    std::u16string_view sought_;
    // ASCII bytes fold to ASCII: a value of them holds no other sought text.
    bool soughtIsAscii_ = true;
    char16_t *work_ = nullptr;
    size_t room_ = 0;
};

} // namespace QueryMatch

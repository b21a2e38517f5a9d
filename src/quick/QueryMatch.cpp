#include "quick/QueryMatch.h"

#include "quick/Cp932Tables.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace QueryMatch {

namespace {

using namespace Cp932Tables;

// Whether n bytes from p lie in p's page, so that they can be loaded even
// where the value ends before them.
bool bytesInPage(const void *p, int n)
{
    return (reinterpret_cast<uintptr_t>(p) & 4095) <= uintptr_t(4096 - n);
}

// Writes the fold of an expanding character after the fold so far, from
// start to out; returns where it ends. The characters before it folded on
// their own, as foldBytesInto makes sure.
char16_t *expand(unsigned short code, char16_t *start, char16_t *out)
{
    const Expansion *const e = std::lower_bound(expansions, expansions + expansionCount, code,
                                                [](const Expansion &x, unsigned short c) { return x.code < c; });
    if (out > start) {
        const FoldAfter *const first = expansionsAfter + e->firstAfter;
        const FoldAfter *const last = first + e->afterCount;
        const FoldAfter *const a = std::lower_bound(
            first, last, out[-1], [](const FoldAfter &x, char16_t before) { return x.before < before; });
        if (a != last && a->before == out[-1])
            return std::copy(a->fold, a->fold + a->size, out - 1);
    }
    return std::copy(e->fold, e->fold + e->size, out);
}

} // namespace

char16_t *foldBytesInto(std::string_view field, char16_t *out)
{
    const unsigned char *p = reinterpret_cast<const unsigned char *>(field.data());
    const unsigned char *const end = p + field.size();
    char16_t *const start = out;
    // Whether the last character written came from an expanding character:
    // the search folds two of them together when nothing else stands
    // between them but blanks, which only the general way does.
    bool afterExpansion = false;
    while (p < end) {
#ifdef __SSE2__
        // Mail addresses and phone numbers are mostly printable ASCII,
        // which folds to itself but for capitals (to small letters): eight
        // bytes at a time, of which those up to the first other byte, and
        // up to the value's end, count. The fold never runs more than eight
        // characters ahead of the bytes, so out has the room.
        while ((end - p >= 8 || bytesInPage(p, 8)) && *p < 0x80) {
            const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(p));
            const __m128i printable = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(0x20)),
                                                    _mm_cmplt_epi8(v, _mm_set1_epi8(0x7F)));
            const __m128i capital = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8('A' - 1)),
                                                  _mm_cmplt_epi8(v, _mm_set1_epi8('Z' + 1)));
            const __m128i folded = _mm_add_epi8(v, _mm_and_si128(capital, _mm_set1_epi8(0x20)));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_unpacklo_epi8(folded, _mm_setzero_si128()));
            const int plain = int(std::min<ptrdiff_t>(
                std::countr_one(unsigned(_mm_movemask_epi8(printable)) & 0xFFu), end - p));
            out += plain;
            p += plain;
            afterExpansion = afterExpansion && plain == 0;
            if (plain < 8)
                break;
        }
        if (p == end)
            break;
#endif
        char16_t f;
        unsigned short code;
        if (isLeadByte(*p)) {
            if (end - p < 2)
                return nullptr;
            f = doubleByteFolds[doubleByteIndex(p[0], p[1])];
            code = (p[0] << 8) | p[1];
            p += 2;
        } else {
            f = singleByteFolds[*p];
            code = *p;
            ++p;
        }
        if (f == kFoldsToNothing)
            continue;
        if (f == kFoldsInItsRun || (f == kExpands && afterExpansion))
            return nullptr;
        if (f == kExpands) {
            out = expand(code, start, out);
            afterExpansion = true;
        } else {
            *out++ = f;
            afterExpansion = false;
        }
    }
    return out;
}

// The first character is looked for eight at a time; the rest is compared
// where it is found.
bool holds(std::u16string_view text, std::u16string_view sought)
{
    if (text.size() < sought.size())
        return false;
    const char16_t first = sought.front();
    const std::u16string_view rest(sought.data() + 1, sought.size() - 1);
    const auto restFollows = [&](const char16_t *at) {
        return std::u16string_view(at + 1, rest.size()) == rest;
    };
    const char16_t *p = text.data();
    const char16_t *const lastStart = p + (text.size() - sought.size());
#ifdef __SSE2__
    const __m128i wanted = _mm_set1_epi16(short(first));
    for (; lastStart - p >= 7; p += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        // Two mask bits a character: the lower one of each is kept.
        unsigned hits = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi16(v, wanted))) & 0x5555u;
        for (; hits != 0; hits &= hits - 1)
            if (restFollows(p + std::countr_zero(hits) / 2))
                return true;
    }
#endif
    for (; p <= lastStart; ++p)
        if (*p == first && restFollows(p))
            return true;
    return false;
}

bool allAscii(std::string_view field)
{
    const char *p = field.data();
    const char *const end = p + field.size();
#ifdef __SSE2__
    // Sixteen bytes at a time; the last ones too where they can be loaded.
    for (; p < end && (end - p >= 16 || bytesInPage(p, 16)); p += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const unsigned counted = end - p >= 16 ? 0xFFFFu : (1u << (end - p)) - 1;
        if ((unsigned(_mm_movemask_epi8(_mm_cmpgt_epi8(v, _mm_setzero_si128()))) & counted) != counted)
            return false;
    }
#endif
    return std::all_of(p, end, [](char c) { return c > 0; });
}

ptrdiff_t encodeInto(std::u16string_view text, char *out)
{
    char *const start = out;
    for (const char16_t c : text) {
        const CodeOf *const last = codesByCharacter + codesByCharacterCount;
        const CodeOf *const found = std::lower_bound(codesByCharacter, last, c,
                                                     [](const CodeOf &x, char16_t key) { return x.character < key; });
        if (found == last || found->character != c)
            return -1;
        if (found->code > 0xFF)
            *out++ = char(found->code >> 8);
        *out++ = char(found->code);
    }
    return out - start;
}

ptrdiff_t decodeInto(std::string_view field, char16_t *out)
{
    const unsigned char *p = reinterpret_cast<const unsigned char *>(field.data());
    const unsigned char *const end = p + field.size();
    char16_t *const start = out;
    while (p < end) {
        char16_t c;
        if (isLeadByte(*p)) {
            if (end - p < 2)
                return -1;
            c = doubleByteCharacters[doubleByteIndex(p[0], p[1])];
            p += 2;
        } else {
            c = singleByteCharacters[*p++];
        }
        if (c == kNoCharacter)
            return -1;
        *out++ = c;
    }
    return out - start;
}

RecordMatcher::RecordMatcher(std::u16string_view foldedSought) : sought_(foldedSought)
{
    for (const char16_t c : sought_)
        soughtIsAscii_ = soughtIsAscii_ && c < 0x80;
}

RecordMatcher::~RecordMatcher()
{
    std::free(work_);
}

RecordMatch RecordMatcher::match(const std::string_view (&lines)[kLinesPerContact])
{
    size_t room = std::size(kSearchedLines) + kFoldOverrun;
    for (const int line : kSearchedLines)
        room += kMostFoldedPerByte * lines[line].size();
    if (room_ < room) {
        std::free(work_);
        room_ = 2 * room;
        work_ = static_cast<char16_t *>(std::malloc(room_ * sizeof(char16_t)));
        if (!work_) {
            room_ = 0;
            return RecordMatch::GeneralWay;
        }
    }
    // Each field after a NUL, which the sought text never holds and folding
    // never joins to a neighbour: a hit never spans two fields.
    char16_t *end = work_;
    for (const int line : kSearchedLines) {
        if (soughtIsAscii_ || !allAscii(lines[line])) {
            *end++ = u'\0';
            end = foldBytesInto(lines[line], end);
            if (!end)
                return RecordMatch::GeneralWay;
        }
    }
    return holds(std::u16string_view(work_, size_t(end - work_)), sought_) ? RecordMatch::Found
                                                                             : RecordMatch::NotFound;
}

} // namespace QueryMatch

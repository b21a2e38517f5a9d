#include "quick/LineEnds.h"

#include <bit>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace LineEnds {

// Eight bytes are looked at a time: a byte's mask bit is exact up to the
// first match, which is all that is asked.
ptrdiff_t next(const char *bytes, ptrdiff_t i, ptrdiff_t end)
{
    constexpr uint64_t ones = 0x0101010101010101ull;
    constexpr uint64_t highs = 0x8080808080808080ull;
    const auto zeroBytes = [](uint64_t x) { return (x - ones) & ~x & highs; };
    static_assert(std::endian::native == std::endian::little);
    for (; i + 8 <= end; i += 8) {
        uint64_t w;
        std::memcpy(&w, bytes + i, sizeof w);
        if (const uint64_t found = zeroBytes(w ^ (ones * '\r')) | zeroBytes(w ^ (ones * '\n')))
            return i + std::countr_zero(found) / 8;
    }
    for (; i < end; ++i)
        if (bytes[i] == '\r' || bytes[i] == '\n')
            return i;
    return end;
}

ptrdiff_t nextWide(const char *bytes, ptrdiff_t i, ptrdiff_t end)
{
#ifdef __SSE2__
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    for (; i + 16 <= end; i += 16) {
        // The file comes from the page cache, not from the processor's:
        // asking early for what lies ahead hides most of the wait.
        __builtin_prefetch(bytes + i + 2048);
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + i));
        const int found = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
        if (found)
            return i + std::countr_zero(unsigned(found));
    }
#endif
    return next(bytes, i, end);
}

// How many lines end in bytes [from, to): at each LF, and at each CR that
// no LF follows (size bounds the look at the byte after).
static ptrdiff_t countLineEnds(const char *bytes, ptrdiff_t from, ptrdiff_t to, ptrdiff_t size)
{
    ptrdiff_t count = 0;
    ptrdiff_t i = from;
#ifdef __SSE2__
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    // Each byte lane counts its line ends (a match is -1) for up to 255
    // blocks, then the lanes are summed.
    while (i + 16 <= to && i + 17 <= size) {
        __m128i lanes = _mm_setzero_si128();
        for (int block = 0; block < 255 && i + 16 <= to && i + 17 <= size; ++block, i += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + i));
            const __m128i after = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + i + 1));
            const __m128i ends = _mm_or_si128(_mm_cmpeq_epi8(v, lf),
                                              _mm_andnot_si128(_mm_cmpeq_epi8(after, lf), _mm_cmpeq_epi8(v, cr)));
            lanes = _mm_sub_epi8(lanes, ends);
        }
        const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
        count += _mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4);
    }
#endif
    for (; i < to; ++i)
        count += bytes[i] == '\n' || (bytes[i] == '\r' && !(i + 1 < size && bytes[i + 1] == '\n'));
    return count;
}

ptrdiff_t recordStartFrom(const char *bytes, ptrdiff_t pos, ptrdiff_t end, int linesPerRecord)
{
    for (ptrdiff_t lines = countLineEnds(bytes, 0, pos, end); lines % linesPerRecord != 0; ++lines) {
        const ptrdiff_t lineEnd = nextWide(bytes, pos, end);
        if (lineEnd == end)
            return end;
        pos = after(bytes, lineEnd, end);
    }
    return pos;
}

// The CR and LF bits of the 64 bytes at p.
static uint64_t lineEndBits(const char *p)
{
    uint64_t bits = 0;
#ifdef __SSE2__
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    for (int k = 0; k < 4; ++k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * k));
        const unsigned found = unsigned(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf))));
        bits |= uint64_t(found) << (16 * k);
    }
#else
    for (int k = 0; k < 64; ++k)
        bits |= uint64_t(p[k] == '\r' || p[k] == '\n') << k;
#endif
    return bits;
}

ptrdiff_t Cursor::lineEndFrom(const char *bytes, ptrdiff_t pos, ptrdiff_t end)
{
    ptrdiff_t from = pos;
    if (pos - chunk_ < 64) {
        chunkEnds_ &= ~0ull << (pos - chunk_);
        if (chunkEnds_ != 0)
            return chunk_ + std::countr_zero(chunkEnds_);
        from = chunk_ + 64;
    }
    for (; end - from >= 64; from += 64) {
        __builtin_prefetch(bytes + from + 2048); // see nextWide
        if (const uint64_t ends = lineEndBits(bytes + from)) {
            chunk_ = from;
            chunkEnds_ = ends;
            return from + std::countr_zero(ends);
        }
    }
    chunk_ = pos - 64;
    return next(bytes, from, end);
}

} // namespace LineEnds

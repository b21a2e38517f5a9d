#include "cli/MailQuery.h"

#include "interchange/FieldMap.h"
#include "shell/AppError.h"
#include "shell/BasCommn.h"
#include "shell/Cp932.h"
#include "shell/RecordFile.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string_view>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// The affiliations are searched apart (see affiliations_).
constexpr int kSearchedFields[] = {NameField,           ReadingField, FieldMap::Mail1Field,
                                   FieldMap::Mail2Field, Tel1Field,    Tel2Field,
                                   FieldMap::FaxField};
constexpr int kAffiliationFields[] = {FieldMap::Affiliation1Field, FieldMap::Affiliation2Field};
constexpr size_t kFieldsLookedAt = std::size(kSearchedFields) + std::size(kAffiliationFields);

// The fold of each code page 932 character, looked up by its bytes: one
// look-up a character instead of decoding and then folding. Zero until the
// character is first met (static storage starts zeroed); bytes that are no
// character, like characters folded in their run, take the general way,
// which decodes the value and so reports them.
char16_t singleByteFolds[256];
char16_t doubleByteFolds[65536];

char16_t foldOfCode(const uchar *bytes, qsizetype size)
{
    const std::optional<QString> text = Cp932::decode(QByteArrayView(bytes, size));
    if (!text || text->size() != 1 || text->front().unicode() == 0)
        return FoldsInItsRun;
    return foldOfCharacter(text->front().unicode());
}

// The fold in a table entry, filled in when first met. The two halves of
// the list are folded by two threads at once: an entry is read and filled
// in whole, and both fill in the same answer.
char16_t knownFold(char16_t &tableEntry, const uchar *bytes, qsizetype size)
{
    std::atomic_ref<char16_t> entry(tableEntry);
    char16_t fold = entry.load(std::memory_order_relaxed);
    if (fold == 0) [[unlikely]] {
        fold = foldOfCode(bytes, size);
        entry.store(fold, std::memory_order_relaxed);
    }
    return fold;
}

// Characters foldBytesInto may write past the fold's end.
constexpr size_t kFoldOverrun = 8;

// Whether n bytes from p lie in p's page, so that they can be loaded even
// where the value ends before them.
bool bytesInPage(const void *p, int n)
{
    return (reinterpret_cast<uintptr_t>(p) & 4095) <= uintptr_t(4096 - n);
}

// Writes the fold of a value's bytes at out, which has room for one
// character a byte and kFoldOverrun more; returns where it ends, or nothing
// when the value has to be folded the general way.
char16_t *foldBytesInto(QByteArrayView field, char16_t *out)
{
    const uchar *p = reinterpret_cast<const uchar *>(field.data());
    const uchar *const end = p + field.size();
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
            if (plain < 8)
                break;
        }
        if (p == end)
            break;
#endif
        char16_t f;
        if (Cp932::isLeadByte(*p)) {
            if (end - p < 2)
                return nullptr;
            f = knownFold(doubleByteFolds[(*p << 8) | p[1]], p, 2);
            p += 2;
        } else {
            f = knownFold(singleByteFolds[*p], p, 1);
            ++p;
        }
        if (f == FoldsInItsRun)
            return nullptr;
        *out = f;
        out += f != FoldsToNothing;
    }
    return out;
}

// Whether the folded text holds sought (not empty). The first character is
// looked for eight at a time; the rest is compared where it is found.
bool holds(std::u16string_view text, std::u16string_view sought)
{
    if (text.size() < sought.size())
        return false;
    const char16_t first = sought.front();
    const std::u16string_view rest = sought.substr(1);
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

// Whether every byte of the value is 0x01-0x7F: valid text, each byte the
// ASCII character of its value.
bool allAscii(QByteArrayView field)
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

QString decoded(QByteArrayView field)
{
    std::optional<QString> text = Cp932::decode(field);
    if (!text)
        throw AppError{ErrNo::BadBytes};
    return *std::move(text);
}

bool isBlankOrBreak(QChar c)
{
    return isBlank(c) || c == u'\t' || c == u'\r' || c == u'\n';
}

// A value as one column: tabs and line breaks become blanks, and blanks at
// the ends go.
void appendColumn(QString &out, QStringView value)
{
    while (!value.isEmpty() && isBlankOrBreak(value.front()))
        value = value.mid(1);
    while (!value.isEmpty() && isBlankOrBreak(value.back()))
        value.chop(1);
    const qsizetype from = out.size();
    out.append(value);
    QChar *const appended = out.data() + from;
    std::replace_if(appended, appended + value.size(),
                    [](QChar c) { return isBlankOrBreak(c) && !isBlank(c); }, QChar(u' '));
}

} // namespace

MailQuery::MailQuery(QStringView sought)
{
    const QString folded = foldForSearch(sought);
    folded_.assign(reinterpret_cast<const char16_t *>(folded.utf16()), size_t(folded.size()));
    soughtIsAscii_ = std::all_of(folded_.begin(), folded_.end(), [](char16_t c) { return c < 0x80; });
}

// The searched fields are folded one after the other into searched_, each
// after a NUL: folding never joins characters across a NUL, and the sought
// text holds none, so a hit never spans two fields. at is where the fold
// goes; returns where it ends. A run folded the general way may take more
// characters than its bytes: searched_ then grows by that, keeping room for
// all of the record's bytes after it.
char16_t *MailQuery::appendFoldOf(QByteArrayView field, char16_t *at, size_t recordRoom)
{
    *at++ = u'\0';
    if (char16_t *const end = foldBytesInto(field, at))
        return end;
    const QString folded = foldForSearch(decoded(field));
    const size_t used = size_t(at - searched_.data());
    if (searched_.size() < used + size_t(folded.size()) + recordRoom) {
        searched_.resize(used + size_t(folded.size()) + recordRoom);
        at = searched_.data() + used;
    }
    return std::copy(folded.utf16(), folded.utf16() + folded.size(), at);
}

bool MailQuery::affiliationContains(QByteArrayView field, char16_t *scratch)
{
    if (!soughtIsAscii_ && allAscii(field))
        return false;
    if (const char16_t *const end = foldBytesInto(field, scratch))
        return holds(std::u16string_view(scratch, size_t(end - scratch)), folded_);
    const auto known = affiliations_.find(field);
    if (known != affiliations_.end())
        return known->second;
    const bool found = foldedContains(decoded(field), QStringView(folded_));
    affiliations_.emplace(field.toByteArray(), found);
    return found;
}

void MailQuery::append(const MailQuery &later)
{
    lines_ += later.lines_;
    addresses_ += later.addresses_;
}

void MailQuery::add(const RecordScanner &record)
{
    if (folded_.empty())
        return;
    // Room for every byte looked at as a character and the NULs between.
    size_t room = kFieldsLookedAt + kFoldOverrun;
    for (const int field : kSearchedFields)
        room += size_t(record.lineBytes(field).size());
    for (const int field : kAffiliationFields)
        room = std::max(room, size_t(record.lineBytes(field).size()) + kFoldOverrun);
    if (searched_.size() < room)
        searched_.resize(2 * room);
    char16_t *end = searched_.data();
    for (const int field : kSearchedFields) {
        // Mail addresses and phone numbers are mostly ASCII: they are
        // checked, not folded, when the sought text isn't.
        const QByteArrayView bytes = record.lineBytes(field);
        if (soughtIsAscii_ || !allAscii(bytes))
            end = appendFoldOf(bytes, end, room);
    }
    const std::u16string_view searched(searched_.data(), size_t(end - searched_.data()));
    bool found = holds(searched, folded_);
    // Every field looked at is read, so that one that isn't text is reported
    // whether or not the contact matches; searched_ is free again for them.
    for (const int field : kAffiliationFields)
        found = affiliationContains(record.lineBytes(field), searched_.data()) || found;
    if (!found)
        return;
    const QString name = decoded(record.lineBytes(NameField));
    const QString reading = decoded(record.lineBytes(ReadingField));
    for (const int mailField : {FieldMap::Mail1Field, FieldMap::Mail2Field}) {
        const qsizetype before = lines_.size();
        appendColumn(lines_, decoded(record.lineBytes(mailField)));
        if (lines_.size() == before)
            continue;
        lines_.append(u'\t');
        appendColumn(lines_, name);
        lines_.append(u'\t');
        appendColumn(lines_, reading);
        lines_.append(u'\n');
        ++addresses_;
    }
}

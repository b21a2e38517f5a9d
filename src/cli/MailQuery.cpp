#include "cli/MailQuery.h"

#include "interchange/FieldMap.h"
#include "quick/Cp932Tables.h"
#include "quick/QueryMatch.h"
#include "shell/AppError.h"
#include "shell/BasCommn.h"
#include "shell/Cp932.h"
#include "shell/RecordFile.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <string_view>

namespace {

using namespace QueryMatch;

static_assert(kLinesPerContact == FieldCount && kNameLine == NameField && kReadingLine == ReadingField
              && kTel1Line == Tel1Field && kTel2Line == Tel2Field && kMail1Line == FieldMap::Mail1Field
              && kMail2Line == FieldMap::Mail2Field && kFaxLine == FieldMap::FaxField
              && kAffiliation1Line == FieldMap::Affiliation1Field
              && kAffiliation2Line == FieldMap::Affiliation2Field);
static_assert(Cp932Tables::kFoldsToNothing == FoldsToNothing && Cp932Tables::kFoldsInItsRun == FoldsInItsRun);

constexpr size_t kFieldsLookedAt = std::size(kSearchedLines) + std::size(kAffiliationLines);

std::string_view bytesOf(QByteArrayView field)
{
    return std::string_view(field.data(), size_t(field.size()));
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
    if (char16_t *const end = foldBytesInto(bytesOf(field), at))
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
    if (!soughtIsAscii_ && allAscii(bytesOf(field)))
        return false;
    if (const char16_t *const end = foldBytesInto(bytesOf(field), scratch))
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
    // Room for the most every byte looked at folds to, and the NULs between.
    size_t room = kFieldsLookedAt + kFoldOverrun;
    for (const int field : kSearchedLines)
        room += kMostFoldedPerByte * size_t(record.lineBytes(field).size());
    for (const int field : kAffiliationLines)
        room = std::max(room, kMostFoldedPerByte * size_t(record.lineBytes(field).size()) + kFoldOverrun);
    if (searched_.size() < room)
        searched_.resize(2 * room);
    char16_t *end = searched_.data();
    for (const int field : kSearchedLines) {
        // Mail addresses and phone numbers are mostly ASCII: they are
        // checked, not folded, when the sought text isn't.
        const QByteArrayView bytes = record.lineBytes(field);
        if (soughtIsAscii_ || !allAscii(bytesOf(bytes)))
            end = appendFoldOf(bytes, end, room);
    }
    const std::u16string_view searched(searched_.data(), size_t(end - searched_.data()));
    bool found = holds(searched, folded_);
    // Every field looked at is read, so that one that isn't text is reported
    // whether or not the contact matches; searched_ is free again for them.
    for (const int field : kAffiliationLines)
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

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
// The same folding, the look-ups' and the general way's.
static_assert(Cp932Tables::kFoldsToNothing == FoldsToNothing && Cp932Tables::kFoldsInItsRun == FoldsInItsRun);

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

static std::u16string foldedText(QStringView sought)
{
    const QString folded = foldForSearch(sought);
    return std::u16string(reinterpret_cast<const char16_t *>(folded.utf16()), size_t(folded.size()));
}

MailQuery::MailQuery(QStringView sought) : folded_(foldedText(sought)), matcher_(folded_)
{
}

// The general way, for a contact with a value that needs more than the
// look-ups: every field searched is decoded (one that isn't text throws
// AppError) and folded as the list's search folds it.
bool MailQuery::holdsTheGeneralWay(const RecordScanner &record) const
{
    bool found = false;
    for (const int line : kSearchedLines)
        found = foldedContains(decoded(record.lineBytes(line)), QStringView(folded_)) || found;
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
    std::string_view lines[kLinesPerContact];
    for (int i = 0; i < kLinesPerContact; ++i)
        lines[i] = bytesOf(record.lineBytes(i));
    const RecordMatch match = matcher_.match(lines);
    if (match == RecordMatch::NotFound || (match == RecordMatch::GeneralWay && !holdsTheGeneralWay(record)))
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

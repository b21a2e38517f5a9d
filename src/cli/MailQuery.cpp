#include "cli/MailQuery.h"

#include "interchange/FieldMap.h"
#include "shell/BasCommn.h"

namespace {

// The affiliations are searched apart (see affiliations_).
constexpr int kSearchedFields[] = {NameField,          ReadingField, FieldMap::Mail1Field,
                                   FieldMap::Mail2Field, Tel1Field,   Tel2Field,
                                   FieldMap::FaxField};
constexpr int kAffiliationFields[] = {FieldMap::Affiliation1Field, FieldMap::Affiliation2Field};

constexpr quint32 searchedMask()
{
    quint32 mask = 0;
    for (const int field : kSearchedFields)
        mask |= 1u << field;
    for (const int field : kAffiliationFields)
        mask |= 1u << field;
    return mask;
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
    for (const QChar c : value)
        out.append(isBlankOrBreak(c) && !isBlank(c) ? QChar(u' ') : c);
}

} // namespace

const quint32 MailQuery::fieldsLookedAt = searchedMask();

MailQuery::MailQuery(QStringView sought) : folded_(foldForSearch(sought)) {}

bool MailQuery::affiliationContains(QStringView value)
{
    if (value.isEmpty())
        return false;
    const auto known = affiliations_.find(value);
    if (known != affiliations_.end())
        return known->second;
    const bool found = foldedContains(value, folded_);
    affiliations_.emplace(value.toString(), found);
    return found;
}

void MailQuery::add(const QList<QStringView> &fields)
{
    if (folded_.isEmpty())
        return;
    // The searched fields are folded together, each after a NUL: folding
    // never joins characters across a NUL, and the sought text holds none,
    // so a hit never spans two fields. One fold a contact instead of nine.
    searched_.clear();
    for (const int field : kSearchedFields) {
        searched_.append(QChar(u'\0'));
        searched_.append(fields[field]);
    }
    if (!foldForSearch(searched_).contains(folded_)
        && !affiliationContains(fields[FieldMap::Affiliation1Field])
        && !affiliationContains(fields[FieldMap::Affiliation2Field]))
        return;
    for (const int mailField : {FieldMap::Mail1Field, FieldMap::Mail2Field}) {
        const qsizetype before = lines_.size();
        appendColumn(lines_, fields[mailField]);
        if (lines_.size() == before)
            continue;
        lines_.append(u'\t');
        appendColumn(lines_, fields[NameField]);
        lines_.append(u'\t');
        appendColumn(lines_, fields[ReadingField]);
        lines_.append(u'\n');
        ++addresses_;
    }
}

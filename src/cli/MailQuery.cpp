#include "cli/MailQuery.h"

#include "interchange/FieldMap.h"
#include "shell/BasCommn.h"

namespace {

constexpr int kSearchedFields[] = {NameField,
                                   ReadingField,
                                   FieldMap::Mail1Field,
                                   FieldMap::Mail2Field,
                                   FieldMap::Affiliation1Field,
                                   FieldMap::Affiliation2Field,
                                   Tel1Field,
                                   Tel2Field,
                                   FieldMap::FaxField};

constexpr quint32 searchedMask()
{
    quint32 mask = 0;
    for (const int field : kSearchedFields)
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
    if (!foldForSearch(searched_).contains(folded_))
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

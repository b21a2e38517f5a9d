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

bool matches(const ContactRecord &r, QStringView folded)
{
    for (const int field : kSearchedFields) {
        if (!r[field].isEmpty() && foldedContains(r[field], folded))
            return true;
    }
    return false;
}

void appendColumn(QString &out, const QString &value)
{
    const QString trimmed = trimBlanks(value);
    for (const QChar c : trimmed)
        out.append(c == u'\t' || c == u'\r' || c == u'\n' ? QChar(u' ') : c);
}

} // namespace

QString mailQueryLines(const QList<ContactRecord> &contacts, QStringView sought, int *addressCount)
{
    const QString folded = foldForSearch(sought);
    QString out;
    int count = 0;
    for (const ContactRecord &r : contacts) {
        if (folded.isEmpty() || !matches(r, folded))
            continue;
        for (const int mailField : {FieldMap::Mail1Field, FieldMap::Mail2Field}) {
            if (trimBlanks(r[mailField]).isEmpty())
                continue;
            appendColumn(out, r[mailField]);
            out.append(u'\t');
            appendColumn(out, r[NameField]);
            out.append(u'\t');
            appendColumn(out, r[ReadingField]);
            out.append(u'\n');
            ++count;
        }
    }
    if (addressCount)
        *addressCount = count;
    return out;
}

#include "editor/ContactUpdate.h"

#include "shell/BasCommn.h"
#include "shell/Cp932.h"

QString cleanValue(const QString &text)
{
    return BlankToSpace(trimBlanks(Cp932::foldJisTwins(text)));
}

int firstTooLongField(const ContactRecord &cleaned)
{
    for (int i = 0; i < FieldCount; ++i)
        if (FieldTooLong(i, cleaned.value(i).size()))
            return i;
    return -1;
}

int firstUnencodableField(const ContactRecord &cleaned)
{
    for (int i = 0; i < FieldCount; ++i)
        if (!Cp932::representable(cleaned.value(i)))
            return i;
    return -1;
}

// The update writes names and readings with half-width blanks only.
static ContactRecord withHalfBlanks(ContactRecord record)
{
    // Only a record that holds a full-width blank is copied.
    for (const int field : {NameField, ReadingField})
        if (record.at(field).contains(FullBlank))
            record[field].replace(FullBlank, HalfBlank);
    return record;
}

QList<ContactRecord> mergeEdited(const QList<ContactRecord> &list, const ContactRecord &edited,
                                 const QString &oldKey)
{
    const QString newKey = recordKey(edited);
    const QString newReading = sortForm(edited[ReadingField]);
    const QString newName = sortForm(edited[NameField]);

    QList<ContactRecord> out;
    out.reserve(list.size() + 1);
    const qsizetype n = list.size();
    qsizetype j = 0;
    bool pending = true;
    auto writeUnlessOld = [&](const ContactRecord &r) {
        if (!hasKey(r, oldKey))
            out.append(withHalfBlanks(r));
    };
    while (j < n) {
        const ContactRecord &r = list[j];
        if (!pending) {
            writeUnlessOld(r);
            ++j;
            continue;
        }
        if (hasKey(r, newKey)) {
            out.append(withHalfBlanks(edited));
            pending = false;
            ++j;
            continue;
        }
        const int byReading = compareSortForms(r[ReadingField], newReading);
        const bool sortsAfter = byReading > 0 || (byReading == 0 && compareSortForms(r[NameField], newName) > 0);
        if (sortsAfter) {
            // r is taken again as a record that comes after the edited one.
            out.append(withHalfBlanks(edited));
            pending = false;
            continue;
        }
        writeUnlessOld(r);
        ++j;
    }
    if (pending)
        out.append(withHalfBlanks(edited));
    return out;
}

QList<ContactRecord> withoutContact(const QList<ContactRecord> &list, const QString &oldKey)
{
    QList<ContactRecord> out;
    out.reserve(list.size());
    for (const ContactRecord &r : list)
        if (!hasKey(r, oldKey))
            out.append(r);
    return out;
}

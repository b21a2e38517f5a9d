#include "contacts/ContactRecord.h"

#include "shell/BasCommn.h"

ContactRecord WorkRecord = emptyContact();

ContactRecord emptyContact()
{
    ContactRecord record;
    record.reserve(FieldCount);
    for (int i = 0; i < FieldCount; ++i)
        record.append(QString());
    return record;
}

void Pf_WorkClear()
{
    WorkRecord = emptyContact();
}

QString recordKey(const QString &reading, const QString &name)
{
    // Every blank of either width goes, wherever it stands.
    QString key;
    key.reserve(reading.size() + name.size());
    for (const QString *part : {&reading, &name})
        for (QChar c : *part)
            if (c != HalfBlank && c != FullBlank)
                key.append(c);
    return key;
}

QString recordKey(const ContactRecord &record)
{
    return recordKey(record.value(ReadingField), record.value(NameField));
}

QString sortForm(const QString &text)
{
    // Each pair of half-width blanks, taken from the left, becomes one
    // full-width blank, then each remaining half-width blank does; blanks at
    // the ends go.
    if (!text.contains(HalfBlank))
        return trimBlanks(text);
    QString form;
    form.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == HalfBlank) {
            form.append(FullBlank);
            if (i + 1 < text.size() && text[i + 1] == HalfBlank)
                ++i;
        } else {
            form.append(text[i]);
        }
    }
    return trimBlanks(form);
}

int compareOrdinal(const QString &a, const QString &b)
{
    return QString::compare(a, b, Qt::CaseSensitive);
}

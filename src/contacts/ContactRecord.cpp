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
    QString key = reading + name;
    key.remove(FullBlank);
    key = trimBlanks(key);
    key.remove(HalfBlank);
    return trimBlanks(key);
}

QString recordKey(const ContactRecord &record)
{
    return recordKey(record.value(ReadingField), record.value(NameField));
}

QString sortForm(const QString &text)
{
    QString form = text;
    form.replace(QStringLiteral("  "), QString(FullBlank));
    form = trimBlanks(form);
    form.replace(HalfBlank, FullBlank);
    return trimBlanks(form);
}

int compareOrdinal(const QString &a, const QString &b)
{
    return QString::compare(a, b, Qt::CaseSensitive);
}

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

bool hasKey(const ContactRecord &record, QStringView key)
{
    qsizetype k = 0;
    for (const int field : {ReadingField, NameField}) {
        if (field >= record.size())
            continue;
        for (const QChar c : record[field]) {
            if (c == HalfBlank || c == FullBlank)
                continue;
            if (k == key.size() || key[k] != c)
                return false;
            ++k;
        }
    }
    return k == key.size();
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

namespace {
bool isBlank(QChar c)
{
    return c == HalfBlank || c == FullBlank;
}

// The characters of sortForm(text) one at a time: the blanks at the ends
// skipped, each pair of half-width blanks and each one left over read as one
// full-width blank.
class SortFormReader {
public:
    explicit SortFormReader(QStringView text) : text_(text), end_(text.size())
    {
        while (at_ < end_ && isBlank(text_[at_]))
            ++at_;
        while (end_ > at_ && isBlank(text_[end_ - 1]))
            --end_;
    }
    bool atEnd() const { return at_ == end_; }
    char16_t next()
    {
        if (text_[at_] != HalfBlank)
            return text_[at_++].unicode();
        at_ += at_ + 1 < end_ && text_[at_ + 1] == HalfBlank ? 2 : 1;
        return FullBlank.unicode();
    }

private:
    QStringView text_;
    qsizetype at_ = 0;
    qsizetype end_;
};
} // namespace

int compareSortForm(QStringView text, QStringView form)
{
    SortFormReader reader(text);
    for (const QChar f : form) {
        if (reader.atEnd())
            return -1;
        const char16_t c = reader.next();
        if (c != f.unicode())
            return c < f.unicode() ? -1 : 1;
    }
    return reader.atEnd() ? 0 : 1;
}

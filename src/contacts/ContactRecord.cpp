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

namespace {
bool isBlank(QChar c)
{
    return c == HalfBlank || c == FullBlank;
}

// The characters of a record's key one at a time: its reading, then its
// name, without their blanks.
class KeyReader {
public:
    explicit KeyReader(const ContactRecord &record)
        : parts_{field(record, ReadingField), field(record, NameField)}
    {
        skipBlanks();
    }
    bool atEnd() const { return part_ == 2; }
    char16_t next()
    {
        const char16_t c = parts_[part_][at_++].unicode();
        skipBlanks();
        return c;
    }

private:
    static QStringView field(const ContactRecord &record, int i)
    {
        return i < record.size() ? QStringView(record[i]) : QStringView();
    }
    void skipBlanks()
    {
        while (part_ < 2) {
            while (at_ < parts_[part_].size() && isBlank(parts_[part_][at_]))
                ++at_;
            if (at_ < parts_[part_].size())
                return;
            ++part_;
            at_ = 0;
        }
    }
    QStringView parts_[2];
    int part_ = 0;
    qsizetype at_ = 0;
};

// The characters of sortForm(text) one at a time: the blanks at the ends
// skipped, each pair of half-width blanks and each one left over read as one
// full-width blank. A sort form reads as itself.
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

// Compares what two readers read, ordinally.
template <typename A, typename B>
int compareRead(A a, B b)
{
    while (!a.atEnd() && !b.atEnd()) {
        const char16_t x = a.next();
        const char16_t y = b.next();
        if (x != y)
            return x < y ? -1 : 1;
    }
    return int(!a.atEnd()) - int(!b.atEnd());
}

// Reads a text as it stands.
class TextReader {
public:
    explicit TextReader(QStringView text) : text_(text) {}
    bool atEnd() const { return at_ == text_.size(); }
    char16_t next() { return text_[at_++].unicode(); }

private:
    QStringView text_;
    qsizetype at_ = 0;
};
} // namespace

bool hasKey(const ContactRecord &record, QStringView key)
{
    return compareRead(KeyReader(record), TextReader(key)) == 0;
}

bool sameKey(const ContactRecord &a, const ContactRecord &b)
{
    return compareRead(KeyReader(a), KeyReader(b)) == 0;
}

int compareSortForms(QStringView a, QStringView b)
{
    return compareRead(SortFormReader(a), SortFormReader(b));
}

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

const QStringList &fieldCaptions()
{
    static const QStringList captions = {
        QStringLiteral("氏名"),     QStringLiteral("TEL1"),       QStringLiteral("MAIL1"),
        QStringLiteral("所属先1"),  QStringLiteral("所属先2"),    QStringLiteral("住所"),
        QStringLiteral("最寄駅"),   QStringLiteral("アピール文"), QStringLiteral("役職"),
        QStringLiteral("氏名ふりがな"), QStringLiteral("TEL2"),   QStringLiteral("MAIL2"),
        QStringLiteral("FAX"),      QStringLiteral("URL"),        QStringLiteral("顔写真"),
        QStringLiteral("地図"),     QStringLiteral("イベント名"), QStringLiteral("日付"),
        QStringLiteral("場所"),     QStringLiteral("コメント")};
    return captions;
}

void Pf_WorkClear()
{
    WorkRecord = emptyContact();
}

namespace {

// The characters of a key one at a time: the reading, then the name, without
// any blank of either width, wherever it stands.
class KeyReader {
public:
    KeyReader(QStringView reading, QStringView name)
        : parts_{reading, name}
    {
        skipBlanks();
    }
    explicit KeyReader(const ContactRecord &record)
        : KeyReader(field(record, ReadingField), field(record, NameField))
    {
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

// The characters of a sort form one at a time: the blanks at the ends
// skipped, each pair of half-width blanks taken from the left and each one
// left over read as one full-width blank. A sort form reads as itself.
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

// The text a reader reads, written straight into its buffer (this makes a
// key or a sort form of every contact imported). room is what the reader
// reads at most: keys and sort forms only drop or merge blanks.
template <typename Reader>
QString readAll(Reader reader, qsizetype room)
{
    QString text(room, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    qsizetype n = 0;
    while (!reader.atEnd()) {
        if (n == text.size()) [[unlikely]] {
            text.resize(2 * n + 8);
            out = reinterpret_cast<char16_t *>(text.data());
        }
        out[n++] = reader.next();
    }
    text.truncate(n);
    return text;
}

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

} // namespace

QString recordKey(const QString &reading, const QString &name)
{
    return readAll(KeyReader(reading, name), reading.size() + name.size());
}

QString recordKey(const ContactRecord &record)
{
    return recordKey(record.value(ReadingField), record.value(NameField));
}

QString sortForm(const QString &text)
{
    // Without a half-width blank, the form is the trimmed text, shared when
    // nothing is trimmed.
    if (!text.contains(HalfBlank))
        return trimBlanks(text);
    return readAll(SortFormReader(text), text.size());
}

int compareOrdinal(const QString &a, const QString &b)
{
    return QString::compare(a, b, Qt::CaseSensitive);
}

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

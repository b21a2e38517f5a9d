#include "contacts/ImportMerge.h"

namespace {

// The comparison strings of one record, worked out once when the merge
// reaches it.
struct Forms {
    QString key;
    QString reading;
    QString name;
};

Forms formsOf(const ContactRecord &record)
{
    return {recordKey(record), sortForm(record.value(ReadingField)), sortForm(record.value(NameField))};
}

// One side of the merge: its records and the forms of the one at its position.
class Side {
public:
    explicit Side(const QList<ContactRecord> &records)
        : records_(records)
    {
        if (!done())
            forms_ = formsOf(records_[pos_]);
    }
    bool done() const { return pos_ == records_.size(); }
    const ContactRecord &record() const { return records_[pos_]; }
    const Forms &forms() const { return forms_; }
    void advance()
    {
        ++pos_;
        if (!done())
            forms_ = formsOf(records_[pos_]);
    }
    // The records from the position on, which need no comparing.
    QList<ContactRecord> rest() const { return records_.mid(pos_); }

private:
    const QList<ContactRecord> &records_;
    qsizetype pos_ = 0;
    Forms forms_;
};

} // namespace

QList<ContactRecord> mergeImport(const QList<ContactRecord> &listed, const QList<ContactRecord> &received)
{
    QList<ContactRecord> merged;
    merged.reserve(listed.size() + received.size());
    Side l(listed);
    Side r(received);
    while (!l.done() && !r.done()) {
        const Forms &lf = l.forms();
        const Forms &rf = r.forms();
        if (compareOrdinal(lf.key, rf.key) == 0) {
            merged.append(r.record()); // the received record replaces the listed one
            l.advance();
            r.advance();
            continue;
        }
        int order = compareOrdinal(lf.reading, rf.reading);
        if (order == 0)
            order = compareOrdinal(lf.name, rf.name);
        // Equal readings and names mean equal keys, handled above.
        if (order > 0) {
            merged.append(r.record());
            r.advance();
        } else {
            merged.append(l.record());
            l.advance();
        }
    }
    merged.append(l.rest());
    merged.append(r.rest());
    return merged;
}

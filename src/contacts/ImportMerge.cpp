#include "contacts/ImportMerge.h"

QList<ContactRecord> mergeImport(const QList<ContactRecord> &listed, const QList<ContactRecord> &received)
{
    QList<ContactRecord> merged;
    merged.reserve(listed.size() + received.size());
    qsizetype l = 0;
    qsizetype r = 0;
    while (l < listed.size() && r < received.size()) {
        const ContactRecord &lr = listed[l];
        const ContactRecord &rr = received[r];
        if (sameKey(lr, rr)) {
            merged.append(rr); // the received record replaces the listed one
            ++l;
            ++r;
            continue;
        }
        int order = compareSortForms(lr.value(ReadingField), rr.value(ReadingField));
        if (order == 0)
            order = compareSortForms(lr.value(NameField), rr.value(NameField));
        // Equal readings and names mean equal keys, handled above.
        if (order > 0) {
            merged.append(rr);
            ++r;
        } else {
            merged.append(lr);
            ++l;
        }
    }
    merged.append(listed.mid(l));
    merged.append(received.mid(r));
    return merged;
}

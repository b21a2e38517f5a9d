// The import's merge: every received record is written once and in its
// order; a listed record is left out only when a received record with its key
// replaced it; values are kept exactly; the result is in the list's order
// when both inputs were.

#include "FuzzRecords.h"

#include "contacts/ImportMerge.h"

#include <QHash>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider p(data, size);
    const bool sorted = p.ConsumeBool();
    QList<ContactRecord> listed = fuzzList(p, 'L');
    QList<ContactRecord> received = fuzzList(p, 'R');
    if (sorted) {
        sortList(listed);
        sortList(received);
    }

    const QList<ContactRecord> merged = mergeImport(listed, received);

    QHash<QString, ContactRecord> byTag;
    for (const ContactRecord &r : listed + received)
        byTag.insert(r[Tel1Field], r);
    QHash<QString, qsizetype> position;
    for (qsizetype i = 0; i < merged.size(); ++i) {
        const QString tag = merged[i][Tel1Field];
        FUZZ_CHECK(byTag.contains(tag) && byTag.value(tag) == merged[i]); // values kept
        FUZZ_CHECK(!position.contains(tag));                            // written once
        position.insert(tag, i);
    }

    QHash<QString, int> receivedKeys;
    for (const ContactRecord &r : received)
        ++receivedKeys[recordKey(r)];
    qsizetype last = -1;
    for (const ContactRecord &r : received) {
        FUZZ_CHECK(position.contains(r[Tel1Field]));
        FUZZ_CHECK(position.value(r[Tel1Field]) > last); // in received order
        last = position.value(r[Tel1Field]);
    }
    last = -1;
    qsizetype missing = 0;
    for (const ContactRecord &r : listed) {
        if (!position.contains(r[Tel1Field])) {
            FUZZ_CHECK(receivedKeys.value(recordKey(r)) > 0); // only a replacement removes
            ++missing;
            continue;
        }
        FUZZ_CHECK(position.value(r[Tel1Field]) > last); // in listed order
        last = position.value(r[Tel1Field]);
    }
    FUZZ_CHECK(missing <= received.size());
    FUZZ_CHECK(merged.size() == listed.size() + received.size() - missing);

    if (sorted && keysSortAlike(listed + received))
        FUZZ_CHECK(isOrdered(merged));
    return 0;
}

// The editor's rewrites of the list. The update writes the edited contact
// exactly once, leaves out every record with the old key and at most one
// other record (the first with the new key, which the edited contact
// replaces), keeps the rest in order, and keeps a list in order. The delete
// leaves out exactly the records with the old key.

#include "FuzzRecords.h"

#include "editor/ContactUpdate.h"

#include <QHash>

static ContactRecord halfBlanked(ContactRecord r)
{
    r[NameField].replace(QChar(0x3000), u' ');
    r[ReadingField].replace(QChar(0x3000), u' ');
    return r;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider p(data, size);
    const bool sorted = p.ConsumeBool();
    QList<ContactRecord> list = fuzzList(p, 'L');
    if (sorted)
        sortList(list);

    // The editor cleans what was typed before it saves.
    ContactRecord edited = fuzzRecord(p, QStringLiteral("E"));
    for (QString &value : edited)
        value = cleanValue(value);
    // The contact the editor was opened on: one of the list's, or one gone meanwhile.
    const int opened = p.ConsumeIntegralInRange<int>(0, int(list.size()));
    const QString oldKey = opened < list.size() ? recordKey(list[opened]) : recordKey(fuzzRecord(p, {}));
    const QString newKey = recordKey(edited);

    const QList<ContactRecord> updated = mergeEdited(list, edited, oldKey);

    QHash<QString, qsizetype> position;
    for (qsizetype i = 0; i < updated.size(); ++i) {
        FUZZ_CHECK(!position.contains(updated[i][Tel1Field]));
        position.insert(updated[i][Tel1Field], i);
    }
    FUZZ_CHECK(position.contains(QStringLiteral("E")));
    FUZZ_CHECK(updated[position.value(QStringLiteral("E"))] == halfBlanked(edited));

    qsizetype last = -1;
    int replaced = 0;
    for (const ContactRecord &r : list) {
        const QString key = recordKey(r);
        if (key == oldKey) {
            FUZZ_CHECK(!position.contains(r[Tel1Field]));
            continue;
        }
        if (!position.contains(r[Tel1Field])) {
            FUZZ_CHECK(key == newKey);
            ++replaced;
            continue;
        }
        const qsizetype at = position.value(r[Tel1Field]);
        FUZZ_CHECK(updated[at] == halfBlanked(r));
        FUZZ_CHECK(at > last);
        last = at;
    }
    FUZZ_CHECK(replaced <= 1);

    // The update writes every name and reading with half-width blanks, which
    // may change sort forms; the order holds for a list ordered as written.
    QList<ContactRecord> halfList;
    for (const ContactRecord &r : list)
        halfList.append(halfBlanked(r));
    if (sorted && isOrdered(halfList) && keysSortAlike(halfList + QList<ContactRecord>{halfBlanked(edited)}))
        FUZZ_CHECK(isOrdered(updated));

    QList<ContactRecord> kept;
    for (const ContactRecord &r : list)
        if (recordKey(r) != oldKey)
            kept.append(r);
    FUZZ_CHECK(withoutContact(list, oldKey) == kept);
    return 0;
}

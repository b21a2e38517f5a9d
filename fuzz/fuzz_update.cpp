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
    // Only a contact with a name and a reading passes the editor's checks.
    for (int field : {NameField, ReadingField})
        if (edited[field] == QStringLiteral(" "))
            edited[field] = QStringLiteral("a");
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

    // The update places the edited contact by the sort forms of the values as
    // typed, then writes every name and reading with half-width blanks. Where
    // that changes a sort form (a full-width blank next to another blank:
    // "　　" and " 　" both become one blank), the written order may differ
    // from the order compared; the property holds where it changes none.
    const auto formsKept = [](const ContactRecord &r) {
        const ContactRecord h = halfBlanked(r);
        return sortForm(r[ReadingField]) == sortForm(h[ReadingField]) && sortForm(r[NameField]) == sortForm(h[NameField]);
    };
    bool keptForms = formsKept(edited);
    for (const ContactRecord &r : list)
        keptForms = keptForms && formsKept(r);
    if (sorted && keptForms && keysSortAlike(list + QList<ContactRecord>{edited}))
    {
        if (!isOrdered(updated)) {
            const auto show = [](const QList<ContactRecord> &l) {
                for (const ContactRecord &r : l)
                    std::fprintf(stderr, "  %s [%s|%s]\n", qPrintable(r[Tel1Field]), qPrintable(r[ReadingField]),
                                 qPrintable(r[NameField]));
            };
            std::fprintf(stderr, "list:\n");
            show(list);
            std::fprintf(stderr, "edited [%s|%s], old key [%s]\nresult:\n", qPrintable(edited[ReadingField]),
                         qPrintable(edited[NameField]), qPrintable(oldKey));
            show(updated);
        }
        FUZZ_CHECK(isOrdered(updated));
    }

    QList<ContactRecord> kept;
    for (const ContactRecord &r : list)
        if (recordKey(r) != oldKey)
            kept.append(r);
    FUZZ_CHECK(withoutContact(list, oldKey) == kept);
    return 0;
}

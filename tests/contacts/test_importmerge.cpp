#include "contacts/ImportMerge.h"

#include "support/ScratchData.h"

#include <QRandomGenerator>
#include <QtTest>

#include <map>
#include <string>

namespace {

// A record told apart by its label, which fills every other field.
ContactRecord rec(const QString &label, const QString &reading, const QString &name)
{
    return contact(reading, name, label);
}

QString labelOf(const ContactRecord &record)
{
    return record[Tel1Field].chopped(1); // contact() fills field 1 with label + "1"
}

QStringList labelsOf(const QList<ContactRecord> &records)
{
    QStringList labels;
    for (const ContactRecord &r : records)
        labels.append(labelOf(r));
    return labels;
}

// ---- a slow model of the merge rules, written straight from their wording

std::u16string u16(const QString &s)
{
    return s.toStdU16String();
}

bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\u3000';
}

std::u16string modelTrim(std::u16string s)
{
    while (!s.empty() && isBlank(s.front()))
        s.erase(s.begin());
    while (!s.empty() && isBlank(s.back()))
        s.pop_back();
    return s;
}

std::u16string modelKey(const ContactRecord &r)
{
    std::u16string key;
    for (char16_t c : u16(r[ReadingField] + r[NameField]))
        if (!isBlank(c))
            key += c;
    return key;
}

std::u16string modelSortForm(const QString &text)
{
    const std::u16string s = u16(text);
    std::u16string pairs;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == u' ' && i + 1 < s.size() && s[i + 1] == u' ') {
            pairs += u'\u3000';
            ++i;
        } else {
            pairs += s[i];
        }
    }
    std::u16string singles = modelTrim(pairs);
    for (char16_t &c : singles)
        if (c == u' ')
            c = u'\u3000';
    return modelTrim(singles);
}

// True when the received record goes before the listed one.
bool receivedFirst(const ContactRecord &l, const ContactRecord &r)
{
    const auto lr = modelSortForm(l[ReadingField]), rr = modelSortForm(r[ReadingField]);
    if (lr != rr)
        return lr > rr;
    return modelSortForm(l[NameField]) > modelSortForm(r[NameField]);
}

QList<ContactRecord> modelMerge(const QList<ContactRecord> &l, const QList<ContactRecord> &r)
{
    if (l.isEmpty())
        return r;
    if (r.isEmpty())
        return l;
    QList<ContactRecord> out;
    if (modelKey(l[0]) == modelKey(r[0]))
        out = QList<ContactRecord>{r[0]} + modelMerge(l.mid(1), r.mid(1));
    else if (receivedFirst(l[0], r[0]))
        out = QList<ContactRecord>{r[0]} + modelMerge(l, r.mid(1));
    else
        out = QList<ContactRecord>{l[0]} + modelMerge(l.mid(1), r);
    return out;
}

QString randomText(QRandomGenerator &gen, const QString &alphabet, int maxLength)
{
    QString s;
    const int n = gen.bounded(maxLength + 1);
    for (int i = 0; i < n; ++i)
        s += alphabet[gen.bounded(int(alphabet.size()))];
    return s;
}

void sortAsList(QList<ContactRecord> &records)
{
    std::stable_sort(records.begin(), records.end(), [](const ContactRecord &a, const ContactRecord &b) {
        return receivedFirst(b, a);
    });
}

} // namespace

class TestImportMerge : public QObject {
    Q_OBJECT
private slots:
    void merge_data()
    {
        QTest::addColumn<QList<ContactRecord>>("listed");
        QTest::addColumn<QList<ContactRecord>>("received");
        QTest::addColumn<QStringList>("expected");

        const QString taro = QStringLiteral("山田太郎");
        QTest::newRow("received replaces the listed record with the same key")
            << QList<ContactRecord>{rec("L1", "あおき", "青木"), rec("L2", "やまだ", "山田\u3000太郎")}
            << QList<ContactRecord>{rec("R1", "いとう", "伊藤"), rec("R2", "やまだ", "山田 太郎")}
            << QStringList{"L1", "R1", "R2"};
        QTest::newRow("both empty") << QList<ContactRecord>{} << QList<ContactRecord>{} << QStringList{};
        QTest::newRow("empty list keeps the received order, even unsorted")
            << QList<ContactRecord>{}
            << QList<ContactRecord>{rec("R1", "か", "x"), rec("R2", "あ", "x")}
            << QStringList{"R1", "R2"};
        QTest::newRow("nothing received")
            << QList<ContactRecord>{rec("L1", "あ", "x"), rec("L2", "い", "x")} << QList<ContactRecord>{}
            << QStringList{"L1", "L2"};
        QTest::newRow("interleaved")
            << QList<ContactRecord>{rec("L1", "あ", "x"), rec("L2", "う", "x"), rec("L3", "お", "x")}
            << QList<ContactRecord>{rec("R1", "い", "x"), rec("R2", "え", "x"), rec("R3", "か", "x")}
            << QStringList{"L1", "R1", "L2", "R2", "L3", "R3"};
        for (const QString &name : {QStringLiteral("山田太郎"), QStringLiteral("山田 太郎"),
                                    QStringLiteral("山田太郎 "), QStringLiteral("\u3000山田  太郎\u3000")}) {
            QTest::addRow("name blanks differ: [%s]", qPrintable(name))
                << QList<ContactRecord>{rec("L1", "やまだ", "山田\u3000太郎"), rec("L2", "わたなべ", "渡辺")}
                << QList<ContactRecord>{rec("R1", "やまだ", name)} << QStringList{"R1", "L2"};
        }
        QTest::newRow("equal keys from a different split of reading and name")
            << QList<ContactRecord>{rec("L1", "あい", "う")} << QList<ContactRecord>{rec("R1", "あ", "いう")}
            << QStringList{"R1"};
        QTest::newRow("equal keys, split the other way")
            << QList<ContactRecord>{rec("L1", "あ", "いう")} << QList<ContactRecord>{rec("R1", "あい", "う")}
            << QStringList{"R1"};
        QTest::newRow("two received with one key: the second is added after the first")
            << QList<ContactRecord>{rec("L1", "やまだ", taro), rec("L2", "わたなべ", "渡辺")}
            << QList<ContactRecord>{rec("R1", "やまだ", taro), rec("R2", "やまだ", taro)}
            << QStringList{"R1", "R2", "L2"};
        QTest::newRow("two listed with one key: only the first is replaced")
            << QList<ContactRecord>{rec("L1", "やまだ", taro), rec("L2", "やまだ", taro)}
            << QList<ContactRecord>{rec("R1", "やまだ", taro)} << QStringList{"R1", "L2"};
        // あ is met while the merge waits at さ, so the listed あ stays.
        QTest::newRow("received out of order: replaced only where the two meet")
            << QList<ContactRecord>{rec("L1", "あ", "x"), rec("L2", "か", "x"), rec("L3", "さ", "x")}
            << QList<ContactRecord>{rec("R1", "さ", "x"), rec("R2", "あ", "x")}
            << QStringList{"L1", "L2", "R1", "R2"};
        QTest::newRow("reading decides before the name")
            << QList<ContactRecord>{rec("L1", "い", "あ")} << QList<ContactRecord>{rec("R1", "あ", "ん")}
            << QStringList{"R1", "L1"};
        QTest::newRow("ordinal: upper case before lower, hiragana before katakana")
            << QList<ContactRecord>{rec("L1", "a", "x"), rec("L2", "ア", "x")}
            << QList<ContactRecord>{rec("R1", "B", "x"), rec("R2", "あ", "x")}
            << QStringList{"R1", "L1", "R2", "L2"};
        QTest::newRow("a proper prefix sorts first")
            << QList<ContactRecord>{rec("L1", "あい", "x")} << QList<ContactRecord>{rec("R1", "あ", "x")}
            << QStringList{"R1", "L1"};
        // Raw, the half-width blank (U+0020) sorts before "A"; in the sort
        // form it is a full-width blank (U+3000), which sorts after it.
        QTest::newRow("names compare in their sort form")
            << QList<ContactRecord>{rec("L1", "あ", "AA")} << QList<ContactRecord>{rec("R1", "あ", "A B")}
            << QStringList{"L1", "R1"};
        QTest::newRow("readings compare in their sort form")
            << QList<ContactRecord>{rec("L1", "い", "x")} << QList<ContactRecord>{rec("R1", " か", "x")}
            << QStringList{"L1", "R1"};
    }
    void merge()
    {
        QFETCH(QList<ContactRecord>, listed);
        QFETCH(QList<ContactRecord>, received);
        QFETCH(QStringList, expected);

        const QList<ContactRecord> merged = mergeImport(listed, received);
        QCOMPARE(labelsOf(merged), expected);
        // Each record is written with its values exactly as they came.
        std::map<QString, ContactRecord> byLabel;
        for (const ContactRecord &r : listed + received)
            byLabel[labelOf(r)] = r;
        for (const ContactRecord &r : merged)
            QCOMPARE(r, byLabel[labelOf(r)]);
    }

    // Any lists, sorted or not, with blanks and duplicate keys: the merge
    // does what the model does.
    void agreesWithModelOnRandomLists()
    {
        QRandomGenerator gen(20240611);
        const QString readings = QStringLiteral("あいアaA \u3000");
        const QString names = QStringLiteral("山田A \u3000");
        for (int round = 0; round < 3000; ++round) {
            QList<ContactRecord> lists[2];
            for (int side = 0; side < 2; ++side) {
                const int n = gen.bounded(9);
                for (int k = 0; k < n; ++k)
                    lists[side].append(rec(QStringLiteral("%1%2").arg(side ? 'R' : 'L').arg(k),
                                           randomText(gen, readings, 3), randomText(gen, names, 3)));
                if (round % 4 != 0) // now and then out of order
                    sortAsList(lists[side]);
            }
            const QList<ContactRecord> merged = mergeImport(lists[0], lists[1]);
            const QList<ContactRecord> expected = modelMerge(lists[0], lists[1]);
            if (merged != expected) {
                qWarning() << "listed" << lists[0] << "received" << lists[1];
                QCOMPARE(labelsOf(merged), labelsOf(expected));
            }
        }
    }

    // Ordered lists with unique keys that split one way only: the result is
    // the ordered union in which a received record wins over a listed one.
    void orderedUniqueListsGiveTheOrderedUnion()
    {
        QRandomGenerator gen(7);
        const QString kana = QStringLiteral("あいう");
        const QString letters = QStringLiteral("AB山");
        for (int round = 0; round < 1000; ++round) {
            std::map<std::u16string, ContactRecord> sides[2];
            for (int side = 0; side < 2; ++side) {
                const int n = gen.bounded(12);
                for (int k = 0; k < n; ++k) {
                    QString reading = QString(kana[gen.bounded(3)]) + kana[gen.bounded(3)];
                    QString name = letters[gen.bounded(3)] + randomText(gen, letters, 1);
                    ContactRecord r = rec(QStringLiteral("%1%2").arg(side ? 'R' : 'L').arg(k), reading, name);
                    sides[side][u16(reading + name)] = r;
                }
            }
            QList<ContactRecord> listed, received;
            for (const auto &[key, r] : sides[0])
                listed.append(r);
            for (const auto &[key, r] : sides[1])
                received.append(r);
            std::map<std::u16string, ContactRecord> expected = sides[0];
            for (const auto &[key, r] : sides[1])
                expected[key] = r;
            QList<ContactRecord> union_;
            for (const auto &[key, r] : expected)
                union_.append(r);
            QCOMPARE(labelsOf(mergeImport(listed, received)), labelsOf(union_));
        }
    }
};

QTEST_APPLESS_MAIN(TestImportMerge)
#include "test_importmerge.moc"

#include "ScratchData.h"

#include "editor/ContactUpdate.h"

#include <QRandomGenerator>
#include <QtTest>

// Records are written "reading/name" (blanks as typed) with an optional
// "#tag" that tells records with equal keys apart.
static ContactRecord rec(const QString &spec)
{
    const QStringList parts = spec.split(u'#');
    const QStringList rn = parts[0].split(u'/');
    return contact(rn[0], rn[1], parts.value(1));
}

static QList<ContactRecord> recs(const QStringList &specs)
{
    QList<ContactRecord> out;
    for (const QString &s : specs)
        out.append(rec(s));
    return out;
}

static QStringList specs(const QList<ContactRecord> &records)
{
    QStringList out;
    for (const ContactRecord &r : records) {
        QString s = r[ReadingField] + u'/' + r[NameField];
        if (!r[1].isEmpty())
            s += u'#' + r[1].chopped(1); // contact() fills field 1 with tag + "1"
        out.append(s);
    }
    return out;
}

// The same rules said the other way round: the edited contact goes in front
// of the first record that has its key or sorts after it, replacing the one
// with its key; records with the old key go; names and readings are written
// with half-width blanks.
static QList<ContactRecord> modelMerge(const QList<ContactRecord> &list, const ContactRecord &edited,
                                       const QString &oldKey)
{
    const QString newKey = recordKey(edited);
    const auto sortsAfterEdited = [&](const ContactRecord &r) {
        const int byReading = QString::compare(sortForm(r[ReadingField]), sortForm(edited[ReadingField]));
        if (byReading != 0)
            return byReading > 0;
        return QString::compare(sortForm(r[NameField]), sortForm(edited[NameField])) > 0;
    };
    qsizetype p = 0;
    while (p < list.size() && recordKey(list[p]) != newKey && !sortsAfterEdited(list[p]))
        ++p;
    QList<ContactRecord> out;
    for (qsizetype j = 0; j < p; ++j)
        if (recordKey(list[j]) != oldKey)
            out.append(list[j]);
    out.append(edited);
    const qsizetype rest = (p < list.size() && recordKey(list[p]) == newKey) ? p + 1 : p;
    for (qsizetype j = rest; j < list.size(); ++j)
        if (recordKey(list[j]) != oldKey)
            out.append(list[j]);
    for (ContactRecord &r : out) {
        r[NameField].replace(QChar(0x3000), u' ');
        r[ReadingField].replace(QChar(0x3000), u' ');
    }
    return out;
}

class TestContactUpdate : public QObject {
    Q_OBJECT
private slots:
    void merge_data()
    {
        QTest::addColumn<QStringList>("list");
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QString>("edited");
        QTest::addColumn<QStringList>("expected");
        const QStringList abc = {"あおき/青木", "いとう/伊藤", "うえだ/上田"};
        QTest::newRow("reading moved to the end") << abc << "いとう伊藤" << "えんどう/伊藤#E"
                                                  << QStringList{"あおき/青木", "うえだ/上田", "えんどう/伊藤#E"};
        QTest::newRow("reading moved in front of the opened one")
            << abc << "いとう伊藤" << "あべ/伊藤#E" << QStringList{"あおき/青木", "あべ/伊藤#E", "うえだ/上田"};
        QTest::newRow("reading moved to the start")
            << abc << "うえだ上田" << "あ/上田#E" << QStringList{"あ/上田#E", "あおき/青木", "いとう/伊藤"};
        QTest::newRow("key unchanged: replaced where it stands")
            << abc << "いとう伊藤" << "いとう/伊藤#E" << QStringList{"あおき/青木", "いとう/伊藤#E", "うえだ/上田"};
        QTest::newRow("key unchanged, blanks moved")
            << abc << "いとう伊藤" << "い とう/伊　藤#E"
            << QStringList{"あおき/青木", "い とう/伊 藤#E", "うえだ/上田"};
        QTest::newRow("merged with another contact of the same key")
            << abc << "いとう伊藤" << "うえだ/上田#E" << QStringList{"あおき/青木", "うえだ/上田#E"};
        QTest::newRow("same key through the join of reading and name")
            << QStringList{"あ/a", "やまだ/たろう", "ん/z"} << "あa" << "やま/だたろう#E"
            << QStringList{"やま/だたろう#E", "ん/z"};
        QTest::newRow("two records carry the old key")
            << QStringList{"あ/a", "い/b#1", "い/b#2", "う/c"} << "いb" << "え/b#E"
            << QStringList{"あ/a", "う/c", "え/b#E"};
        QTest::newRow("equal reading, name sorts before the next")
            << QStringList{"か/a", "か/c", "か/e"} << "かe" << "か/d#E" << QStringList{"か/a", "か/c", "か/d#E"};
        QTest::newRow("equal reading, name in front of a greater one")
            << QStringList{"か/a", "か/c", "さ/x"} << "さx" << "か/b#E" << QStringList{"か/a", "か/b#E", "か/c"};
        QTest::newRow("opened contact gone from the file")
            << QStringList{"あ/a", "う/c"} << "いb" << "い/b#E" << QStringList{"あ/a", "い/b#E", "う/c"};
        QTest::newRow("empty list") << QStringList{} << "いb" << "い/b#E" << QStringList{"い/b#E"};
        QTest::newRow("full-width blanks of every name and reading become half-width")
            << QStringList{"やまだ　たろう/山田　太郎", "わ/w"} << "わw" << "わ/w#E"
            << QStringList{"やまだ たろう/山田 太郎", "わ/w#E"};
    }
    void merge()
    {
        QFETCH(QStringList, list);
        QFETCH(QString, opened);
        QFETCH(QString, edited);
        QFETCH(QStringList, expected);
        const QString oldKey = recordKey(opened, QString());
        QCOMPARE(specs(mergeEdited(recs(list), rec(edited), oldKey)), expected);
    }

    void mergeKeepsOtherFieldsAsRead()
    {
        ContactRecord other = contact(QStringLiteral("あ"), QStringLiteral("a"));
        other[7] = QStringLiteral("　全角　の　空白　");
        other[19] = QStringLiteral(" ");
        const QList<ContactRecord> out =
            mergeEdited({other}, contact(QStringLiteral("い"), QStringLiteral("b")), QStringLiteral("いb"));
        QCOMPARE(out.size(), 2);
        QCOMPARE(out[0], other);
    }

    // The rules against their restatement on random lists whose names and
    // readings come from a few letters and blanks, so that keys collide,
    // equal readings occur and old keys appear more than once.
    void mergeMatchesModel()
    {
        const quint32 seed = 20240611;
        QRandomGenerator rng(seed);
        const QStringList readingParts = {"あ", "い", "う", " ", "　", "  "};
        const QStringList nameParts = {"a", "b", " ", "　"};
        const auto text = [&](const QStringList &parts) {
            QString t;
            for (int k = int(rng.bounded(4)); k > 0; --k)
                t += parts[int(rng.bounded(int(parts.size())))];
            return t;
        };
        for (int round = 0; round < 3000; ++round) {
            QList<ContactRecord> list;
            for (int k = int(rng.bounded(10)); k > 0; --k)
                list.append(contact(text(readingParts), text(nameParts), QString::number(list.size())));
            if (rng.bounded(2)) // half of the lists in the order the file keeps
                std::stable_sort(list.begin(), list.end(), [](const ContactRecord &a, const ContactRecord &b) {
                    const int c = QString::compare(sortForm(a[ReadingField]), sortForm(b[ReadingField]));
                    return c != 0 ? c < 0 : QString::compare(sortForm(a[NameField]), sortForm(b[NameField])) < 0;
                });
            const QString oldKey = (!list.isEmpty() && rng.bounded(4) != 0)
                ? recordKey(list[int(rng.bounded(int(list.size())))])
                : recordKey(text(readingParts), text(nameParts));
            const ContactRecord edited = contact(text(readingParts), text(nameParts), QStringLiteral("E"));
            const QList<ContactRecord> got = mergeEdited(list, edited, oldKey);
            const QList<ContactRecord> want = modelMerge(list, edited, oldKey);
            if (got != want)
                QFAIL(qPrintable(QStringLiteral("seed %1 round %2: list [%3] old key %4 edited %5: got [%6], want [%7]")
                                     .arg(seed).arg(round).arg(specs(list).join(u','), oldKey,
                                                                specs({edited}).first(), specs(got).join(u','),
                                                                specs(want).join(u','))));
            int editedCount = 0;
            for (const ContactRecord &r : got)
                editedCount += r[1] == QStringLiteral("E1");
            QCOMPARE(editedCount, 1);
        }
    }

    // The comparisons that the rewrite makes without building texts, against
    // the texts built, on every short text of blanks of both widths and two
    // letters.
    void comparisonsWithoutBuildingMatchBuiltTexts()
    {
        const auto allTexts = [](int longest) {
            QStringList texts{QString()};
            for (qsizetype from = 0; texts.last().size() < longest; ) {
                const qsizetype to = texts.size();
                for (qsizetype i = from; i < to; ++i)
                    for (const QChar c : {u' ', u'\u3000', u'a', u'b'})
                        texts.append(texts[i] + c);
                from = to;
            }
            return texts;
        };
        const auto sign = [](int v) { return (v > 0) - (v < 0); };
        const QStringList texts = allTexts(4);
        for (const QString &a : texts)
            for (const QString &b : texts)
                if (compareSortForms(a, b) != sign(compareOrdinal(sortForm(a), sortForm(b)))
                    || compareSortForms(a, sortForm(b)) != compareSortForms(a, b))
                    QFAIL(qPrintable(QStringLiteral("\"%1\" against \"%2\"").arg(a, b)));
        const QStringList shortTexts = allTexts(2);
        QList<ContactRecord> records;
        for (const QString &reading : shortTexts)
            for (const QString &name : shortTexts)
                records.append(contact(reading, name, {}));
        for (const ContactRecord &a : records) {
            for (const ContactRecord &b : records) {
                const bool same = recordKey(a) == recordKey(b);
                QCOMPARE(sameKey(a, b), same);
                QCOMPARE(hasKey(a, recordKey(b)), same);
            }
        }
    }

    void removes_data()
    {
        QTest::addColumn<QStringList>("list");
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("the one contact") << QStringList{"あ/a", "い/b", "う/c"} << "いb"
                                         << QStringList{"あ/a", "う/c"};
        QTest::newRow("the only contact") << QStringList{"い/b"} << "いb" << QStringList{};
        QTest::newRow("blanks anywhere make the same key")
            << QStringList{"い う/b#1", "いう/ b#2", "い　う/b　#3", "え/x"} << "いうb" << QStringList{"え/x"};
        QTest::newRow("same key through the join of reading and name")
            << QStringList{"やまだ/たろう", "やま/だたろう", "ん/z"} << "やまだたろう" << QStringList{"ん/z"};
        QTest::newRow("no record carries the key")
            << QStringList{"あ/a", "う/c"} << "いb" << QStringList{"あ/a", "う/c"};
        QTest::newRow("full-width blanks of the others stay")
            << QStringList{"あ　あ/山田　太郎", "い/b"} << "いb" << QStringList{"あ　あ/山田　太郎"};
    }
    void removes()
    {
        QFETCH(QStringList, list);
        QFETCH(QString, opened);
        QFETCH(QStringList, expected);
        QCOMPARE(specs(withoutContact(recs(list), opened)), expected);
    }

    void cleanValue_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("saved");
        QTest::newRow("empty") << "" << " ";
        QTest::newRow("half-width blanks") << "   " << " ";
        QTest::newRow("full-width blank") << "\u3000" << " ";
        QTest::newRow("blanks around") << "  abc  " << "abc";
        QTest::newRow("full-width blanks around") << "\u3000山田\u3000" << "山田";
        QTest::newRow("blank inside kept") << "山田\u3000太郎" << "山田\u3000太郎";
        QTest::newRow("wave dash of the input method") << "10〜12時" << "10\uFF5E12時";
        QTest::newRow("minus sign and yen") << "\u2212\u00A5" << "\uFF0D\uFFE5";
    }
    void cleanValue()
    {
        QFETCH(QString, typed);
        QFETCH(QString, saved);
        QCOMPARE(::cleanValue(typed), saved);
    }

    void refusedField_data()
    {
        QTest::addColumn<QList<int>>("fields");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<int>("tooLong");
        QTest::addColumn<int>("unencodable");
        QTest::newRow("name of 11") << QList<int>{0} << QStringList{QString(11, u'あ')} << -1 << -1;
        QTest::newRow("name of 12") << QList<int>{0} << QStringList{QString(12, u'あ')} << 0 << -1;
        QTest::newRow("comment of 33") << QList<int>{19} << QStringList{QString(33, u'x')} << -1 << -1;
        QTest::newRow("comment of 34") << QList<int>{19} << QStringList{QString(34, u'x')} << 19 << -1;
        QTest::newRow("full-width blanks inside count")
            << QList<int>{0} << QStringList{"山田\u3000\u3000\u3000\u3000\u3000\u3000\u3000\u3000太郎"} << 0 << -1;
        QTest::newRow("lowest of several too long")
            << QList<int>{12, 2} << QStringList{QString(12, u'1'), QString(45, u'm')} << 2 << -1;
        QTest::newRow("emoji") << QList<int>{3} << QStringList{"会社\U0001F600"} << -1 << 3;
        QTest::newRow("hangul and a rare kanji")
            << QList<int>{18, 5} << QStringList{"한국", "\U00020BB7野家"} << -1 << 5;
        QTest::newRow("code page 932 extensions") << QList<int>{7} << QStringList{"①～－∥￥"} << -1 << -1;
    }
    void refusedField()
    {
        QFETCH(QList<int>, fields);
        QFETCH(QStringList, values);
        QFETCH(int, tooLong);
        QFETCH(int, unencodable);
        ContactRecord record = emptyContact();
        for (ContactRecord::size_type i = 0; i < record.size(); ++i)
            record[i] = QStringLiteral(" ");
        for (qsizetype k = 0; k < fields.size(); ++k)
            record[fields[k]] = values[k];
        QCOMPARE(firstTooLongField(record), tooLong);
        QCOMPARE(firstUnencodableField(record), unencodable);
    }
};

QTEST_GUILESS_MAIN(TestContactUpdate)
#include "test_contactupdate.moc"

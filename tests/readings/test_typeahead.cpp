#include "readings/TypeAhead.h"

#include <QTest>

namespace {

ContactRecord contact(const QString &name, const QString &reading)
{
    ContactRecord r = emptyContact();
    r[NameField] = name;
    r[ReadingField] = reading;
    return r;
}

const QList<ContactRecord> &list()
{
    static const QList<ContactRecord> records = {
        contact(u"相川 一郎"_qs, u"あいかわ いちろう"_qs),   // 0
        contact(u"加藤 蓮"_qs, u"かとう れん"_qs),           // 1
        contact(u"ｶﾞﾓｳ 健"_qs, u"ｶﾞﾓｳ ｹﾝ"_qs),              // 2 half-width reading
        contact(u"Smith John"_qs, u"すみす じょん"_qs),      // 3
        contact(u"山田 太郎"_qs, u"やまだ　たろう"_qs),      // 4
        contact(u"ＹＡＭＡＧＵＣＨＩ"_qs, u"やまぐち"_qs),   // 5
        contact(u"吉田 優奈"_qs, u"ヨシダ ユウナ"_qs),        // 6 katakana reading
    };
    return records;
}

} // namespace

class TestTypeAhead : public QObject
{
    Q_OBJECT
private slots:
    void match_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("startRow");
        QTest::addColumn<int>("row");
        QTest::newRow("kana prefix of reading") << u"や"_qs << 0 << 4;
        QTest::newRow("longer kana") << u"やまぐ"_qs << 0 << 5;
        QTest::newRow("katakana typed") << u"ヤマダ"_qs << 0 << 4;
        QTest::newRow("hiragana finds katakana reading") << u"よしだ"_qs << 0 << 6;
        QTest::newRow("half-width reading") << u"がも"_qs << 0 << 2;
        QTest::newRow("blank in reading ignored") << u"やまだた"_qs << 0 << 4;
        QTest::newRow("from the start row") << u"や"_qs << 5 << 5;
        QTest::newRow("wraps round") << u"あ"_qs << 3 << 0;
        QTest::newRow("letters match the name") << u"sm"_qs << 0 << 3;
        QTest::newRow("letters fold width and case") << u"yamag"_qs << 0 << 5;
        QTest::newRow("letters never match a reading") << u"su"_qs << 0 << -1;
        QTest::newRow("kanji matches the name") << u"加藤"_qs << 0 << 1;
        QTest::newRow("no match") << u"ん"_qs << 0 << -1;
        QTest::newRow("blank typed") << u"　"_qs << 0 << -1;
        QTest::newRow("start row past the end") << u"あ"_qs << 99 << 0;
    }
    void match()
    {
        QFETCH(QString, typed);
        QFETCH(int, startRow);
        QFETCH(int, row);
        QCOMPARE(typeAheadRow(list(), typed, startRow), row);
    }

    void typedTextAddsUpWithinASecond()
    {
        TypeAheadText t;
        QCOMPARE(t.add(u"や", 5000), u"や"_qs);
        QVERIFY(!t.continued());
        QCOMPARE(t.add(u"ま", 6000), u"やま"_qs);
        QVERIFY(t.continued());
        QCOMPARE(t.add(u"だ", 7001), u"だ"_qs);
        QVERIFY(!t.continued());
    }

    void emptyList()
    {
        QCOMPARE(typeAheadRow(QList<ContactRecord>{}, u"あ", 0), -1);
        QCOMPARE(typeAheadRow(ContactRows{}, u"あ", 0), -1);
    }
};

QTEST_GUILESS_MAIN(TestTypeAhead)
#include "test_typeahead.moc"

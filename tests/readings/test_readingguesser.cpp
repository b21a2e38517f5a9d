#include "readings/ReadingGuesser.h"

#include <QTest>

class TestReadingGuesser : public QObject
{
    Q_OBJECT
private slots:
    void guess_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reading");
        // Common names that the dictionary reads right; docs/readings.md
        // lists the ones it reads otherwise (陽翔, 美桜, 颯太).
        const char16_t *const cases[][2] = {
            {u"佐藤 翔太", u"さとう　しょうた"}, {u"高橋 美咲", u"たかはし　みさき"},
            {u"渡辺 結衣", u"わたなべ　ゆい"}, {u"伊藤 大輔", u"いとう　だいすけ"},
            {u"山本 陽菜", u"やまもと　ひな"}, {u"中村 悠真", u"なかむら　ゆうま"},
            {u"小林 さくら", u"こばやし　さくら"}, {u"加藤 蓮", u"かとう　れん"},
            {u"吉田 優奈", u"よしだ　ゆうな"}, {u"山田 太郎", u"やまだ　たろう"},
            {u"斎藤 健", u"さいとう　けん"}, {u"松本 七海", u"まつもと　ななみ"},
            {u"井上 翼", u"いのうえ　つばさ"}, {u"木村 拓哉", u"きむら　たくや"},
            {u"林 亮", u"はやし　りょう"}, {u"清水 愛", u"しみず　あい"},
            {u"森 葵", u"もり　あおい"}, {u"池田 湊", u"いけだ　みなと"},
            {u"阿部 凛", u"あべ　りん"}, {u"石川 悠人", u"いしかわ　ゆうと"},
            {u"前田 結菜", u"まえだ　ゆいな"}, {u"藤田 大和", u"ふじた　やまと"},
            {u"小川 芽依", u"おがわ　めい"}, {u"岡田 樹", u"おかだ　いつき"},
            {u"長谷川 陸", u"はせがわ　りく"}, {u"村上 杏", u"むらかみ　あん"},
            {u"近藤 蒼", u"こんどう　あおい"},
            // A full-width blank and runs of blanks separate the same way.
            {u"　山田　　太郎 ", u"やまだ　たろう"},
            // Without a blank: one reading, no blank in it.
            {u"山田太郎", u"やまだたろう"},
            // No kanji: kana keep their sounds, katakana becomes hiragana.
            {u"さくら", u"さくら"}, {u"ヤマダ ハナコ", u"やまだ　はなこ"},
            {u"ﾔﾏﾀﾞ ﾊﾅｺ", u"やまだ　はなこ"},
            // Letters: read where the dictionary knows the word, kept otherwise.
            {u"John Smith", u"じょん　すみす"}, {u"山田 Xqzw", u"やまだ　Xqzw"},
        };
        for (const auto &c : cases)
            QTest::newRow(QString::fromUtf16(c[0]).toUtf8().constData()) << QString::fromUtf16(c[0]) << QString::fromUtf16(c[1]);
    }
    void guess()
    {
        QFETCH(QString, name);
        QFETCH(QString, reading);
        static ReadingGuesser guesser;
        const std::optional<QString> guessed = guesser.guess(name);
        QVERIFY2(guessed, qPrintable(guesser.loadError()));
        QCOMPARE(*guessed, reading);
    }

    void blankNameHasNoReading()
    {
        ReadingGuesser guesser;
        QVERIFY(!guesser.guess(u"　 "));
        QVERIFY(!guesser.guess(u""));
    }

    void missingDictionary()
    {
        ReadingGuesser guesser(QStringLiteral("/nonexistent/unidic"));
        // Kana needs no dictionary.
        QCOMPARE(guesser.guess(u"タナカ"), std::optional<QString>(u"たなか"_qs));
        QVERIFY(guesser.loadError().isEmpty());
        QVERIFY(!guesser.guess(u"田中"));
        QVERIFY(guesser.loadError().contains(u"/nonexistent/unidic"));
        QVERIFY(guesser.loadError().contains(u"unidic-mecab"));
    }
};

QTEST_GUILESS_MAIN(TestReadingGuesser)
#include "test_readingguesser.moc"

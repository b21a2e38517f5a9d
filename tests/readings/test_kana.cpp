#include "readings/Kana.h"

#include <QTest>

class TestKana : public QObject
{
    Q_OBJECT
private slots:
    void storedReading_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("stored");
        QTest::newRow("hiragana kept") << u"やまだ　たろう"_qs << u"やまだ　たろう"_qs;
        QTest::newRow("katakana") << u"ヤマダ タロウ"_qs << u"やまだ たろう"_qs;
        QTest::newRow("half-width voiced") << u"ｶﾞｯｺｳ ﾊﾟﾝ"_qs << u"がっこう ぱん"_qs;
        QTest::newRow("half-width long vowel") << u"ｺｰﾋｰ"_qs << u"こーひー"_qs;
        QTest::newRow("vu and small ka") << u"ヴァイオリン ヵ ヶ"_qs << u"ゔぁいおりん ゕ ゖ"_qs;
        QTest::newRow("long vowel mark kept") << u"ルーシー"_qs << u"るーしー"_qs;
        QTest::newRow("iteration marks") << u"ヽヾ"_qs << u"ゝゞ"_qs;
        QTest::newRow("non-kana kept") << u"ＡＢＣ abc 山田 ①"_qs << u"ＡＢＣ abc 山田 ①"_qs;
        QTest::newRow("va has no hiragana") << u"ヷ"_qs << u"ヷ"_qs;
        QTest::newRow("empty") << QString() << QString();
    }
    void storedReading()
    {
        QFETCH(QString, text);
        QFETCH(QString, stored);
        QCOMPARE(toStoredReading(text), stored);
    }

    void kanaReading_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("kana");
        QTest::newRow("hiragana with blank") << u"やまだ たろう"_qs << true;
        QTest::newRow("katakana name with dot") << u"ジョン・スミス"_qs << true;
        QTest::newRow("half-width") << u"ﾔﾏﾀﾞ"_qs << true;
        QTest::newRow("romaji left") << u"やまｄ"_qs << false;
        QTest::newRow("latin") << u"yamada"_qs << false;
        QTest::newRow("kanji") << u"山田"_qs << false;
        QTest::newRow("blank only") << u"　"_qs << false;
        QTest::newRow("empty") << QString() << false;
    }
    void kanaReading()
    {
        QFETCH(QString, text);
        QFETCH(bool, kana);
        QCOMPARE(isKanaReading(text), kana);
    }

    void row_data()
    {
        QTest::addColumn<QString>("reading");
        QTest::addColumn<QString>("heading");
        const char16_t *const cases[][2] = {
            {u"あいかわ", u"あ行"}, {u"おがわ", u"あ行"}, {u"ぁ", u"あ行"}, {u"ゔぃんせんと", u"あ行"},
            {u"かとう", u"か行"}, {u"ごとう", u"か行"}, {u"ガモウ", u"か行"}, {u"ｹﾞﾝ", u"か行"},
            {u"さとう", u"さ行"}, {u"ぞの", u"さ行"}, {u"たなか", u"た行"}, {u"っ", u"た行"},
            {u"どい", u"た行"}, {u"なかむら", u"な行"}, {u"のぐち", u"な行"}, {u"はやし", u"は行"},
            {u"ばば", u"は行"}, {u"ぱく", u"は行"}, {u"ﾎﾟｰﾙ", u"は行"}, {u"まつもと", u"ま行"},
            {u"やまだ", u"や行"}, {u"ゃ", u"や行"}, {u"よしだ", u"や行"}, {u"りん", u"ら行"},
            {u"ろっく", u"ら行"}, {u"わたなべ", u"わ行"}, {u"を", u"わ行"}, {u"ん", u"わ行"},
            {u"　 わだ", u"わ行"}, {u"John", u"その他"}, {u"山田", u"その他"}, {u"ーあ", u"その他"},
            {u"1ばん", u"その他"}, {u"", u"その他"}, {u"　", u"その他"},
        };
        for (const auto &c : cases)
            QTest::newRow(QString::fromUtf16(c[0]).toUtf8().constData()) << QString::fromUtf16(c[0]) << QString::fromUtf16(c[1]);
    }
    void row()
    {
        QFETCH(QString, reading);
        QFETCH(QString, heading);
        QCOMPARE(gojuonRowHeading(gojuonRow(reading)), heading);
    }
};

QTEST_GUILESS_MAIN(TestKana)
#include "test_kana.moc"

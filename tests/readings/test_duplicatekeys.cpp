#include "readings/MailKey.h"
#include "readings/PhoneKey.h"

#include <QTest>

class TestDuplicateKeys : public QObject
{
    Q_OBJECT
private slots:
    void phone_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("key");
        QTest::newRow("mobile with hyphens") << u"090-1234-5678"_qs << u"+819012345678"_qs;
        QTest::newRow("full-width") << u"０９０－１２３４－５６７８"_qs << u"+819012345678"_qs;
        QTest::newRow("international") << u"+81 90 1234 5678"_qs << u"+819012345678"_qs;
        QTest::newRow("Tokyo with brackets") << u"03(1234)5678"_qs << u"+81312345678"_qs;
        QTest::newRow("free dial") << u"0120-123-456"_qs << u"+81120123456"_qs;
        QTest::newRow("other country") << u"+1 650-253-0000"_qs << u"+16502530000"_qs;
        QTest::newRow("too short") << u"12"_qs << QString();
        QTest::newRow("words") << u"なし"_qs << QString();
        QTest::newRow("blank") << u"　"_qs << QString();
        QTest::newRow("empty") << QString() << QString();
    }
    void phone()
    {
        QFETCH(QString, text);
        QFETCH(QString, key);
        QCOMPARE(phoneKey(text), key);
    }

    void mail_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("key");
        QTest::newRow("case and blanks") << u" Taro.Yamada@Example.JP　"_qs << u"taro.yamada@example.jp"_qs;
        QTest::newRow("full-width") << u"ｔａｒｏ＠ｅｘ．ｊｐ"_qs << u"taro@ex.jp"_qs;
        QTest::newRow("blank") << u"　 "_qs << QString();
    }
    void mail()
    {
        QFETCH(QString, text);
        QFETCH(QString, key);
        QCOMPARE(mailKey(text), key);
    }
};

QTEST_GUILESS_MAIN(TestDuplicateKeys)
#include "test_duplicatekeys.moc"

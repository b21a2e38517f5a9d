#include "editor/ReadingAutoFill.h"
#include "readings/ReadingGuesser.h"

#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>

namespace {

void preedit(QLineEdit &box, const QString &text)
{
    QInputMethodEvent e(text, {});
    QCoreApplication::sendEvent(&box, &e);
}

void commit(QLineEdit &box, const QString &text)
{
    QInputMethodEvent e;
    e.setCommitString(text);
    QCoreApplication::sendEvent(&box, &e);
}

} // namespace

class TestReadingAutoFill : public QObject
{
    Q_OBJECT
private slots:
    void typedThroughTheInputMethod()
    {
        QLineEdit name, reading;
        ReadingGuesser guesser;
        ReadingAutoFill fill(&name, &reading, &guesser);
        for (const QString &p : {u"やｍ"_qs, u"やまだ"_qs, u"山田"_qs})
            preedit(name, p);
        commit(name, u"山田"_qs);
        commit(name, u"　"_qs);
        preedit(name, u"たろう"_qs);
        preedit(name, u"太郎"_qs);
        commit(name, u"太郎"_qs);
        QCOMPARE(reading.text(), u"やまだ　たろう"_qs);
        QVERIFY(!reading.hasSelectedText());
    }

    void pastedNameIsGuessedAndSelected()
    {
        QLineEdit name, reading;
        ReadingGuesser guesser;
        ReadingAutoFill fill(&name, &reading, &guesser);
        name.insert(u"佐藤 翔太"_qs);
        QCOMPARE(reading.text(), u"さとう　しょうた"_qs);
        QCOMPARE(reading.selectedText(), reading.text());
        // Another paste replaces the guess; the user's own reading stays.
        name.selectAll();
        name.insert(u"加藤 蓮"_qs);
        QCOMPARE(reading.text(), u"かとう　れん"_qs);
        reading.setText(u"かとう れん"_qs);
        name.selectAll();
        name.insert(u"山田"_qs);
        QCOMPARE(reading.text(), u"かとう れん"_qs);
    }

    void openedContactKeepsItsReading()
    {
        QLineEdit name(u"山田 太郎"_qs), reading(u"やまだ　たろう"_qs);
        ReadingGuesser guesser;
        ReadingAutoFill fill(&name, &reading, &guesser);
        name.end(false);
        preedit(name, u"じ"_qs);
        commit(name, u"次"_qs);
        name.insert(u"郎"_qs);
        QCOMPARE(reading.text(), u"やまだ　たろう"_qs);
    }
};

QTEST_MAIN(TestReadingAutoFill)
#include "test_readingautofill.moc"

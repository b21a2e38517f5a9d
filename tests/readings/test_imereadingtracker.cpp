#include "readings/ImeReadingTracker.h"

#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>

namespace {

// A name box fed the events an input method sends, wired to the tracker
// as the editor wires it: every input method event first, every text change
// after.
class NameBox : public QObject
{
public:
    NameBox()
    {
        edit.installEventFilter(this);
        connect(&edit, &QLineEdit::textChanged, this, [this](const QString &t) { tracker.textChanged(t); });
    }

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::InputMethod) {
            auto *e = static_cast<QInputMethodEvent *>(event);
            tracker.inputMethodEvent(e->preeditString(), e->commitString(), e->replacementLength());
        }
        return false;
    }

    // One step: "p:TEXT" a pre-edit update (empty: cleared), "c:TEXT" a
    // commit, "r:START:LENGTH:TEXT" a commit replacing text around the
    // cursor, "t:TEXT" keys typed without the input method, "b" backspace,
    // "m:N" the cursor moved, "s:TEXT" the whole text pasted over.
    void step(const QString &s)
    {
        const QString arg = s.mid(2);
        switch (s[0].unicode()) {
        case 'p':
        case 'c':
        case 'r': {
            QInputMethodEvent e(s[0] == u'p' ? arg : QString(), {});
            const QStringList f = arg.split(u':');
            if (s[0] == u'c')
                e.setCommitString(arg);
            else if (s[0] == u'r')
                e.setCommitString(f.value(2), f[0].toInt(), f[1].toInt());
            QCoreApplication::sendEvent(&edit, &e);
            break;
        }
        case 't': QTest::keyClicks(&edit, arg); break;
        case 'b': QTest::keyClick(&edit, Qt::Key_Backspace); break;
        case 'm': edit.setCursorPosition(arg.toInt()); break;
        case 's': edit.selectAll(); edit.insert(arg); break;
        }
    }

    QLineEdit edit;
    ImeReadingTracker tracker;
};

const QString None = QStringLiteral("<none>");

} // namespace

class TestImeReadingTracker : public QObject
{
    Q_OBJECT
private slots:
    void sequences_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reading");

        // fcitx5 and ibus send every pre-edit change as an event of its own
        // and the commit as an event with the commit string and an empty
        // pre-edit; mozc and anthy show romaji not yet kana in the pre-edit.
        const QStringList yamada = {u"p:ｙ"_qs, u"p:や"_qs, u"p:やｍ"_qs, u"p:やま"_qs, u"p:やまｄ"_qs, u"p:やまだ"_qs, u"p:山田"_qs, u"c:山田"_qs};
        const QStringList taro = {u"p:ｔ"_qs, u"p:た"_qs, u"p:たｒ"_qs, u"p:たろ"_qs, u"p:たろう"_qs, u"p:太郎"_qs, u"c:太郎"_qs};
        QTest::newRow("two conversions, full-width blank committed") << yamada + QStringList{u"c:　"_qs} + taro << u"山田　太郎"_qs << u"やまだ　たろう"_qs;
        QTest::newRow("two conversions, blank typed") << yamada + QStringList{u"t: "_qs} + taro << u"山田 太郎"_qs << u"やまだ たろう"_qs;
        QTest::newRow("next composition commits the first") << yamada + taro << u"山田太郎"_qs << u"やまだたろう"_qs;
        QTest::newRow("one conversion of the whole name") << QStringList{u"p:やまだたろう"_qs, u"p:山田太郎"_qs, u"c:山田太郎"_qs} << u"山田太郎"_qs << u"やまだたろう"_qs;
        QTest::newRow("pre-edit cleared before the commit") << QStringList{u"p:やまだ"_qs, u"p:山田"_qs, u"p:"_qs, u"c:山田"_qs} << u"山田"_qs << u"やまだ"_qs;
        QTest::newRow("katakana pre-edit") << QStringList{u"p:ヤマダ"_qs, u"p:山田"_qs, u"c:山田"_qs} << u"山田"_qs << u"やまだ"_qs;
        QTest::newRow("half-width katakana pre-edit") << QStringList{u"p:ﾔﾏﾀﾞ"_qs, u"p:山田"_qs, u"c:山田"_qs} << u"山田"_qs << u"やまだ"_qs;
        QTest::newRow("trailing n becomes n") << QStringList{u"p:け"_qs, u"p:けｎ"_qs, u"p:健"_qs, u"c:健"_qs} << u"健"_qs << u"けん"_qs;
        QTest::newRow("kana committed unconverted") << QStringList{u"p:さくら"_qs, u"c:さくら"_qs} << u"さくら"_qs << u"さくら"_qs;
        QTest::newRow("katakana committed") << QStringList{u"p:まりあ"_qs, u"p:マリア"_qs, u"c:マリア"_qs} << u"マリア"_qs << u"まりあ"_qs;
        QTest::newRow("romaji committed as it stood") << QStringList{u"p:やま"_qs, u"p:やまｄ"_qs, u"c:やまｄ"_qs} << u"やまｄ"_qs << None;
        QTest::newRow("romaji only, never kana") << QStringList{u"p:ｙａｍ"_qs, u"p:山"_qs, u"c:山"_qs} << u"山"_qs << None;
        QTest::newRow("cancelled with Escape") << QStringList{u"p:やまだ"_qs, u"p:山田"_qs, u"p:やまだ"_qs, u"p:"_qs} << QString() << QString();
        QTest::newRow("cancel, then another name") << QStringList{u"p:やまだ"_qs, u"p:"_qs, u"p:ｔ"_qs, u"p:たろう"_qs, u"p:太郎"_qs, u"c:太郎"_qs} << u"太郎"_qs << u"たろう"_qs;
        QTest::newRow("cancel, then a blank committed") << QStringList{u"p:やまだ"_qs, u"p:山田"_qs, u"p:"_qs, u"c:　"_qs} << u"　"_qs << u"　"_qs;
        QTest::newRow("cancel, then romaji typed") << QStringList{u"p:やまだ"_qs, u"p:"_qs, u"p:ｔ"_qs, u"p:太"_qs, u"c:太"_qs} << u"太"_qs << None;
        QTest::newRow("partial commit, rest in kana") << QStringList{u"p:やまだたろう"_qs, u"p:山田太郎"_qs, u"c:山田"_qs, u"p:たろう"_qs, u"p:太郎"_qs, u"c:太郎"_qs} << u"山田太郎"_qs << u"やまだたろう"_qs;
        QTest::newRow("partial commit, rest converted") << QStringList{u"p:やまだたろう"_qs, u"p:山田太郎"_qs, u"c:山田"_qs, u"p:太郎"_qs, u"c:太郎"_qs} << u"山田太郎"_qs << None;
        // Reconversion: the input method takes the text back (an empty
        // commit replacing it), shows candidates, commits the choice.
        QTest::newRow("reconversion keeps the reading") << yamada + QStringList{u"r:-2:2:"_qs, u"p:山田"_qs, u"p:山多"_qs, u"c:山多"_qs} << u"山多"_qs << u"やまだ"_qs;
        QTest::newRow("reconversion in one event") << yamada + QStringList{u"r:-2:2:山多"_qs} << u"山多"_qs << u"やまだ"_qs;
        QTest::newRow("reconversion with kana typed anew") << yamada + QStringList{u"r:-2:2:"_qs, u"p:やまた"_qs, u"p:山田"_qs, u"c:山田"_qs} << u"山田"_qs << u"やまた"_qs;
        QTest::newRow("reconversion of the first of two") << yamada + taro + QStringList{u"m:2"_qs, u"r:-2:2:"_qs, u"p:山田"_qs, u"c:八田"_qs} << u"八田太郎"_qs << u"やまだたろう"_qs;
        // Text changes without the input method.
        QTest::newRow("pasted") << QStringList{u"s:山田太郎"_qs} << u"山田太郎"_qs << None;
        QTest::newRow("letters typed") << QStringList{u"t:John"_qs} << u"John"_qs << None;
        QTest::newRow("kana pasted") << QStringList{u"s:ヤマダ"_qs} << u"ヤマダ"_qs << u"やまだ"_qs;
        QTest::newRow("paste over a typed name") << yamada + QStringList{u"s:鈴木"_qs} << u"鈴木"_qs << None;
        QTest::newRow("last character deleted keeps the reading") << yamada + QStringList{u"t: "_qs} + taro + QStringList{u"b"_qs} << u"山田 太"_qs << u"やまだ たろう"_qs;
        QTest::newRow("whole segment deleted") << yamada + QStringList{u"t: "_qs} + taro + QStringList{u"b"_qs, u"b"_qs} << u"山田 "_qs << u"やまだ "_qs;
        QTest::newRow("deleted and typed again") << yamada + QStringList{u"b"_qs, u"b"_qs} + taro << u"太郎"_qs << u"たろう"_qs;
        QTest::newRow("inserted between two") << yamada + taro + QStringList{u"m:2"_qs, u"p:なか"_qs, u"p:中"_qs, u"c:中"_qs} << u"山田中太郎"_qs << u"やまだなかたろう"_qs;
        QTest::newRow("inserted inside one") << yamada + QStringList{u"m:1"_qs, u"p:の"_qs, u"p:乃"_qs, u"c:乃"_qs} << u"山乃田"_qs << u"やまだの"_qs;
    }
    void sequences()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, name);
        QFETCH(QString, reading);
        NameBox box;
        for (const QString &s : steps)
            box.step(s);
        QCOMPARE(box.edit.text(), name);
        QCOMPARE(box.tracker.reading().value_or(None), reading);
    }

    // "f" fills the reading box as the editor will; "u:TEXT" is the user
    // typing the reading box's text.
    void filling_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("readingBox");
        const QString yamada = u"p:やまだ|p:山田|c:山田|f"_qs;
        QTest::newRow("fills across conversions") << yamada + u"|c:　|p:たろう|p:太郎|c:太郎|f"_qs << u"やまだ　たろう"_qs;
        QTest::newRow("a corrected reading survives") << yamada + u"|u:やまた|p:じろう|p:次郎|c:次郎|f|s:鈴木|f"_qs << u"やまた"_qs;
        QTest::newRow("emptied by the user, fills again") << yamada + u"|u:|s:|p:すずき|p:鈴木|c:鈴木|f"_qs << u"すずき"_qs;
        QTest::newRow("follows the name emptied") << yamada + u"|s:|f"_qs << QString();
        QTest::newRow("kana pasted: left to the guess") << u"s:やまだ|f"_qs << QString();
        QTest::newRow("unknown part: left as it was") << yamada + u"|t:John|f"_qs << u"やまだ"_qs;
    }
    void filling()
    {
        QFETCH(QString, steps);
        QFETCH(QString, readingBox);
        NameBox box;
        QString shown;
        for (const QString &s : steps.split(u'|')) {
            if (s == u"f")
                shown = box.tracker.readingToFill(shown).value_or(shown);
            else if (s.startsWith(u"u:"))
                shown = s.mid(2);
            else
                box.step(s);
        }
        QCOMPARE(shown, readingBox);
    }

    void guessCountsAsFilled()
    {
        ImeReadingTracker tracker;
        tracker.reset(u"山田"_qs);
        QVERIFY(!tracker.reading());
        QVERIFY(!tracker.mayFill(u"やまだ"));
        tracker.noteFilled(u"やまだ"_qs);
        QVERIFY(tracker.mayFill(u"やまだ"));
    }
};

QTEST_MAIN(TestImeReadingTracker)
#include "test_imereadingtracker.moc"

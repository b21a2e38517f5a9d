// 氏名ふりがな filling itself in the editor and the own-profile window, fed
// the input method events that fcitx5 and ibus send to the focused name box.

#include "EditorDriver.h"

#include "profile/Form3.h"
#include "profile/Profile.h"

#include <QApplication>
#include <QInputMethodEvent>

namespace {

// Keys typed one character at a time, kana too.
void typeText(QWidget *box, const QString &text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// One step into the focused box, then "|" and the reading box's text after
// it. Steps: "p:TEXT" a pre-edit update (empty: cleared, as Escape clears
// it), "c:TEXT" a commit, "r:START:LENGTH:TEXT" a commit replacing text
// beside the cursor (reconversion), "t:TEXT" keys typed without the input
// method, "s:TEXT" the name pasted over, "b" backspace, "R:TEXT" keys typed
// into the reading box.
void runSteps(QLineEdit *name, QLineEdit *reading, const QStringList &steps)
{
    for (const QString &s : steps) {
        const qsizetype bar = s.lastIndexOf(u'|');
        const QString step = s.left(bar), expected = s.mid(bar + 1), arg = step.mid(2);
        QWidget *focused = QApplication::focusWidget();
        switch (step[0].unicode()) {
        case 'p':
        case 'c':
        case 'r': {
            QCOMPARE(focused, name);
            QInputMethodEvent e(step[0] == u'p' ? arg : QString(), {});
            if (step[0] == u'c')
                e.setCommitString(arg);
            if (step[0] == u'r') {
                const QStringList f = arg.split(u':');
                e.setCommitString(f.value(2), f[0].toInt(), f[1].toInt());
            }
            QCoreApplication::sendEvent(focused, &e);
            break;
        }
        case 't': typeText(name, arg); break;
        case 'b': QTest::keyClick(name, Qt::Key_Backspace); break;
        case 's': name->selectAll(); name->insert(arg); break;
        case 'R':
            reading->setFocus();
            QTest::keyClick(reading, Qt::Key_End);
            typeText(reading, arg);
            name->setFocus();
            break;
        }
        QVERIFY2(reading->text() == expected,
                 qPrintable(step + u" gave "_qs + reading->text() + u", not "_qs + expected));
    }
}

const QStringList yamada = {u"p:ｙ|"_qs, u"p:や|"_qs, u"p:やｍ|"_qs, u"p:やま|"_qs, u"p:やまｄ|"_qs,
                            u"p:やまだ|"_qs, u"p:山田|"_qs, u"c:山田|やまだ"_qs};

} // namespace

class TestEditorReading : public QObject {
    Q_OBJECT
private slots:
    void typedIntoTheEditor_data()
    {
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("name");

        // fcitx5 with mozc: every pre-edit change its own event, romaji
        // showing until it is kana, the commit with an empty pre-edit.
        QTest::newRow("fcitx5: two conversions, blank between")
            << QString() << yamada + QStringList{u"c:　|やまだ　"_qs, u"p:た|やまだ　"_qs, u"p:たろう|やまだ　"_qs,
                                                 u"p:太郎|やまだ　"_qs, u"c:太郎|やまだ　たろう"_qs}
            << u"山田　太郎"_qs;
        // ibus: the commit, then the pre-edit hidden by an empty update.
        QTest::newRow("ibus: commit then empty pre-edit")
            << QString() << QStringList{u"p:さとう|"_qs, u"p:佐藤|"_qs, u"c:佐藤|さとう"_qs, u"p:|さとう"_qs, u"t: |さとう "_qs,
                                        u"p:しょうた|さとう "_qs, u"p:翔太|さとう "_qs, u"c:翔太|さとう しょうた"_qs, u"p:|さとう しょうた"_qs}
            << u"佐藤 翔太"_qs;
        QTest::newRow("conversion cancelled with Escape")
            << QString() << QStringList{u"p:やまだ|"_qs, u"p:山田|"_qs, u"p:やまだ|"_qs, u"p:|"_qs,
                                        u"p:たろう|"_qs, u"p:太郎|"_qs, u"c:太郎|たろう"_qs}
            << u"太郎"_qs;
        QTest::newRow("reconversion keeps the reading")
            << QString() << yamada + QStringList{u"r:-2:2:|やまだ"_qs, u"p:山田|やまだ"_qs, u"p:山多|やまだ"_qs, u"c:山多|やまだ"_qs}
            << u"山多"_qs;
        QTest::newRow("reconversion with kana typed anew")
            << QString() << yamada + QStringList{u"r:-2:2:|やまだ"_qs, u"p:やまた|やまだ"_qs, u"p:山田|やまだ"_qs, u"c:山田|やまた"_qs}
            << u"山田"_qs;
        QTest::newRow("romaji committed: no reading, a guess")
            << QString() << QStringList{u"p:ｙａｍ|"_qs, u"p:山|"_qs, u"c:山|やま"_qs} << u"山"_qs;
        // The user's own reading stays through every later change of 氏名.
        QTest::newRow("typed reading survives")
            << QString() << yamada + QStringList{u"R:x|やまだx"_qs, u"c:　|やまだx"_qs, u"p:たろう|やまだx"_qs, u"c:太郎|やまだx"_qs,
                                                 u"b|やまだx"_qs, u"s:鈴木|やまだx"_qs, u"s:|やまだx"_qs, u"p:さとう|やまだx"_qs, u"c:佐藤|やまだx"_qs}
            << u"佐藤"_qs;
        QTest::newRow("reading typed first survives")
            << QString() << QStringList{u"R:よみ|よみ"_qs, u"p:やまだ|よみ"_qs, u"p:山田|よみ"_qs, u"c:山田|よみ"_qs, u"s:加藤 蓮|よみ"_qs}
            << u"加藤 蓮"_qs;
        // A pasted name is guessed; another paste replaces the guess.
        QTest::newRow("pasted, guessed")
            << QString() << QStringList{u"s:加藤 蓮|かとう　れん"_qs, u"s:山田 太郎|やまだ　たろう"_qs} << u"山田 太郎"_qs;
        // The opened contact's reading is the user's: retyping the name
        // leaves it.
        QTest::newRow("opened contact keeps its reading")
            << u"やまだ"_qs << QStringList{u"s:|やまだ"_qs, u"p:すずき|やまだ"_qs, u"p:鈴木|やまだ"_qs, u"c:鈴木|やまだ"_qs}
            << u"鈴木"_qs;
    }
    void typedIntoTheEditor()
    {
        QFETCH(QString, opened);
        QFETCH(QStringList, steps);
        QFETCH(QString, name);
        EditorSession s({contact(opened, QString())}, 1);
        s.editor->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(s.editor.get()));
        auto *nameBox = child<QLineEdit>(*s.editor, u"TexSelData_0"_qs);
        auto *readingBox = child<QLineEdit>(*s.editor, u"TexSelData_9"_qs);
        nameBox->setFocus();
        runSteps(nameBox, readingBox, steps);
        QCOMPARE(nameBox->text(), name);
    }

    void guessIsSelectedSoTypingReplacesIt()
    {
        EditorSession s({contact(QString(), QString())}, 1);
        s.editor->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(s.editor.get()));
        auto *nameBox = child<QLineEdit>(*s.editor, u"TexSelData_0"_qs);
        auto *readingBox = child<QLineEdit>(*s.editor, u"TexSelData_9"_qs);
        nameBox->setFocus();
        typeText(nameBox, u"林"_qs);
        QCOMPARE(readingBox->text(), u"はやし"_qs);
        QCOMPARE(readingBox->selectedText(), u"はやし"_qs);
        // The focus reaches the box the way Tab brings it, selection kept.
        readingBox->setFocus(Qt::TabFocusReason);
        typeText(readingBox, u"り"_qs);
        QCOMPARE(readingBox->text(), u"り"_qs);
    }

    void ownProfileFillsItsReading()
    {
        ScratchData data;
        MessageLog log;
        QStringList stored(ProfileFieldCount, u" "_qs);
        stored[NameField] = u"山田"_qs; // a loaded name, no reading: nothing is guessed
        data.write(u"myload.txt"_qs, recordBytes({stored}));
        Form3 form;
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        auto *nameBox = child<QLineEdit>(form, u"TexMyData_0"_qs);
        auto *readingBox = child<QLineEdit>(form, u"TexMyData_9"_qs);
        QCOMPARE(nameBox->text(), u"山田"_qs);
        QCOMPARE(readingBox->text().trimmed(), QString());
        readingBox->clear();
        nameBox->setFocus();
        runSteps(nameBox, readingBox, QStringList{u"s:|"_qs} + yamada);
    }
};

QTEST_MAIN(TestEditorReading)
#include "test_editor_reading.moc"

#include "EditorDriver.h"

#include "shell/BasCommn.h"
#include "shell/ErrorBoundary.h"
#include "shell/Twips.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QTimer>

// Runs a step on the modal editor once the list window has opened it, and
// tells whether one was opened. The timer goes with the object, so a step
// that never ran can't fire in a later test.
class WhenEditorOpens {
public:
    explicit WhenEditorOpens(std::function<void(Form2 &)> step)
    {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this, step] {
            auto *editor = qobject_cast<Form2 *>(QApplication::activeModalWidget());
            if (!editor)
                return;
            timer_.stop();
            opened = true;
            step(*editor);
            if (editor->isVisible())
                child<QPushButton>(*editor, QStringLiteral("CmdExit_Click2"))->click();
        });
        timer_.start();
    }
    bool opened = false;

private:
    QTimer timer_;
};

static QList<QStringList> someContacts()
{
    return {contact(QStringLiteral("あおき"), QStringLiteral("青木"), QStringLiteral("a")),
            contact(QStringLiteral("いとう"), QStringLiteral("伊藤"), QStringLiteral("i"))};
}

class TestForm2 : public QObject {
    Q_OBJECT
private slots:
    void loadShowsTheContactTrimmed()
    {
        QStringList record = contact(QStringLiteral("  やまだ\u3000"), QStringLiteral(" 山田\u3000太郎  "));
        record[1] = QStringLiteral(" ");
        record[7] = QStringLiteral("  中に　空白  ");
        EditorSession s({record}, 1);
        QCOMPARE(CurrentFormName, QStringLiteral("Form2"));
        const QStringList boxes = s.boxes();
        QCOMPARE(boxes[0], QStringLiteral("山田\u3000太郎"));
        QCOMPARE(boxes[1], QString());
        QCOMPARE(boxes[7], QStringLiteral("中に　空白"));
        QCOMPARE(boxes[9], QStringLiteral("やまだ"));
        QCOMPARE(s.data.read(QStringLiteral("load.txt")), s.original);
        // The contact is found by its reading and name as they were opened,
        // and replaced (its blanks made half-width), not added.
        s.button(QStringLiteral("CmdUpdate2"))->click();
        QCOMPARE(readingsAndNames(s.fileRecords()), QStringList{QStringLiteral("やまだ/山田 太郎")});
    }

    void layout_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("box");
        QTest::newRow("name") << 0 << "氏名" << QRect(120, 600, 5775, 345);
        QTest::newRow("MAIL1") << 2 << "MAIL1" << QRect(120, 2040, 5775, 345);
        QTest::newRow("reading") << 9 << "氏名ふりがな" << QRect(120, 7080, 5775, 345);
        QTest::newRow("TEL2") << 10 << "TEL2" << QRect(6120, 600, 5775, 345);
        QTest::newRow("MAIL2") << 11 << "MAIL2" << QRect(6120, 1320, 5775, 345);
        QTest::newRow("comment") << 19 << "コメント" << QRect(6120, 7080, 5775, 345);
    }
    void layout()
    {
        QFETCH(int, field);
        QFETCH(QString, caption);
        QFETCH(QRect, box);
        EditorSession s(someContacts(), 1);
        Form2 &e = *s.editor;
        QCOMPARE(e.windowTitle(), QStringLiteral("Tessaline"));
        QCOMPARE(e.size(), QSize(twips(12270), twips(8625)));
        auto *frame = child<QGroupBox>(e, QStringLiteral("Frame1"));
        auto *label = child<QLabel>(e, QStringLiteral("LblName_%1").arg(field));
        QCOMPARE(frame->geometry(), twipsRect(120, 120, 12015, 7575));
        QCOMPARE(s.box(field)->parentWidget(), frame);
        QCOMPARE(s.box(field)->geometry(), twipsRect(box.x(), box.y(), box.width(), box.height()));
        QCOMPARE(label->geometry(), twipsRect(box.x(), box.y() - 360, box.width(), 255));
        QCOMPARE(label->text(), caption);
        QCOMPARE(s.box(field)->accessibleName(), caption);
        const QList<QPair<QPushButton *, QString>> buttons = {{s.button(QStringLiteral("CmdUpdate2")), "更新"},
                                                              {s.button(QStringLiteral("CmdDelete2")), "削除"},
                                                              {s.button(QStringLiteral("CmdExit_Click2")), "戻る"}};
        for (int k = 0; k < 3; ++k) {
            QCOMPARE(buttons[k].first->text(), buttons[k].second);
            QCOMPARE(buttons[k].first->accessibleName(), buttons[k].second);
            QCOMPARE(buttons[k].first->geometry(), twipsRect(8160 + 1320 * k, 7920, 1215, 495));
        }
    }

    void tabOrderAndWholeTextSelected()
    {
        EditorSession s(someContacts(), 1);
        s.editor->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(s.editor.get()));
        QTRY_COMPARE(QApplication::focusWidget(), s.box(0));
        QTRY_COMPARE(s.box(0)->selectedText(), QStringLiteral("青木"));

        QList<QWidget *> expected;
        for (int i = 0; i < FieldCount; ++i)
            expected << s.box(i);
        expected << s.button(QStringLiteral("CmdUpdate2")) << s.button(QStringLiteral("CmdDelete2"))
                 << s.button(QStringLiteral("CmdExit_Click2"));
        for (qsizetype k = 1; k < expected.size(); ++k) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), expected[k]);
            if (k < FieldCount) {
                auto *box = s.box(int(k));
                QTRY_COMPARE(box->selectedText(), box->text());
            }
        }

        // A click into a box selects its whole text too.
        QLineEdit *box = s.box(3);
        QVERIFY(!box->text().isEmpty());
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(2, box->height() / 2));
        QCOMPARE(QApplication::focusWidget(), box);
        QTRY_COMPARE(box->selectedText(), box->text());
    }

    // Ways back that write nothing, even after the boxes were edited.
    void closesWithoutWriting_data()
    {
        QTest::addColumn<int>("key"); // 0: the button "戻る"
        QTest::newRow("戻る") << 0;
        QTest::newRow("Escape") << int(Qt::Key_Escape);
    }
    void closesWithoutWriting()
    {
        QFETCH(int, key);
        EditorSession s(someContacts(), 2);
        s.type(0, QStringLiteral("別人"));
        s.type(9, QStringLiteral("べつじん"));
        if (key == 0)
            s.button(QStringLiteral("CmdExit_Click2"))->click();
        else
            QTest::keyClick(s.box(0), Qt::Key(key));
        QVERIFY(!s.editor->isVisible());
        QCOMPARE(s.data.read(QStringLiteral("load.txt")), s.original);
        QCOMPARE(s.files(), QStringList{"load.txt"});
        QCOMPARE(s.log.texts(), QStringList());
    }

    void enterInABoxSavesNothing()
    {
        EditorSession s(someContacts(), 2);
        s.type(1, QStringLiteral("000"));
        QTest::keyClick(s.box(1), Qt::Key_Return);
        QVERIFY(s.editor->isVisible());
        QCOMPARE(s.data.read(QStringLiteral("load.txt")), s.original);

        // On a button, Enter presses it.
        s.button(QStringLiteral("CmdExit_Click2"))->setFocus();
        QTest::keyClick(s.button(QStringLiteral("CmdExit_Click2")), Qt::Key_Return);
        QVERIFY(!s.editor->isVisible());
    }

    void lockLeavesOnlyBack()
    {
        EditorSession s(someContacts(), 1);
        lockDialog(s.editor.get(), s.button(QStringLiteral("CmdExit_Click2"))); // as an error report leaves it
        QVERIFY(s.locked());
        QVERIFY(s.editor->isEnabled());
        for (int i = 0; i < FieldCount; ++i)
            QVERIFY(child<QLabel>(*s.editor, QStringLiteral("LblName_%1").arg(i))->isEnabled());
        QVERIFY(child<QGroupBox>(*s.editor, QStringLiteral("Frame1"))->isEnabled());
        QTest::mouseClick(s.button(QStringLiteral("CmdUpdate2")), Qt::LeftButton);
        QVERIFY(s.editor->isVisible());
        QTest::mouseClick(s.button(QStringLiteral("CmdExit_Click2")), Qt::LeftButton);
        QVERIFY(!s.editor->isVisible());
    }

    // The list window's "更新画面": which contact the editor gets, or the
    // message when there is none.
    void opensFromTheList_data()
    {
        QTest::addColumn<QList<QStringList>>("records");
        QTest::addColumn<int>("row"); // -1: as loaded, before any click
        QTest::addColumn<QString>("openedName");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("the selected row") << someContacts() << 1 << "青木" << QStringList();
        QTest::newRow("right after the load: the last row") << someContacts() << -1 << "伊藤" << QStringList();
        QStringList telNamed = contact(QStringLiteral("てる"), QStringLiteral("照"));
        telNamed[Tel1Field] = QStringLiteral("TEL1");
        telNamed[Tel2Field] = QStringLiteral("TEL2");
        QTest::newRow("a contact whose telephone reads TEL1") << QList<QStringList>{telNamed} << 1 << "照" << QStringList();
        QTest::newRow("no data rows") << QList<QStringList>{} << -1 << QString()
                                      << QStringList{"更新できるデータがありません"};
    }
    void opensFromTheList()
    {
        QFETCH(QList<QStringList>, records);
        QFETCH(int, row);
        QFETCH(QString, openedName);
        QFETCH(QStringList, messages);
        ScratchData data;
        MessageLog log;
        data.write(QStringLiteral("load.txt"), recordBytes(records));
        Form1 list;
        if (!records.isEmpty()) { // a search under way, which opening the editor ends
            search(list, QStringLiteral("伊"), QStringLiteral("氏名"));
            QCOMPARE(list.lastSearchText(), QStringLiteral("伊"));
            log.clear();
        }
        if (row >= 0)
            grid(list)->setRow(row);
        QString seenName;
        QString seenForm;
        WhenEditorOpens step([&](Form2 &editor) {
            seenName = child<QLineEdit>(editor, QStringLiteral("TexSelData_%1").arg(NameField))->text();
            seenForm = CurrentFormName;
        });
        button(list, QStringLiteral("CmdSelect"))->click();
        QCoreApplication::processEvents();
        QCOMPARE(step.opened, !openedName.isEmpty());
        QCOMPARE(seenName, openedName);
        QCOMPARE(log.texts(), messages);
        QCOMPARE(list.lastSearchText(), QString());
        if (step.opened) {
            QCOMPARE(seenForm, QStringLiteral("Form2"));
            QCOMPARE(CurrentFormName, QStringLiteral("Form1"));
        }
    }

    void updateFromTheListReloadsTheGrid()
    {
        ScratchData data;
        MessageLog log;
        data.write(QStringLiteral("load.txt"), recordBytes(someContacts()));
        Form1 list;
        grid(list)->setRow(1);
        WhenEditorOpens step([](Form2 &editor) {
            child<QLineEdit>(editor, QStringLiteral("TexSelData_%1").arg(ReadingField))->setText(QStringLiteral("えんどう"));
            child<QPushButton>(editor, QStringLiteral("CmdUpdate2"))->click();
        });
        button(list, QStringLiteral("CmdSelect"))->click();
        QVERIFY(step.opened);
        QCOMPARE(log.texts(), QStringList());
        QCOMPARE(gridReadingsAndNames(list), (QStringList{"いとう/伊藤", "えんどう/青木"}));
        QCOMPARE(CurrentFormName, QStringLiteral("Form1"));
        QVERIFY(!data.exists(QStringLiteral("cp_load.txt")));
    }
};

QTEST_MAIN(TestForm2)
#include "test_form2.moc"

#include "Windows.h"

#include "shell/ErrorBoundary.h"
#include "support/MessageLog.h"

#include <QAbstractButton>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

// The keyboard on every window: Tab walks the controls in the windows' tab
// order, Enter presses the focused button and only that, Escape leaves the
// editor and the profile window like "戻る".
class KeyboardTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { setUpLikeTheProgram(); }

    void tabVisitsInOrder_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QStringList>("order");

        QTest::newRow("contact list")
            << "Form1"
            << QStringList{"CmdImport", "CmdExport", "TextSearch", "ComSelect", "CmdSearch", "CmdSelect",
                           "CmdExit",   "ComMyData", "CmdChkAll",  "CmdChkClear", "MSFlexGrid1"};

        QStringList editor;
        for (int i = 0; i < FieldCount; ++i)
            editor << QStringLiteral("TexSelData_%1").arg(i);
        editor << "CmdUpdate2" << "CmdDelete2" << "CmdExit_Click2" << "TexSelData_0";
        QTest::newRow("editor, round to the first box") << "Form2" << editor;

        QStringList profile;
        for (int i = 0; i < ProfileFieldCount; ++i)
            profile << QStringLiteral("TexMyData_%1").arg(i);
        profile << "CmdUpdate3" << "CmdDelete3" << "CmdExit_Click3" << "CmdImport3" << "TexMyData_0";
        QTest::newRow("profile, import last") << "Form3" << profile;
    }

    void tabVisitsInOrder()
    {
        QFETCH(QString, window);
        QFETCH(QStringList, order);
        ScratchData data;
        MessageLog log;
        auto form = openWindow(window, data);

        QWidget *first = child<QWidget>(*form, order.first());
        QCOMPARE(QApplication::focusWidget(), first); // where the window opens
        QStringList visited{order.first()};
        for (qsizetype i = 1; i < order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited, order);

        // Shift+Tab walks the same way back.
        QStringList back{visited.last()};
        for (qsizetype i = 1; i < order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
            back.prepend(QApplication::focusWidget()->objectName());
        }
        QCOMPARE(back, visited);
        QVERIFY(log.shown.isEmpty());
    }

    void enterPressesFocusedButton_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("key");

        const QList<QPair<QString, QStringList>> buttons = {
            {"Form1",
             {"CmdImport", "CmdExport", "CmdSearch", "CmdSelect", "CmdExit", "ComMyData", "CmdChkAll", "CmdChkClear"}},
            {"Form2", {"CmdUpdate2", "CmdDelete2", "CmdExit_Click2"}},
            {"Form3", {"CmdUpdate3", "CmdDelete3", "CmdExit_Click3", "CmdImport3"}},
        };
        for (const auto &[window, names] : buttons) {
            for (const QString &name : names) {
                QTest::newRow(qPrintable(name + " Return")) << window << name << int(Qt::Key_Return);
                QTest::newRow(qPrintable(name + " keypad Enter")) << window << name << int(Qt::Key_Enter);
            }
        }
    }

    void enterPressesFocusedButton()
    {
        QFETCH(QString, window);
        QFETCH(QString, button);
        QFETCH(int, key);
        ScratchData data;
        MessageLog log;
        auto form = openWindow(window, data);
        // A button that opens a modal window gets it closed again at once.
        QTimer closer;
        connect(&closer, &QTimer::timeout, [] {
            if (QWidget *modal = QApplication::activeModalWidget())
                modal->close();
        });
        closer.start(20);

        auto *target = child<QAbstractButton>(*form, button);
        target->setFocus(Qt::TabFocusReason);
        QSignalSpy clicked(target, &QAbstractButton::clicked);
        QList<QAbstractButton *> others = form->findChildren<QAbstractButton *>();
        others.removeOne(target);
        QList<std::shared_ptr<QSignalSpy>> otherSpies;
        for (QAbstractButton *other : others)
            otherSpies << std::make_shared<QSignalSpy>(other, &QAbstractButton::clicked);

        QTest::keyClick(target, Qt::Key(key));

        QCOMPARE(clicked.count(), 1);
        for (qsizetype i = 0; i < others.size(); ++i)
            QVERIFY2(otherSpies[i]->isEmpty(), qPrintable(others[i]->objectName() + " was pressed too"));
    }

    void enterInTextBoxPressesNothing_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("box");
        QTest::newRow("search text") << "Form1" << "TextSearch";
        QTest::newRow("editor name") << "Form2" << "TexSelData_0";
        QTest::newRow("editor comment") << "Form2" << "TexSelData_19";
        QTest::newRow("profile name") << "Form3" << "TexMyData_0";
        QTest::newRow("profile map") << "Form3" << "TexMyData_15";
    }

    void enterInTextBoxPressesNothing()
    {
        QFETCH(QString, window);
        QFETCH(QString, box);
        ScratchData data;
        MessageLog log;
        auto form = openWindow(window, data);
        const QByteArray list = data.read(QStringLiteral("load.txt"));
        const QByteArray profile = data.read(QStringLiteral("myload.txt"));
        QList<std::shared_ptr<QSignalSpy>> spies;
        for (QAbstractButton *button : form->findChildren<QAbstractButton *>())
            spies << std::make_shared<QSignalSpy>(button, &QAbstractButton::clicked);

        auto *edit = child<QLineEdit>(*form, box);
        edit->setFocus(Qt::TabFocusReason);
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::keyClick(edit, Qt::Key_Enter);

        for (const auto &spy : spies)
            QVERIFY(spy->isEmpty());
        QVERIFY(form->isVisible());
        QVERIFY(log.shown.isEmpty());
        QCOMPARE(data.read(QStringLiteral("load.txt")), list);
        QCOMPARE(data.read(QStringLiteral("myload.txt")), profile);
    }

    void escapeLeavesLikeBack_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("closes");

        QTest::newRow("editor, Escape") << "Form2" << "escape" << true;
        QTest::newRow("editor, 戻る") << "Form2" << "back" << true;
        QTest::newRow("editor locked, Escape") << "Form2" << "locked escape" << true;
        QTest::newRow("profile, Escape") << "Form3" << "escape" << true;
        QTest::newRow("profile, 戻る") << "Form3" << "back" << true;
        QTest::newRow("profile locked, Escape") << "Form3" << "locked escape" << true;
        // The main window ends the program: a stray Escape must not close it.
        QTest::newRow("contact list, Escape") << "Form1" << "escape" << false;
    }

    void escapeLeavesLikeBack()
    {
        QFETCH(QString, window);
        QFETCH(QString, how);
        QFETCH(bool, closes);
        ScratchData data;
        MessageLog log;
        auto form = openWindow(window, data);
        const QByteArray list = data.read(QStringLiteral("load.txt"));
        const QByteArray profile = data.read(QStringLiteral("myload.txt"));

        // An edit that leaving must throw away.
        QList<QLineEdit *> boxes = form->findChildren<QLineEdit *>();
        QVERIFY(!boxes.isEmpty());
        QTest::keyClicks(boxes.first(), QStringLiteral("changed"));

        const QString back = window == QLatin1String("Form2") ? "CmdExit_Click2" : "CmdExit_Click3";
        if (how == QLatin1String("back")) {
            child<QAbstractButton>(*form, back)->click();
        } else {
            // Locked as an error report leaves it: "戻る" alone enabled.
            if (how == QLatin1String("locked escape"))
                lockDialog(form.get(), child<QPushButton>(*form, back));
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : form.get(),
                            Qt::Key_Escape);
        }

        QCOMPARE(!form->isVisible(), closes);
        if (auto *dialog = qobject_cast<QDialog *>(form.get()))
            QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QVERIFY(log.shown.isEmpty());
        QCOMPARE(data.read(QStringLiteral("load.txt")), list);
        QCOMPARE(data.read(QStringLiteral("myload.txt")), profile);
    }
};

QTEST_MAIN(KeyboardTest)
#include "test_keyboard.moc"

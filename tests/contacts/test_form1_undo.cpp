// 編集 › 元に戻す in the list window: Ctrl+Z after an import gives back the
// list before it, reloads the grid and says what it undid; the item is off
// while there is nothing to undo. (The walk back through every kind of
// change is tests/shell/test_history.cpp.)

#include "Form1Driver.h"
#include "support/MessageLog.h"

#include <QAction>
#include <QPushButton>
#include <QtTest>

class TestForm1Undo : public QObject {
    Q_OBJECT
private slots:
    void ctrlZUndoesTheImport()
    {
        ScratchData data;
        data.write(QStringLiteral("load.txt"), recordBytes({contact(QStringLiteral("あおき"), QStringLiteral("青木"))}));
        const QByteArray before = data.read(QStringLiteral("load.txt"));
        MessageLog log;
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        auto *undo = child<QAction>(form, QStringLiteral("ActUndo"));
        QVERIFY(!undo->isEnabled());

        data.write(QStringLiteral("getData"), recordBytes({contact(QStringLiteral("うえだ"), QStringLiteral("上田"))}));
        button(form, "CmdImport")->click();
        QCOMPARE(form.rowCount(), 2);
        QVERIFY(undo->isEnabled());

        QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(log.texts(), QStringList{"データ取込を元に戻しました"});
        QCOMPARE(data.read(QStringLiteral("load.txt")), before);
        QCOMPARE(form.rowCount(), 1);
        QVERIFY(!undo->isEnabled());
        QVERIFY(!data.exists(QStringLiteral("cp_load.txt")));
        QVERIFY(button(form, "CmdImport")->isEnabled());
    }
};

QTEST_MAIN(TestForm1Undo)
#include "test_form1_undo.moc"

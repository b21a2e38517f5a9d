// 編集 › 元に戻す in the list window: after an import, an update and a
// delete, each press gives back the list before the last change, byte for
// byte, reloads the grid and says what it undid.

#include "contacts/ContactGrid.h"
#include "contacts/Form1.h"
#include "contacts/ListChanges.h"
#include "shell/BasConst.h"
#include "shell/ChangeTransaction.h"
#include "shell/History.h"
#include "shell/RecordFile.h"
#include "support/MessageLog.h"
#include "support/ScratchData.h"

#include <QAction>
#include <QPushButton>
#include <QtTest>

class TestForm1Undo : public QObject {
    Q_OBJECT
private slots:
    void undoWalksBackImportUpdateDelete()
    {
        ScratchData data;
        const QList<QStringList> start{contact(QStringLiteral("あおき"), QStringLiteral("青木"), QStringLiteral("a")),
                                       contact(QStringLiteral("いとう"), QStringLiteral("伊藤"), QStringLiteral("i"))};
        data.write(QStringLiteral("load.txt"), recordBytes(start));
        MessageLog log;
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        auto *undo = form.findChild<QAction *>(QStringLiteral("ActUndo"));
        QVERIFY(undo);
        QVERIFY(!undo->isEnabled());

        QList<QByteArray> before{data.read(QStringLiteral("load.txt"))};
        data.write(QStringLiteral("getData"), recordBytes({contact(QStringLiteral("うえだ"), QStringLiteral("上田"), QStringLiteral("u"))}));
        form.CmdImport->click();
        QVERIFY(undo->isEnabled());

        // The editor's changes, run as the editor runs them, then reloaded.
        before.append(data.read(QStringLiteral("load.txt")));
        QStringList edited = start[0];
        edited[Tel1Field] = QStringLiteral("03-0000-0000");
        ChangeTransaction update(updatePlan());
        QVERIFY(update.apply(updateChange(edited, recordKey(edited))).done());
        QVERIFY(update.cleanUp(false).done());
        before.append(data.read(QStringLiteral("load.txt")));
        ChangeTransaction remove(deletePlan());
        QVERIFY(remove.apply(deleteChange(recordKey(start[1]))).done());
        QVERIFY(remove.cleanUp(false).done());
        form.Pf_TextRead();
        QCOMPARE(form.RowCount, 2);
        log.clear();

        for (const QString undone : {QStringLiteral("削除"), QStringLiteral("更新"), QStringLiteral("データ取込")}) {
            form.MSFlexGrid1->setFocus();
            QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier);
            QCOMPARE(log.texts(), QStringList{undone + QStringLiteral("を元に戻しました")});
            log.clear();
            const QByteArray expected = before.takeLast();
            QCOMPARE(data.read(QStringLiteral("load.txt")), expected);
            QCOMPARE(form.RowCount, int(readRecords(data.path(QStringLiteral("load.txt")), FieldCount).size()));
        }
        QVERIFY(!undo->isEnabled());
        QVERIFY(!data.exists(QStringLiteral("cp_load.txt")));
        // The lists the undos replaced are kept, never offered to undo.
        QCOMPARE(historyVersions(PsLoadPass()).size(), 3);
        QVERIFY(form.CmdImport->isEnabled());
    }
};

QTEST_MAIN(TestForm1Undo)
#include "test_form1_undo.moc"

#include "MessageLog.h"
#include "ScratchData.h"

#include "contacts/ContactGrid.h"
#include "contacts/Form1.h"
#include "shell/BasCommn.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QtTest>

static QList<QWidget *> usableControls(Form1 &form)
{
    QList<QWidget *> out;
    for (QWidget *w : form.findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        if (w->isEnabled() && !qobject_cast<QMenuBar *>(w))
            out.append(w);
    // The menu bar stays open for 終了; every other command in it is locked.
    for (QAction *action : form.findChildren<QAction *>())
        if (action->isEnabled() && !action->menu() && action->objectName() != QLatin1String("ActQuit"))
            out.append(nullptr);
    return out;
}

class TestForm1Load : public QObject {
    Q_OBJECT
private slots:
    void emptyListShowsHeaderRowOnly()
    {
        ScratchData data;
        data.write(QStringLiteral("load.txt"), {});
        MessageLog log;
        Form1 form;
        QCOMPARE(log.texts(), QStringList());
        QCOMPARE(form.MSFlexGrid1->rows(), 1);
        QCOMPARE(form.MSFlexGrid1->cols(), 21);
        QCOMPARE(form.RowCount, 0);
        QCOMPARE(form.MSFlexGrid1->textAt(0, 0), QStringLiteral("      "));
        QCOMPARE(form.MSFlexGrid1->textAt(0, 10), QStringLiteral("氏名ふりがな"));
        QCOMPARE(form.MSFlexGrid1->textAt(0, 20), QStringLiteral("コメント"));
        QCOMPARE(form.MSFlexGrid1->colWidthTwips(8), 8300);
        QCOMPARE(form.ComSelect->count(), 11);
        QCOMPARE(form.ComSelect->currentIndex(), -1);
        QCOMPARE(form.ComSelect->itemText(5), QStringLiteral("アピール文"));
        QVERIFY(form.TextSearch->text().isEmpty());
        QCOMPARE(form.MSFlexGrid1->row(), 0);
    }

    void recordsLoadInFileOrderUnchecked()
    {
        ScratchData data;
        const QList<QStringList> records = {contact(QStringLiteral("やまだ"), QStringLiteral("山田"), QStringLiteral("y")),
                                            contact(QStringLiteral("あおき"), QStringLiteral("青木"), QStringLiteral("a"))};
        data.write(QStringLiteral("load.txt"), recordBytes(records));
        MessageLog log;
        Form1 form;
        QCOMPARE(log.texts(), QStringList());
        QCOMPARE(form.RowCount, 2);
        QCOMPARE(form.MSFlexGrid1->rows(), 3);
        for (int r = 1; r <= 2; ++r) {
            QCOMPARE(form.MSFlexGrid1->textAt(r, 0), QStringLiteral("OFF"));
            for (int c = 1; c <= 20; ++c)
                QCOMPARE(form.MSFlexGrid1->textAt(r, c), records[r - 1][c - 1]);
        }
        // Right after the load the current row is the last data row.
        QCOMPARE(form.MSFlexGrid1->row(), 2);
    }

    void shortLastRecordKeepsRowsBeforeAndLocks()
    {
        ScratchData data;
        QByteArray bytes = recordBytes({contact(QStringLiteral("あ"), QStringLiteral("亜"), QStringLiteral("t"))});
        bytes += "cut\r\nshort\r\n";
        data.write(QStringLiteral("load.txt"), bytes);
        MessageLog log;
        Form1 form;
        QCOMPARE(log.reportedRoutine(), QStringLiteral("Pf_TextRead"));
        QVERIFY(log.texts().first().contains(QStringLiteral("(62 ")));
        QCOMPARE(form.RowCount, 1);
        QCOMPARE(form.MSFlexGrid1->textAt(1, 1), QStringLiteral("亜"));
        QCOMPARE(usableControls(form), QList<QWidget *>{form.CmdExit});
        QVERIFY(form.MSFlexGrid1->redraw());
    }

    void badInputIsReportedAndChangesNoFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("number");
        QTest::newRow("bytes that are no code page 932") << QByteArray("\x81\x0d\xff\r\n") << 1001;
        QTest::newRow("NUL bytes") << QByteArray(40, '\0') << 1001;
        QTest::newRow("line without end past the limit") << QByteArray(5 * 1024 * 1024, 'a') << 1003;
    }
    void badInputIsReportedAndChangesNoFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, number);
        ScratchData data;
        data.write(QStringLiteral("load.txt"), bytes);
        MessageLog log;
        Form1 form;
        QCOMPARE(log.reportedRoutine(), QStringLiteral("Pf_TextRead"));
        QVERIFY(log.texts().first().contains(QStringLiteral("(%1 ").arg(number)));
        QCOMPARE(form.RowCount, 0);
        QCOMPARE(data.read(QStringLiteral("load.txt")), bytes);
        QVERIFY(!form.CmdImport->isEnabled());
    }

    void lineEndsOfEveryKindLoad()
    {
        ScratchData data;
        QByteArray bytes = recordBytes({contact(QStringLiteral("あ"), QStringLiteral("亜"), QStringLiteral("a")),
                                        contact(QStringLiteral("い"), QStringLiteral("伊"), QStringLiteral("i"))});
        bytes.replace("\r\n", "\n");
        bytes.chop(1); // and no line end after the last line
        data.write(QStringLiteral("load.txt"), bytes);
        MessageLog log;
        Form1 form;
        QCOMPARE(log.texts(), QStringList());
        QCOMPARE(form.RowCount, 2);
        QCOMPARE(form.MSFlexGrid1->textAt(2, 20), QStringLiteral("i19"));
    }

    void listDeletedWhileRunningEmptiesTheGrid()
    {
        ScratchData data;
        data.write(QStringLiteral("load.txt"), recordBytes({contact(QStringLiteral("あ"), QStringLiteral("亜"))}));
        MessageLog log;
        Form1 form;
        QFile::remove(data.path(QStringLiteral("load.txt")));
        QVERIFY(form.Pf_TextRead());
        QCOMPARE(log.texts(), QStringList{QStringLiteral("該当の取込ファイルがありません")});
        QCOMPARE(form.MSFlexGrid1->rows(), 1);
        QCOMPARE(form.RowCount, 0);
        QVERIFY(!data.exists(QStringLiteral("load.txt")));
    }

    void workSetTurnsBlankCellsIntoOneBlank()
    {
        ScratchData data;
        QStringList record = contact(QStringLiteral("あ"), QStringLiteral(" 亜 "));
        record[1] = QStringLiteral(" ");
        data.write(QStringLiteral("load.txt"), recordBytes({record}));
        MessageLog log;
        Form1 form;
        QCOMPARE(form.MSFlexGrid1->textAt(1, 2), QString()); // a blank line reads as empty
        Pf_WorkClear();
        QVERIFY(!form.Pf_WorkSet(1));
        QCOMPARE(WorkRecord[1], QStringLiteral(" "));
        QCOMPARE(WorkRecord[2], QStringLiteral(" "));
        QCOMPARE(WorkRecord[0], QStringLiteral(" 亜 "));
        QCOMPARE(WorkRecord[9], QStringLiteral("あ"));
    }

    void rowColorPaintsDataCellsOnly()
    {
        ScratchData data;
        data.write(QStringLiteral("load.txt"), recordBytes({contact(QStringLiteral("あ"), QStringLiteral("亜"))}));
        MessageLog log;
        Form1 form;
        form.Pf_RowColor(true, 1);
        for (int c = 1; c <= 20; ++c)
            QCOMPARE(form.MSFlexGrid1->cellBackColorAt(1, c), QColor(0, 255, 255));
        QVERIFY(!form.MSFlexGrid1->cellBackColorAt(1, 0).isValid());
        QCOMPARE(form.MSFlexGrid1->row(), 1);
        QCOMPARE(form.MSFlexGrid1->col(), 20);
        form.Pf_RowColor(false, 1);
        QCOMPARE(form.MSFlexGrid1->cellBackColorAt(1, 7), QColor(255, 255, 255));
        // A row the grid doesn't have is skipped without a report.
        form.Pf_RowColor(true, 5);
        QCOMPARE(log.texts(), QStringList());
    }

    void searchBoxSelectsItsWholeTextOnFocus()
    {
        ScratchData data;
        data.write(QStringLiteral("load.txt"), {});
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.TextSearch->setText(QStringLiteral("山田 太郎"));
        form.CmdImport->setFocus();
        form.TextSearch->setFocus(Qt::TabFocusReason);
        QTRY_COMPARE(form.TextSearch->selectedText(), QStringLiteral("山田 太郎"));
    }

    void exitClosesTheWindow()
    {
        ScratchData data;
        data.write(QStringLiteral("load.txt"), {});
        Form1 form;
        form.show();
        form.CmdExit->click();
        QVERIFY(!form.isVisible());
    }
};

QTEST_MAIN(TestForm1Load)
#include "test_form1_load.moc"

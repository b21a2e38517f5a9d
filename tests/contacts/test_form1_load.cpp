#include "Form1Driver.h"
#include "MessageLog.h"

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
        QCOMPARE(grid(form)->rows(), 1);
        QCOMPARE(grid(form)->cols(), 21);
        QCOMPARE(form.rowCount(), 0);
        QCOMPARE(grid(form)->textAt(0, 0), QStringLiteral("      "));
        QCOMPARE(grid(form)->textAt(0, 10), QStringLiteral("氏名ふりがな"));
        QCOMPARE(grid(form)->textAt(0, 20), QStringLiteral("コメント"));
        QCOMPARE(grid(form)->colWidthTwips(8), 8300);
        QCOMPARE(fieldSelector(form)->count(), 11);
        QCOMPARE(fieldSelector(form)->currentIndex(), -1);
        QCOMPARE(fieldSelector(form)->itemText(5), QStringLiteral("アピール文"));
        QVERIFY(searchBox(form)->text().isEmpty());
        QCOMPARE(grid(form)->row(), 0);
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
        QCOMPARE(form.rowCount(), 2);
        QCOMPARE(grid(form)->rows(), 3);
        for (int r = 1; r <= 2; ++r) {
            QCOMPARE(grid(form)->textAt(r, 0), QStringLiteral("OFF"));
            for (int c = 1; c <= 20; ++c)
                QCOMPARE(grid(form)->textAt(r, c), records[r - 1][c - 1]);
        }
        // Right after the load the current row is the last data row.
        QCOMPARE(grid(form)->row(), 2);
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
        QCOMPARE(form.rowCount(), 1);
        QCOMPARE(grid(form)->textAt(1, 1), QStringLiteral("亜"));
        QCOMPARE(usableControls(form), QList<QWidget *>{button(form, "CmdExit")});
        QVERIFY(grid(form)->redraw());
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
        QCOMPARE(form.rowCount(), 0);
        QCOMPARE(data.read(QStringLiteral("load.txt")), bytes);
        QVERIFY(!button(form, "CmdImport")->isEnabled());
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
        QCOMPARE(form.rowCount(), 2);
        QCOMPARE(grid(form)->textAt(2, 20), QStringLiteral("i19"));
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
        QCOMPARE(grid(form)->rows(), 1);
        QCOMPARE(form.rowCount(), 0);
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
        QCOMPARE(grid(form)->textAt(1, 2), QString()); // a blank line reads as empty
        Pf_WorkClear();
        grid(form)->setRow(1);
        pressAndLeaveWhatOpens(form, QStringLiteral("CmdSelect")); // the editor opens on the work record
        QCOMPARE(log.texts(), QStringList());
        QCOMPARE(WorkRecord[1], QStringLiteral(" "));
        QCOMPARE(WorkRecord[2], QStringLiteral(" "));
        QCOMPARE(WorkRecord[0], QStringLiteral(" 亜 "));
        QCOMPARE(WorkRecord[9], QStringLiteral("あ"));
    }

    // A search hit is painted light cyan in its data cells; the next search
    // paints it white again.
    void hitRowColourPaintsDataCellsOnly()
    {
        ScratchData data;
        data.write(QStringLiteral("load.txt"), recordBytes({contact(QStringLiteral("あ"), QStringLiteral("亜"))}));
        MessageLog log;
        Form1 form;
        search(form, QStringLiteral("亜"), QStringLiteral("氏名"));
        QCOMPARE(form.searchHitRow(), 1);
        for (int c = 1; c <= 20; ++c)
            QCOMPARE(grid(form)->cellBackColorAt(1, c), QColor(0, 255, 255));
        QVERIFY(!grid(form)->cellBackColorAt(1, 0).isValid());
        QCOMPARE(grid(form)->row(), 1);
        search(form, QStringLiteral("該当なし"));
        QCOMPARE(grid(form)->cellBackColorAt(1, 7), QColor(255, 255, 255));
        QCOMPARE(log.texts(), QStringList{QStringLiteral("検索結果は0件です")});
    }

    void searchBoxSelectsItsWholeTextOnFocus()
    {
        ScratchData data;
        data.write(QStringLiteral("load.txt"), {});
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        searchBox(form)->setText(QStringLiteral("山田 太郎"));
        button(form, "CmdImport")->setFocus();
        searchBox(form)->setFocus(Qt::TabFocusReason);
        QTRY_COMPARE(searchBox(form)->selectedText(), QStringLiteral("山田 太郎"));
    }

    void exitClosesTheWindow()
    {
        ScratchData data;
        data.write(QStringLiteral("load.txt"), {});
        Form1 form;
        form.show();
        button(form, "CmdExit")->click();
        QVERIFY(!form.isVisible());
    }
};

QTEST_MAIN(TestForm1Load)
#include "test_form1_load.moc"

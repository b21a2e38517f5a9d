#include "Form1Driver.h"

#include "contacts/ListRules.h"
#include "support/MessageLog.h"

class TestForm1Checks : public QObject {
    Q_OBJECT
private slots:
    void clickTogglesCheckCell();
    void clickOnDataCellLeavesMarks_data();
    void clickOnDataCellLeavesMarks();
    void emptyGridChangesNothing();
    void checkAllThenClearAll();
    void buttonsKeepSearchHighlight();
    void reloadUnchecksEveryRow();
    void rowCountBeyondGrid_data();
    void rowCountBeyondGrid();
    void checkedCellText_data();
    void checkedCellText();
};

void TestForm1Checks::clickTogglesCheckCell()
{
    ScratchData data;
    MessageLog log;
    auto form = openForm(data, numberedContacts(3));
    ContactGrid *grid = ::grid(*form);
    QVERIFY(!grid->cellBackColorAt(2, 0).isValid()); // the fixed column's own colour until toggled

    clickCell(*form, 2, 0);
    QCOMPARE(checkTexts(*form), QStringList({"OFF", "ON", "OFF"}));
    QCOMPARE(grid->cellBackColorAt(2, 0), Palette::LightGreen);
    QCOMPARE(grid->row(), 2);
    QCOMPARE(grid->col(), 0);

    clickCell(*form, 2, 0);
    QCOMPARE(checkTexts(*form), QStringList({"OFF", "OFF", "OFF"}));
    QCOMPARE(grid->cellBackColorAt(2, 0), Palette::LightGrey);
    QVERIFY(!grid->cellBackColorAt(1, 0).isValid());
    QVERIFY(log.shown.isEmpty());
}

void TestForm1Checks::clickOnDataCellLeavesMarks_data()
{
    QTest::addColumn<int>("column");
    QTest::newRow("氏名") << 1;
    QTest::newRow("Mail1") << 3;
    QTest::newRow("コメント") << 20;
}

void TestForm1Checks::clickOnDataCellLeavesMarks()
{
    QFETCH(int, column);
    ScratchData data;
    MessageLog log;
    auto form = openForm(data, numberedContacts(3));
    clickCell(*form, 1, 0);
    clickCell(*form, 1, column);
    clickCell(*form, 3, column);
    QCOMPARE(checkTexts(*form), QStringList({"ON", "OFF", "OFF"}));
    QCOMPARE(grid(*form)->cellBackColorAt(1, 0), Palette::LightGreen);
    QVERIFY(!grid(*form)->cellBackColorAt(3, 0).isValid());
    QVERIFY(log.shown.isEmpty());
}

void TestForm1Checks::emptyGridChangesNothing()
{
    ScratchData data;
    MessageLog log;
    auto form = openForm(data, {});
    clickHeading(*form, 1);
    button(*form, "CmdChkAll")->click();
    button(*form, "CmdChkClear")->click();
    QCOMPARE(grid(*form)->rows(), 1);
    QCOMPARE(grid(*form)->textAt(0, 0), QStringLiteral("      "));
    QCOMPARE(grid(*form)->textAt(0, 1), QStringLiteral("氏名"));
    QVERIFY(log.shown.isEmpty());
    QVERIFY(atRest(*form));
}

void TestForm1Checks::checkAllThenClearAll()
{
    ScratchData data;
    MessageLog log;
    auto form = openForm(data, numberedContacts(6));
    ContactGrid *grid = ::grid(*form);
    clickCell(*form, 2, 0);
    clickCell(*form, 5, 0);

    button(*form, "CmdChkAll")->click();
    QCOMPARE(checkTexts(*form), QStringList(6, CheckOn));
    for (int r = 1; r <= 6; ++r)
        QCOMPARE(grid->cellBackColorAt(r, 0), Palette::LightGreen);
    QVERIFY(atRest(*form));

    button(*form, "CmdChkClear")->click();
    QCOMPARE(checkTexts(*form), QStringList(6, CheckOff));
    for (int r = 1; r <= 6; ++r)
        QCOMPARE(grid->cellBackColorAt(r, 0), Palette::LightGrey);
    QVERIFY(atRest(*form));
    QVERIFY(log.shown.isEmpty());
}

void TestForm1Checks::buttonsKeepSearchHighlight()
{
    ScratchData data;
    MessageLog log;
    auto form = openForm(data, numberedContacts(4));
    searchBox(*form)->setText(QStringLiteral("名前3"));
    chooseField(*form, QStringLiteral("氏名"));
    button(*form, "CmdSearch")->click();
    QCOMPARE(form->searchHitRow(), 3);

    button(*form, "CmdChkAll")->click();
    QVERIFY(rowPainted(*form, 3, Palette::LightCyan));
    QVERIFY(rowPainted(*form, 1, Palette::BrightWhite));
    button(*form, "CmdChkClear")->click();
    QVERIFY(rowPainted(*form, 3, Palette::LightCyan));
    QVERIFY(rowPainted(*form, 2, Palette::BrightWhite));
}

void TestForm1Checks::reloadUnchecksEveryRow()
{
    ScratchData data;
    MessageLog log;
    auto form = openForm(data, numberedContacts(3));
    button(*form, "CmdChkAll")->click();
    QVERIFY(!form->Pf_TextRead());
    QCOMPARE(checkTexts(*form), QStringList(3, CheckOff));
    QVERIFY(!grid(*form)->cellBackColorAt(1, 0).isValid());
}

// After the grid is cut back without a reload, the row count still counts rows
// that are gone: nothing may reach for them.
void TestForm1Checks::rowCountBeyondGrid_data()
{
    QTest::addColumn<int>("gridRows"); // data rows left in the grid
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<QString>("searchMessage");
    QTest::newRow("grid cut back to its header") << 0 << 5 << "検索できるデータがありません";
    QTest::newRow("fewer rows than counted") << 3 << 7 << "検索結果は0件です";
}

void TestForm1Checks::rowCountBeyondGrid()
{
    QFETCH(int, gridRows);
    QFETCH(int, rowCount);
    QFETCH(QString, searchMessage);
    ScratchData data;
    MessageLog log;
    auto form = openForm(data, numberedContacts(rowCount));
    // Cut back to blank rows, as an import that stopped early leaves it.
    grid(*form)->setRows(1);
    grid(*form)->setRows(gridRows + 1);
    for (int r = 1; r <= gridRows; ++r) {
        grid(*form)->setRow(r);
        grid(*form)->setCol(0);
        grid(*form)->setText(CheckOff);
    }
    QCOMPARE(form->rowCount(), rowCount);

    button(*form, "CmdChkAll")->click();
    QCOMPARE(checkTexts(*form), QStringList(gridRows, CheckOn));
    button(*form, "CmdChkClear")->click();
    QCOMPARE(checkTexts(*form), QStringList(gridRows, CheckOff));
    button(*form, "CmdExport")->click();
    searchBox(*form)->setText(QStringLiteral("名前"));
    chooseField(*form, QStringLiteral("氏名"));
    button(*form, "CmdSearch")->click();
    QCOMPARE(log.texts(), QStringList({QStringLiteral("出力対照データが１件もありません"), searchMessage}));
    QCOMPARE(grid(*form)->rows(), gridRows + 1);
    QCOMPARE(grid(*form)->textAt(0, 0), QStringLiteral("      "));
    QVERIFY(button(*form, "CmdExport")->isEnabled()); // not locked
    QVERIFY(atRest(*form));
}

void TestForm1Checks::checkedCellText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("checked");
    QTest::newRow("ON") << "ON" << true;
    QTest::newRow("ON with blanks") << " ON\u3000" << true;
    QTest::newRow("OFF") << "OFF" << false;
    QTest::newRow("lower case") << "on" << false;
    QTest::newRow("empty") << "" << false;
}

void TestForm1Checks::checkedCellText()
{
    QFETCH(QString, text);
    QFETCH(bool, checked);
    QCOMPARE(isChecked(text), checked);
}

QTEST_MAIN(TestForm1Checks)
#include "test_form1_checks.moc"

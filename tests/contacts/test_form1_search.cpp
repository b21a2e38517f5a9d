#include "Form1Driver.h"

#include "contacts/ListRules.h"
#include "support/MessageLog.h"

namespace {

// A contact whose searched fields are given; the rest stays blank.
QStringList person(const QString &name, const QString &tel1 = QString(), const QString &event = QString())
{
    QStringList record = emptyContact();
    record[0] = name;
    record[1] = tel1;
    record[16] = event;
    return record;
}

QList<int> cyanRows(const Form1 &form)
{
    QList<int> rows;
    for (int r = 1; r < grid(form)->rows(); ++r)
        if (rowPainted(form, r, Palette::LightCyan))
            rows.append(r);
    return rows;
}

bool allWhite(const Form1 &form)
{
    for (int r = 1; r < grid(form)->rows(); ++r)
        if (!rowPainted(form, r, Palette::BrightWhite))
            return false;
    return true;
}

} // namespace

class TestForm1Search : public QObject {
    Q_OBJECT
private slots:
    void fieldEntriesMapToColumns_data();
    void fieldEntriesMapToColumns();
    void choosingFieldSetsSearchCol();
    void refusals_data();
    void refusals();
    void matchTest_data();
    void matchTest();
    void threeHitsThenNothing();
    void restartOrContinue_data();
    void restartOrContinue();
    void noHitPaintsWhite();
    void checkedRowTurnsWhiteKeepsMark();
    void hitScrolledToTopAndFocused();
    void searchTextKeptUntrimmed();
};

void TestForm1Search::fieldEntriesMapToColumns_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("column");
    const QList<int> columns = {1, 2, 3, 4, 5, 8, 11, 12, 17, 18, 19};
    QCOMPARE(kSearchFields.size(), columns.size());
    for (qsizetype i = 0; i < columns.size(); ++i)
        QTest::newRow(qPrintable(kSearchFields[i])) << kSearchFields[i] << columns[i];
    QTest::newRow("trimmed") << QStringLiteral(" TEL2\u3000") << 11;
    QTest::newRow("no entry") << QStringLiteral("住所") << 0;
    QTest::newRow("case differs") << QStringLiteral("Mail1") << 0;
    QTest::newRow("empty") << QString() << 0;
}

void TestForm1Search::fieldEntriesMapToColumns()
{
    QFETCH(QString, entry);
    QFETCH(int, column);
    QCOMPARE(searchColumn(entry), column);
}

void TestForm1Search::choosingFieldSetsSearchCol()
{
    ScratchData data;
    MessageLog log;
    auto form = openForm(data, numberedContacts(2));
    QCOMPARE(form->chosenSearchColumn(), 0);
    QCOMPARE(fieldSelector(*form)->currentIndex(), -1);
    chooseField(*form, QStringLiteral("イベント"));
    QCOMPARE(form->chosenSearchColumn(), 17);
    chooseField(*form, QStringLiteral("MAIL1"));
    QCOMPARE(form->chosenSearchColumn(), 3);
    // Refilling the selector (as the import does, here with nothing to
    // import) chooses nothing.
    button(*form, "CmdImport")->click();
    QCOMPARE(form->chosenSearchColumn(), 3);
    QCOMPARE(fieldSelector(*form)->currentText(), QString());
}

void TestForm1Search::refusals_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    QTest::newRow("empty grid") << 0 << "山田" << "氏名" << "検索できるデータがありません" << "";
    QTest::newRow("empty grid, no text") << 0 << "" << "" << "検索できるデータがありません" << "";
    QTest::newRow("no text") << 2 << "" << "氏名" << "検索文字列を入力して下さい" << "TextSearch";
    QTest::newRow("blanks only") << 2 << " \u3000 " << "氏名" << "検索文字列を入力して下さい" << "TextSearch";
    QTest::newRow("no field") << 2 << "名前" << "" << "項目が選択されていません" << "ComSelect";
    QTest::newRow("no hit") << 2 << "誰も" << "氏名" << "検索結果は0件です" << "TextSearch";
}

void TestForm1Search::refusals()
{
    QFETCH(int, rows);
    QFETCH(QString, text);
    QFETCH(QString, field);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    ScratchData data;
    MessageLog log;
    auto form = openForm(data, numberedContacts(rows));
    button(*form, "CmdExport")->setFocus();
    search(*form, text, field);
    QCOMPARE(log.texts(), QStringList({message}));
    if (!focus.isEmpty())
        QCOMPARE(QApplication::focusWidget()->objectName(), focus);
    QCOMPARE(form->searchHitRow(), 0);
    QVERIFY(atRest(*form));
}

void TestForm1Search::matchTest_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("sought");
    QTest::addColumn<bool>("found");
    QTest::newRow("case and blanks") << "YAMADA TARO" << "yamadataro" << true;
    QTest::newRow("blank inside sought") << "山田太郎" << "山田　太" << true;
    QTest::newRow("hiragana finds katakana") << "ヤマダ" << "やまだ" << true;
    QTest::newRow("hiragana finds half-width kana") << "ﾔﾏﾀﾞ ﾀﾛｳ" << "やまだ" << true;
    QTest::newRow("ascii finds full-width") << "ＡＢＣ商事" << "abc" << true;
    QTest::newRow("full-width finds ascii") << "abc" << "ＡＢ" << true;
    QTest::newRow("different text") << "佐藤" << "山田" << false;
    QTest::newRow("cell of blanks") << " \u3000 " << "\u3000x" << false;
    QTest::newRow("empty cell") << "" << "a" << false;
}

void TestForm1Search::matchTest()
{
    QFETCH(QString, cell);
    QFETCH(QString, sought);
    QFETCH(bool, found);
    ScratchData data;
    MessageLog log;
    auto form = openForm(data, {person(QStringLiteral("他人")), person(cell)});
    search(*form, sought, QStringLiteral("氏名"));
    QCOMPARE(form->searchHitRow(), found ? 2 : 0);
    QCOMPARE(log.texts().isEmpty(), found);
}

void TestForm1Search::threeHitsThenNothing()
{
    ScratchData data;
    MessageLog log;
    auto form = openForm(data, {person("佐藤"), person("山田 一"), person("鈴木"), person("山田 二"),
                                person("山田 三"), person("田中")});
    search(*form, QStringLiteral("山田"), QStringLiteral("氏名"));
    QCOMPARE(form->searchHitRow(), 2);
    QCOMPARE(cyanRows(*form), QList<int>({2}));
    button(*form, "CmdSearch")->click();
    QCOMPARE(form->searchHitRow(), 4);
    QCOMPARE(cyanRows(*form), QList<int>({2, 4}));
    button(*form, "CmdSearch")->click();
    QCOMPARE(form->searchHitRow(), 5);
    QCOMPARE(cyanRows(*form), QList<int>({2, 4, 5}));
    button(*form, "CmdSearch")->click(); // no wrap-around, no message
    QCOMPARE(form->searchHitRow(), 5);
    QCOMPARE(cyanRows(*form), QList<int>({2, 4, 5}));
    button(*form, "CmdSearch")->click();
    QCOMPARE(form->searchHitRow(), 5);
    QVERIFY(log.shown.isEmpty());
    QVERIFY(atRest(*form));
}

void TestForm1Search::restartOrContinue_data()
{
    QTest::addColumn<QString>("text");   // search text of the next click
    QTest::addColumn<QStringList>("fields"); // fields chosen before it
    QTest::addColumn<bool>("resetSearchText");
    QTest::addColumn<int>("hit");
    QTest::addColumn<QList<int>>("cyan");
    QTest::newRow("same text and field") << "山田" << QStringList() << false << 4 << QList<int>({1, 2, 4});
    QTest::newRow("other field and back") << "山田" << QStringList({"TEL1", "氏名"}) << false << 4
                                          << QList<int>({1, 2, 4});
    QTest::newRow("blanks at the ends") << " 山田\u3000" << QStringList() << false << 4 << QList<int>({1, 2, 4});
    QTest::newRow("edited text") << "山田 " "太" << QStringList() << false << 1 << QList<int>({1});
    QTest::newRow("other field") << "0" << QStringList({"TEL1"}) << false << 1 << QList<int>({1});
    QTest::newRow("search text reset") << "山田" << QStringList() << true << 1 << QList<int>({1});
}

// Two hits (rows 1 and 2), then one more click after the given changes.
void TestForm1Search::restartOrContinue()
{
    QFETCH(QString, text);
    QFETCH(QStringList, fields);
    QFETCH(bool, resetSearchText);
    QFETCH(int, hit);
    QFETCH(QList<int>, cyan);
    ScratchData data;
    MessageLog log;
    auto form = openForm(data, {person("山田太郎", "03-0000"), person("山田 花子", "03-1111"),
                                person("佐藤", "03-2222"), person("山田 三郎", "03-3333")});
    search(*form, QStringLiteral("山田"), QStringLiteral("氏名"));
    button(*form, "CmdSearch")->click();
    QCOMPARE(form->searchHitRow(), 2);

    for (const QString &field : fields)
        chooseField(*form, field);
    if (resetSearchText) { // as opening the profile window does
        data.write(QStringLiteral("myload.txt"), {});
        pressAndLeaveWhatOpens(*form, QStringLiteral("ComMyData"));
    }
    search(*form, text);
    QCOMPARE(form->searchHitRow(), hit);
    QCOMPARE(cyanRows(*form), cyan);
    QVERIFY(log.shown.isEmpty());
}

void TestForm1Search::noHitPaintsWhite()
{
    ScratchData data;
    MessageLog log;
    auto form = openForm(data, numberedContacts(5));
    search(*form, QStringLiteral("名前4"), QStringLiteral("氏名"));
    QCOMPARE(cyanRows(*form), QList<int>({4}));
    search(*form, QStringLiteral("該当なし"));
    QVERIFY(allWhite(*form));
    QCOMPARE(log.texts(), QStringList({QStringLiteral("検索結果は0件です")}));
    QCOMPARE(QApplication::focusWidget(), searchBox(*form));
    QCOMPARE(form->lastSearchText(), QStringLiteral("該当なし"));
}

void TestForm1Search::checkedRowTurnsWhiteKeepsMark()
{
    ScratchData data;
    MessageLog log;
    auto form = openForm(data, numberedContacts(3));
    search(*form, QStringLiteral("名前2"), QStringLiteral("氏名"));
    clickCell(*form, 2, 0);
    QVERIFY(rowPainted(*form, 2, Palette::LightCyan));

    search(*form, QStringLiteral("名前3"));
    QVERIFY(rowPainted(*form, 2, Palette::BrightWhite));
    QCOMPARE(checkTexts(*form), QStringList({"OFF", "ON", "OFF"}));
    QCOMPARE(grid(*form)->cellBackColorAt(2, 0), Palette::LightGreen);
}

void TestForm1Search::hitScrolledToTopAndFocused()
{
    ScratchData data;
    MessageLog log;
    auto form = openForm(data, numberedContacts(100));
    button(*form, "CmdExport")->setFocus();
    search(*form, QStringLiteral("名前40"), QStringLiteral("氏名"));
    ContactGrid *grid = ::grid(*form);
    QCOMPARE(form->searchHitRow(), 40);
    QCOMPARE(grid->topRow(), 40);
    QCOMPARE(QApplication::focusWidget(), grid);
    QCOMPARE(grid->row(), 40);
    QCOMPARE(grid->col(), 1);
    QCOMPARE(grid->currentIndex().row(), 39);
    QCOMPARE(grid->currentIndex().column(), 0);

    search(*form, QStringLiteral("名前3"), QStringLiteral("氏名"));
    QCOMPARE(form->searchHitRow(), 3);
    QCOMPARE(grid->topRow(), 3);
}

void TestForm1Search::searchTextKeptUntrimmed()
{
    ScratchData data;
    MessageLog log;
    auto form = openForm(data, {person("甲", "0120"), person("乙", "0120")});
    search(*form, QStringLiteral(" 0120 "), QStringLiteral("TEL1"));
    QCOMPARE(form->lastSearchText(), QStringLiteral(" 0120 "));
    QCOMPARE(grid(*form)->col(), 2); // the column of the field it ran on
    QCOMPARE(form->searchHitRow(), 1);
}

QTEST_MAIN(TestForm1Search)
#include "test_form1_search.moc"

// The list rules over the rows behind the grid, without a window.

#include "contacts/ContactList.h"
#include "contacts/ListRules.h"
#include "shell/BasCommn.h"

#include <QtTest>

namespace {
ContactRows rowsWithChecks(const QStringList &checks)
{
    ContactRows rows;
    for (const QString &check : checks) {
        ContactRow row;
        row.check = check;
        row.record[NameField] = QStringLiteral("名%1").arg(rows.size() + 1);
        row.record[Tel1Field] = QStringLiteral("  ");
        rows.push_back(row);
    }
    return rows;
}
} // namespace

class TestContactList : public QObject {
    Q_OBJECT
private slots:
    // Only rows in the other state switch, so a row already checked keeps
    // its colour; rows past lastRow are left alone; the check is trimmed.
    void switchEveryCheck()
    {
        ContactRows rows = rowsWithChecks({CheckOff, QStringLiteral(" ON "), QStringLiteral("?"), CheckOff});
        rows[1].colours[0] = Palette::LightCyan;
        ::switchEveryCheck(rows, 3, true);
        QCOMPARE(rows[0].check, CheckOn);
        QCOMPARE(rows[0].colours[0], Palette::LightGreen);
        QCOMPARE(rows[1].check, QStringLiteral(" ON "));
        QCOMPARE(rows[1].colours[0], Palette::LightCyan);
        QCOMPARE(rows[2].check, QStringLiteral("?"));
        QCOMPARE(rows[3].check, CheckOff);
        ::switchEveryCheck(rows, 4, false);
        QCOMPARE(rows[1].check, CheckOff);
        QCOMPARE(rows[1].colours[0], Palette::LightGrey);
        QCOMPARE(rows[2].check, QStringLiteral("?"));
    }

    void checkedContacts()
    {
        const ContactRows rows = rowsWithChecks({CheckOn, CheckOff, QStringLiteral(" ON"), CheckOn});
        QCOMPARE(checkedCount(rows, 3), 2);
        QCOMPARE(checkedCount(rows, 99), 3);
        const QList<ContactRecord> records = ::checkedContacts(rows, 3);
        QCOMPARE(records.size(), 2);
        QCOMPARE(records[1][NameField], QStringLiteral("名3"));
        // As the export file holds them: a blank value is one half-width blank.
        QCOMPARE(records[0][Tel1Field], QStringLiteral(" "));
        QCOMPARE(records[0][ReadingField], QStringLiteral(" "));
    }

    void findNext_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("sought");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("lastRow");
        QTest::addColumn<int>("hit");
        QTest::newRow("first") << 1 << QStringLiteral("名") << 1 << 4 << 1;
        QTest::newRow("from below a hit") << 1 << QStringLiteral("名") << 2 << 4 << 2;
        QTest::newRow("width and case folded") << 1 << QStringLiteral("名３") << 1 << 4 << 3;
        QTest::newRow("past lastRow") << 1 << QStringLiteral("名4") << 1 << 3 << 0;
        QTest::newRow("no wrap-around") << 1 << QStringLiteral("名1") << 2 << 4 << 0;
        QTest::newRow("check column") << 0 << QStringLiteral("on") << 1 << 4 << 2;
    }
    void findNext()
    {
        QFETCH(int, column);
        QFETCH(QString, sought);
        QFETCH(int, from);
        QFETCH(int, lastRow);
        QFETCH(int, hit);
        const ContactRows rows = rowsWithChecks({CheckOff, CheckOn, CheckOff, CheckOff});
        QCOMPARE(::findNext(rows, column, foldForSearch(sought), from, lastRow), hit);
    }

    void paintRowLeavesTheCheckCell()
    {
        ContactRows rows = rowsWithChecks({CheckOn});
        setChecked(rows[0], true);
        paintRow(rows[0], Palette::LightCyan);
        QCOMPARE(rows[0].colours[0], Palette::LightGreen);
        QCOMPARE(rows[0].colours[FieldCount], Palette::LightCyan);
    }
};

QTEST_GUILESS_MAIN(TestContactList)
#include "test_contactlist.moc"

#include "Form1Driver.h"

#include "contacts/ListRules.h"
#include "shell/BasConst.h"
#include "shell/FileOps.h"
#include "shell/MessageBox.h"
#include "shell/RecordFile.h"
#include "support/FileSizeLimit.h"
#include "support/MessageLog.h"

#include <QDir>

#include <cerrno>
#include <csignal>
#include <sys/resource.h>

namespace {

const QString kExport = QStringLiteral("pcData");

void check(Form1 &form, const QList<int> &rows)
{
    for (int r : rows)
        clickCell(form, r, 0);
}

// Makes one kind of file-system call fail with an errno while it lives.
class FailingCall {
public:
    FailingCall(FileOps::Call call, int err)
    {
        call_ = call;
        err_ = err;
        FileOps::setHook([](const FileOps::Entry &e) { return e.call == call_ ? err_ : 0; });
    }
    ~FailingCall() { FileOps::setHook(nullptr); }

private:
    static inline FileOps::Call call_;
    static inline int err_;
};

QStringList folderEntries(const ScratchData &data)
{
    return QDir(data.folder()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TestForm1Export : public QObject {
    Q_OBJECT
private slots:
    void countMessages_data();
    void countMessages();
    void exportsCheckedRowsInGridOrder();
    void blankFieldsWrittenAsOneBlank();
    void thirtyRowsGiveSixHundredLines();
    void refusalLeavesEarlierFile_data();
    void refusalLeavesEarlierFile();
    void secondExportReplacesFirst();
    void failedWriteLeavesEarlierFile_data();
    void failedWriteLeavesEarlierFile();
};

void TestForm1Export::countMessages_data()
{
    QTest::addColumn<int>("checked");
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<QString>("done");
    QTest::newRow("none") << 0 << "出力対照データが１件もありません" << "";
    QTest::newRow("one") << 1 << "" << "1件のデータ出力が完了しました";
    QTest::newRow("three") << 3 << "" << "3件のデータ出力が完了しました";
    QTest::newRow("thirty") << 30 << "" << "30件のデータ出力が完了しました";
    QTest::newRow("thirty-one") << 31 << "1件多いです。選択を減らして下さい" << "";
    QTest::newRow("thirty-five") << 35 << "5件多いです。選択を減らして下さい" << "";
}

void TestForm1Export::countMessages()
{
    QFETCH(int, checked);
    QFETCH(QString, refusal);
    QFETCH(QString, done);
    QCOMPARE(exportRefusal(checked), refusal);
    if (!done.isEmpty())
        QCOMPARE(exportDoneMessage(checked), done);
}

void TestForm1Export::exportsCheckedRowsInGridOrder()
{
    ScratchData data;
    MessageLog log;
    const QList<QStringList> contacts = numberedContacts(6);
    auto form = openForm(data, contacts);
    check(*form, {5, 2, 4});

    // The done message comes after the hourglass and redraw are restored.
    bool restoredAtMessage = false;
    MessageBox::setHook([&](const MessageBox::Shown &m) {
        log.shown.append(m);
        restoredAtMessage = atRest(*form);
    });
    button(*form, "CmdExport")->click();
    QCOMPARE(log.texts(), QStringList({QStringLiteral("3件のデータ出力が完了しました")}));
    QVERIFY(restoredAtMessage);
    QCOMPARE(data.read(kExport), recordBytes({contacts[1], contacts[3], contacts[4]}));
    QCOMPARE(checkTexts(*form), QStringList({"OFF", "ON", "OFF", "ON", "ON", "OFF"}));
    QCOMPARE(grid(*form)->row(), 6); // the editor opens the last row next
    QVERIFY(atRest(*form));
}

void TestForm1Export::blankFieldsWrittenAsOneBlank()
{
    ScratchData data;
    MessageLog log;
    QStringList sparse = emptyContact();
    sparse[0] = QStringLiteral("山田 太郎");
    sparse[1] = QStringLiteral("03-1234-5678");
    sparse[5] = QStringLiteral(" ");
    sparse[19] = QStringLiteral("\u3000");
    auto form = openForm(data, {sparse});
    check(*form, {1});
    button(*form, "CmdExport")->click();

    QStringList expected(20, QStringLiteral(" "));
    expected[0] = sparse[0];
    expected[1] = sparse[1];
    QCOMPARE(data.read(kExport), recordBytes({expected}));
}

void TestForm1Export::thirtyRowsGiveSixHundredLines()
{
    ScratchData data;
    MessageLog log;
    QList<QStringList> contacts = numberedContacts(40);
    contacts[0][7].clear();
    auto form = openForm(data, contacts);
    QList<int> rows;
    for (int r = 1; r <= 40; r += 4)
        rows << r << r + 1 << r + 3;
    check(*form, rows);
    QCOMPARE(rows.size(), 30);
    button(*form, "CmdExport")->click();

    QCOMPARE(log.texts(), QStringList({QStringLiteral("30件のデータ出力が完了しました")}));
    const QByteArray bytes = data.read(kExport);
    QCOMPARE(bytes.count("\r\n"), 600);
    QVERIFY(bytes.endsWith("\r\n"));
    QCOMPARE(bytes.split('\n').at(7), QByteArray(" \r")); // the emptied field of the first row
    const QList<QStringList> written = readRecords(data.path(kExport), 20);
    QCOMPARE(written.size(), 30);
    QCOMPARE(written[1], contacts[1]);
    QCOMPARE(written[29], contacts[39]);
}

void TestForm1Export::refusalLeavesEarlierFile_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("checked");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty grid") << 0 << 0 << "出力対照データが１件もありません";
    QTest::newRow("nothing checked") << 5 << 0 << "出力対照データが１件もありません";
    QTest::newRow("31 checked") << 31 << 31 << "1件多いです。選択を減らして下さい";
    QTest::newRow("35 checked") << 40 << 35 << "5件多いです。選択を減らして下さい";
}

void TestForm1Export::refusalLeavesEarlierFile()
{
    QFETCH(int, rows);
    QFETCH(int, checked);
    QFETCH(QString, message);
    ScratchData data;
    MessageLog log;
    const QByteArray earlier = recordBytes({contact(QStringLiteral("まえ"), QStringLiteral("前回"), QStringLiteral("x"))});
    data.write(kExport, earlier);
    auto form = openForm(data, numberedContacts(rows));
    button(*form, "CmdChkAll")->click();
    for (int r = checked + 1; r <= rows; ++r)
        clickCell(*form, r, 0);

    // The refusal is shown while the hourglass is still up.
    bool busyAtMessage = false;
    MessageBox::setHook([&](const MessageBox::Shown &m) {
        log.shown.append(m);
        busyAtMessage = QApplication::overrideCursor() != nullptr;
    });
    button(*form, "CmdExport")->click();
    QCOMPARE(log.texts(), QStringList({message}));
    QVERIFY(busyAtMessage);
    QCOMPARE(data.read(kExport), earlier);
    QVERIFY(atRest(*form));
    QVERIFY(button(*form, "CmdExport")->isEnabled());
}

void TestForm1Export::secondExportReplacesFirst()
{
    ScratchData data;
    MessageLog log;
    const QList<QStringList> contacts = numberedContacts(4);
    auto form = openForm(data, contacts);
    check(*form, {1, 2, 3});
    button(*form, "CmdExport")->click();
    button(*form, "CmdChkClear")->click();
    check(*form, {4});
    button(*form, "CmdExport")->click();
    QCOMPARE(log.texts(), QStringList({QStringLiteral("3件のデータ出力が完了しました"),
                                       QStringLiteral("1件のデータ出力が完了しました")}));
    QCOMPARE(data.read(kExport), recordBytes({contacts[3]}));
}

void TestForm1Export::failedWriteLeavesEarlierFile_data()
{
    QTest::addColumn<int>("call"); // the failing call, or -1: the file size limit
    QTest::addColumn<int>("err");
    QTest::newRow("read-only data folder") << int(FileOps::Call::MkTemp) << EACCES;
    QTest::newRow("disk full") << int(FileOps::Call::Write) << ENOSPC;
    QTest::newRow("flush fails") << int(FileOps::Call::Fsync) << EIO;
    QTest::newRow("rename refused") << int(FileOps::Call::Rename) << EACCES;
    QTest::newRow("write cut short by the system") << -1 << 0;
}

void TestForm1Export::failedWriteLeavesEarlierFile()
{
    QFETCH(int, call);
    QFETCH(int, err);
    ScratchData data;
    MessageLog log;
    const QByteArray earlier = recordBytes({contact(QStringLiteral("まえ"), QStringLiteral("前回"), QStringLiteral("x"))});
    data.write(kExport, earlier);
    auto form = openForm(data, numberedContacts(30));
    button(*form, "CmdChkAll")->click();
    const QStringList before = folderEntries(data);
    if (call < 0) {
        const FileSizeLimit limit(1000);
        button(*form, "CmdExport")->click();
    } else {
        const FailingCall failing(FileOps::Call(call), err);
        button(*form, "CmdExport")->click();
    }
    QCOMPARE(log.reportedRoutine(), QStringLiteral("CmdExport_Click"));
    QCOMPARE(log.shown.size(), 1);
    QVERIFY(isLocked(*form));
    QVERIFY(atRest(*form));
    QCOMPARE(data.read(kExport), earlier);
    QCOMPARE(folderEntries(data), before); // no temporary file left behind
}

QTEST_MAIN(TestForm1Export)
#include "test_form1_export.moc"

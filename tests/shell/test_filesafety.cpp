#include "ScratchData.h"

#include "contacts/ContactRecord.h"
#include "profile/Profile.h"
#include "shell/AppError.h"
#include "shell/BasCommn.h"
#include "shell/FileOps.h"
#include "shell/RecordFile.h"

#include <QDir>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The ways a data file could be lost outside a plain write: a backup that is
// the list itself, a file system that can't create without replacing, a
// symbolic link or a special file under a data file's name, an oversized
// received file.
namespace {

int thrown(const std::function<void()> &f)
{
    try {
        f();
    } catch (const AppError &e) {
        return e.number;
    }
    return 0;
}

struct stat statOf(const QString &path, bool follow = true)
{
    struct stat st {};
    const QByteArray native = QFile::encodeName(path);
    if ((follow ? ::stat(native.constData(), &st) : ::lstat(native.constData(), &st)) != 0)
        qFatal("no %s", qPrintable(path));
    return st;
}

QStringList namesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// The hook's answer for each kind of call, and what it saw.
int refused[16];
QList<FileOps::Call> seen;
int refuse(const FileOps::Entry &e)
{
    seen.append(e.call);
    return refused[int(e.call)];
}
struct Refusals {
    Refusals() { std::fill(std::begin(refused), std::end(refused), 0); seen.clear(); FileOps::setHook(refuse); }
    ~Refusals() { FileOps::setHook(nullptr); }
};

} // namespace

class TestFileSafety : public QObject {
    Q_OBJECT
private slots:
    // A backup is a file of its own: a restore or an editor that writes
    // into it in place never changes the list, and the other way round.
    void backupIsAFileOfItsOwn_data()
    {
        QTest::addColumn<int>("listMode");
        QTest::newRow("list the owner's alone") << 0600;
        QTest::newRow("list readable by others") << 0644;
    }
    void backupIsAFileOfItsOwn()
    {
        QFETCH(int, listMode);
        ScratchData data;
        const QString list = data.path(QStringLiteral("load.txt")), backup = data.path(QStringLiteral("cp_load.txt"));
        data.write(QStringLiteral("load.txt"), "old list\r\n");
        QVERIFY(::chmod(QFile::encodeName(list).constData(), mode_t(listMode)) == 0);
        backUpFile(list, backup);
        QVERIFY(statOf(list).st_ino != statOf(backup).st_ino);
        QCOMPARE(statOf(backup).st_nlink, nlink_t(1));
        QCOMPARE(statOf(backup).st_mode & 0777, mode_t(0600));

        // cat cp_load.txt > load.txt: truncates and writes the list in place.
        QFile inPlace(list);
        QVERIFY(inPlace.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(inPlace.write(data.read(QStringLiteral("cp_load.txt"))), qint64(10));
        inPlace.close();
        QCOMPARE(data.read(QStringLiteral("load.txt")), QByteArray("old list\r\n"));
        QCOMPARE(data.read(QStringLiteral("cp_load.txt")), QByteArray("old list\r\n"));
    }

    // A copy that fails for real is reported, and neither a backup nor a
    // temporary file is left.
    void failedCopyLeavesNoBackup()
    {
        ScratchData data;
        data.write(QStringLiteral("load.txt"), "list");
        const Refusals r;
        refused[int(FileOps::Call::Clone)] = EOPNOTSUPP;
        refused[int(FileOps::Call::CopyRange)] = ENOSPC;
        QCOMPARE(thrown([&] { backUpFile(data.path(QStringLiteral("load.txt")), data.path(QStringLiteral("cp_load.txt"))); }), 61);
        QCOMPARE(namesIn(data.folder()), QStringList{QStringLiteral("load.txt")});
    }

    // Creating without replacing, where RENAME_NOREPLACE is refused (NFS,
    // FUSE): a hard link makes the name, which an existing file keeps.
    void createsWithoutReplacingWhereRenameCantRefuse_data()
    {
        QTest::addColumn<int>("renameRefusal");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<int>("linkRefusal");
        QTest::addColumn<int>("error");
        QTest::newRow("EINVAL, free name") << EINVAL << false << 0 << 0;
        QTest::newRow("ENOSYS, free name") << ENOSYS << false << 0 << 0;
        QTest::newRow("EINVAL, name taken") << EINVAL << true << 0 << 58;
        QTest::newRow("ENOSYS, name taken") << ENOSYS << true << 0 << 58;
        QTest::newRow("no hard links either") << EINVAL << false << EPERM << 70;
        QTest::newRow("rename fails for real") << EIO << false << 0 << 57;
    }
    void createsWithoutReplacingWhereRenameCantRefuse()
    {
        QFETCH(int, renameRefusal);
        QFETCH(bool, taken);
        QFETCH(int, linkRefusal);
        QFETCH(int, error);
        ScratchData data;
        if (taken)
            data.write(QStringLiteral("load.txt"), "a list");
        {
            const Refusals r;
            refused[int(FileOps::Call::Rename)] = renameRefusal;
            refused[int(FileOps::Call::Link)] = linkRefusal;
            QCOMPARE(thrown([&] { createEmptyFile(data.path(QStringLiteral("load.txt"))); }), error);
        }
        const bool made = error == 0;
        QCOMPARE(namesIn(data.folder()), made || taken ? QStringList{QStringLiteral("load.txt")} : QStringList());
        if (taken)
            QCOMPARE(data.read(QStringLiteral("load.txt")), QByteArray("a list"));
        if (made)
            QCOMPARE(statOf(data.path(QStringLiteral("load.txt"))).st_mode & 0777, mode_t(0600));
    }

    // A list kept elsewhere through a symbolic link (relative, or a chain of
    // two) stays a link; its target is replaced whole, in its own folder.
    void symbolicLinkToTheListStaysOne_data()
    {
        QTest::addColumn<QStringList>("chain"); // links from load.txt on, the last one the file
        QTest::newRow("relative link") << QStringList{QStringLiteral("../sync/list.txt")};
        QTest::newRow("chain of two") << QStringList{QStringLiteral("hop"), QStringLiteral("../sync/list.txt")};
    }
    void symbolicLinkToTheListStaysOne()
    {
        QFETCH(QStringList, chain);
        ScratchData data;
        const QString sync = QDir(data.folder()).absoluteFilePath(QStringLiteral("../sync"));
        QVERIFY(QDir().mkpath(sync));
        QFile target(sync + QStringLiteral("/list.txt"));
        QVERIFY(target.open(QIODevice::WriteOnly) && target.write("old") == 3);
        target.close();
        QString from = data.path(QStringLiteral("load.txt"));
        for (const QString &to : chain) {
            QVERIFY(::symlink(QFile::encodeName(to).constData(), QFile::encodeName(from).constData()) == 0);
            from = data.path(to);
        }

        backUpFile(data.path(QStringLiteral("load.txt")), data.path(QStringLiteral("cp_load.txt")));
        writeFileAtomically(data.path(QStringLiteral("load.txt")), "new list");
        QVERIFY(S_ISLNK(statOf(data.path(QStringLiteral("load.txt")), false).st_mode));
        QCOMPARE(data.read(QStringLiteral("load.txt")), QByteArray("new list"));
        QCOMPARE(data.read(QStringLiteral("cp_load.txt")), QByteArray("old"));
        QVERIFY(!S_ISLNK(statOf(data.path(QStringLiteral("cp_load.txt")), false).st_mode));
        QCOMPARE(namesIn(sync), QStringList{QStringLiteral("list.txt")}); // no temporary file left

        // One left by a writer killed before its rename is swept at the start.
        QFile stale(sync + QStringLiteral("/.list.txt.Ab12Cd"));
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        removeStaleTemporaries({data.path(QStringLiteral("load.txt"))});
        QCOMPARE(namesIn(sync), QStringList{QStringLiteral("list.txt")});
    }

    // A link whose target is missing: the first start makes the target.
    void danglingLinkGetsItsTargetCreated()
    {
        ScratchData data;
        const QString sync = QDir(data.folder()).absoluteFilePath(QStringLiteral("../sync"));
        QVERIFY(QDir().mkpath(sync));
        QVERIFY(QFile::link(sync + QStringLiteral("/list.txt"), data.path(QStringLiteral("load.txt"))));
        QVERIFY(!fileExists(data.path(QStringLiteral("load.txt"))));
        createEmptyFile(data.path(QStringLiteral("load.txt")));
        QVERIFY(fileExists(data.path(QStringLiteral("load.txt"))));
        QCOMPARE(namesIn(sync), QStringList{QStringLiteral("list.txt")});
        QVERIFY(S_ISLNK(statOf(data.path(QStringLiteral("load.txt")), false).st_mode));
    }

    // A folder, FIFO or device under a data file's name is reported (1005)
    // by everything that looks at it, and never opened: opening the FIFO
    // would wait here for a writer.
    void specialFilesAreReportedWithoutBeingOpened_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO") << QStringLiteral("fifo");
        QTest::newRow("folder") << QStringLiteral("folder");
        QTest::newRow("device") << QStringLiteral("device");
    }
    void specialFilesAreReportedWithoutBeingOpened()
    {
        QFETCH(QString, kind);
        ScratchData data;
        const QString path = data.path(QStringLiteral("load.txt"));
        const QByteArray native = QFile::encodeName(path);
        if (kind == QStringLiteral("fifo"))
            QVERIFY(::mkfifo(native.constData(), 0600) == 0);
        else if (kind == QStringLiteral("folder"))
            QVERIFY(::mkdir(native.constData(), 0700) == 0);
        else
            QVERIFY(::symlink("/dev/null", native.constData()) == 0);
        const QString backup = data.path(QStringLiteral("cp_load.txt"));
        const Refusals r;
        QCOMPARE(thrown([&] { fileExists(path); }), ErrNo::NotAFile);
        QCOMPARE(thrown([&] { readRecords(path, FieldCount); }), ErrNo::NotAFile);
        QCOMPARE(thrown([&] { readWholeFile(path); }), ErrNo::NotAFile);
        QCOMPARE(thrown([&] { backUpFile(path, backup); }), ErrNo::NotAFile);
        QVERIFY(!seen.contains(FileOps::Call::Open));
        QVERIFY(!QFile::exists(backup));
    }

    // A received file is refused from its size alone when more than the
    // records of the field limits could fill it.
    void receivedFileSizeBound_data()
    {
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("lines");
        QTest::addColumn<qint64>("bound");
        // Every value at its most characters, two bytes each, and CR LF.
        QTest::newRow("a contact") << 1 << FieldCount << qint64(2 * 566 + 2 * 20);
        QTest::newRow("the import's 10000") << 10000 << FieldCount << qint64(11720000);
        QTest::newRow("a profile") << 1 << ProfileFieldCount << qint64(2 * 492 + 2 * 16);
    }
    void receivedFileSizeBound()
    {
        QFETCH(int, records);
        QFETCH(int, lines);
        QFETCH(qint64, bound);
        QCOMPARE(recordBytesBound(records, lines), bound);
        ScratchData data;
        const QString path = data.path(QStringLiteral("getData"));
        data.write(QStringLiteral("getData"), {});
        QVERIFY(::truncate(QFile::encodeName(path).constData(), bound) == 0);
        QVERIFY(!receivedFileTooLarge(path, records, lines));
        QVERIFY(::truncate(QFile::encodeName(path).constData(), bound + 1) == 0);
        QVERIFY(receivedFileTooLarge(path, records, lines));
    }

    // The largest contact the editor can save fits the bound of one.
    void largestContactFitsTheBound()
    {
        QStringList record;
        for (int f = 0; f < FieldCount; ++f)
            record << QString(fieldMaxLength(f), QChar(u'漢'));
        QCOMPARE(encodeRecords({record}).size(), recordBytesBound(1, FieldCount));
    }
};

QTEST_GUILESS_MAIN(TestFileSafety)
#include "test_filesafety.moc"

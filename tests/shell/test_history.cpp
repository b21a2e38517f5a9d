// The undo history: every change of the list and of the profile keeps the
// file as it was, the undo walks back through them byte for byte, and no
// version ever shares its inode with a live file.

#include "contacts/ListChanges.h"
#include "profile/Profile.h"
#include "shell/BasConst.h"
#include "shell/FileOps.h"
#include "shell/History.h"
#include "shell/RecordFile.h"
#include "support/ScratchData.h"

#include <QtTest>

#include <cstring>
#include <sys/stat.h>

namespace {

ino_t inodeOf(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

// Runs a change to its end, as the windows do.
bool run(const ChangePlan &plan, const ChangeFunction &change)
{
    ChangeTransaction transaction(plan);
    const ChangeOutcome outcome = transaction.apply(change);
    return outcome.done() && transaction.cleanUp(!plan.received.isEmpty()).done();
}

QString undoOnce(const QString &target, const ChangePlan &like)
{
    const std::optional<HistoryVersion> version = lastUndoable(target);
    if (!version)
        return {};
    return run(undoPlan(like, *version), restoreChange()) ? undoneMessage(*version) : QString();
}

// The version's files: mode 0600, in a folder of mode 0700, none of them the
// live list or its backup.
void checkHistoryFiles()
{
    struct stat st {};
    QVERIFY(::stat(QFile::encodeName(historyFolder()).constData(), &st) == 0);
    QCOMPARE(st.st_mode & 07777, mode_t(0700));
    for (const HistoryVersion &v : historyVersions(PsLoadPass()) + historyVersions(PsMyLoadPass())) {
        QVERIFY(::stat(QFile::encodeName(v.path).constData(), &st) == 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0600));
        for (const QString &live : {PsLoadPass(), PsLoadBackPass(), PsMyLoadPass()})
            QVERIFY2(inodeOf(live) != st.st_ino, qPrintable(v.path + QStringLiteral(" shares its inode with ") + live));
    }
}

const char *failingRenameTo = nullptr;
int failRename(const FileOps::Entry &entry)
{
    return entry.call == FileOps::Call::Rename && failingRenameTo && entry.to
                   && std::strstr(entry.to, failingRenameTo)
               ? EIO
               : 0;
}

} // namespace

class TestHistory : public QObject {
    Q_OBJECT
private slots:
    // 25 changes of every kind; then undo walks back 20 of them, each giving
    // the list before that change byte for byte, and says which it undid.
    void undoWalksBackTwentyChanges()
    {
        ScratchData data;
        data.write(QStringLiteral("load.txt"),
                   recordBytes({contact(QStringLiteral("あ"), QStringLiteral("阿"), QStringLiteral("a")),
                                contact(QStringLiteral("い"), QStringLiteral("伊"), QStringLiteral("i")),
                                contact(QStringLiteral("う"), QStringLiteral("宇"), QStringLiteral("u"))}));
        QFile::setPermissions(PsLoadPass(), QFile::ReadOwner | QFile::WriteOwner);
        QList<QByteArray> before;
        QStringList names;
        for (int i = 0; i < 25; ++i) {
            before.append(data.read(QStringLiteral("load.txt")));
            const ino_t oldInode = inodeOf(PsLoadPass());
            const QList<QStringList> list = readRecords(PsLoadPass(), FieldCount);
            switch (i % 3) {
            case 0:
                data.write(QStringLiteral("getData"),
                           recordBytes({contact(QStringLiteral("え%1").arg(i), QStringLiteral("江"), QStringLiteral("e"))}));
                QVERIFY(run(importPlan(), importChange()));
                names << QStringLiteral("データ取込");
                break;
            case 1: {
                QStringList edited = list.first();
                edited[Tel1Field] = QStringLiteral("03-%1").arg(i);
                QVERIFY(run(updatePlan(), updateChange(edited, recordKey(edited))));
                names << QStringLiteral("更新");
                break;
            }
            default:
                QVERIFY(run(deletePlan(), deleteChange(recordKey(list.last()))));
                names << QStringLiteral("削除");
            }
            const QList<HistoryVersion> versions = historyVersions(PsLoadPass());
            QCOMPARE(versions.size(), qMin(i + 1, HistoryDepth));
            QCOMPARE(versions.last().changeName, names.last());
            // Kept by a hard link: the old file itself, at no copy cost.
            QCOMPARE(inodeOf(versions.last().path), oldInode);
            checkHistoryFiles();
        }
        for (int step = 0; step < HistoryDepth; ++step) {
            QCOMPARE(undoOnce(PsLoadPass(), updatePlan()), names.takeLast() + QStringLiteral("を元に戻しました"));
            QCOMPARE(data.read(QStringLiteral("load.txt")), before.takeLast());
            QVERIFY(historyVersions(PsLoadPass()).size() <= HistoryDepth);
            checkHistoryFiles();
        }
        // Nothing older is kept; the lists the undos replaced still are.
        QVERIFY(!lastUndoable(PsLoadPass()));
        QCOMPARE(historyVersions(PsLoadPass()).size(), HistoryDepth);
        QVERIFY(!data.exists(QStringLiteral("cp_load.txt")));
    }

    void profileUndo()
    {
        ScratchData data;
        const QStringList first = blankProfile();
        QStringList saved = first;
        saved[0] = QStringLiteral("山田");
        data.write(QStringLiteral("myload.txt"), recordBytes({first}));
        QVERIFY(run(profileSavePlan(), profileWriteChange(saved)));
        const QByteArray afterSave = data.read(QStringLiteral("myload.txt"));
        QVERIFY(run(profileBlankPlan(), profileWriteChange(blankProfile())));
        QCOMPARE(historyVersions(PsMyLoadPass()).size(), 2);
        QCOMPARE(historyVersions(PsLoadPass()).size(), 0);
        QCOMPARE(undoOnce(PsMyLoadPass(), profileImportPlan()), QStringLiteral("本人削除を元に戻しました"));
        QCOMPARE(data.read(QStringLiteral("myload.txt")), afterSave);
        QCOMPARE(undoOnce(PsMyLoadPass(), profileImportPlan()), QStringLiteral("本人更新を元に戻しました"));
        QCOMPARE(data.read(QStringLiteral("myload.txt")), recordBytes({first}));
        QCOMPARE(undoOnce(PsMyLoadPass(), profileImportPlan()), QString());
        checkHistoryFiles();
    }

    // A replace that fails before its rename keeps no version; one stopped
    // between the link and the rename (a kill) leaves a link to the live
    // file, which the next change removes.
    void failedAndStoppedChanges()
    {
        ScratchData data;
        const QByteArray old = recordBytes({contact(QStringLiteral("あ"), QStringLiteral("阿"))});
        data.write(QStringLiteral("load.txt"), old);
        QFile::setPermissions(PsLoadPass(), QFile::ReadOwner | QFile::WriteOwner);
        failingRenameTo = "/load.txt";
        FileOps::setHook(failRename);
        ChangeTransaction change(deletePlan());
        const ChangeOutcome outcome = change.apply(deleteChange(recordKey(QStringLiteral("あ"), QStringLiteral("阿"))));
        FileOps::setHook(nullptr);
        QVERIFY(outcome.failed());
        QCOMPARE(data.read(QStringLiteral("load.txt")), old);
        QCOMPARE(historyVersions(PsLoadPass()).size(), 0);

        ensureFolder(historyFolder());
        QVERIFY(::link(QFile::encodeName(PsLoadPass()).constData(),
                       QFile::encodeName(historyFolder() + QStringLiteral("/load.000007.削除.txt")).constData()) == 0);
        QVERIFY(run(deletePlan(), deleteChange(recordKey(QStringLiteral("あ"), QStringLiteral("阿")))));
        const QList<HistoryVersion> versions = historyVersions(PsLoadPass());
        QCOMPARE(versions.size(), 1);
        QCOMPARE(versions.first().number, 8);
        checkHistoryFiles();

        // A copy killed before its rename; the start deletes it, and nothing else.
        const QString stale = historyFolder() + QStringLiteral("/.load.000009.更新.txt.AbC123");
        QFile(stale).open(QIODevice::WriteOnly);
        removeStaleHistoryTemporaries();
        QVERIFY(!QFile::exists(stale));
        QCOMPARE(historyVersions(PsLoadPass()).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestHistory)
#include "test_history.moc"

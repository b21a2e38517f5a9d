// The change transaction on its own: what each outcome leaves on disk, and
// the refusal of a received file by its size. The fault matrix drives it through every failing
// file-system call.

#include "contacts/ListChanges.h"
#include "profile/Profile.h"
#include "shell/AppError.h"
#include "shell/ChangeTransaction.h"
#include "shell/RecordFile.h"
#include "support/ScratchData.h"

#include <QtTest>

class TestChangeTransaction : public QObject {
    Q_OBJECT
private slots:

    // The import as the list window runs it: the limit counts received and
    // listed contacts together, and a refusal writes nothing.
    void importOutcome_data()
    {
        QTest::addColumn<int>("listed");
        QTest::addColumn<int>("received");
        QTest::addColumn<bool>("refused");
        QTest::newRow("both fit") << 3 << 2 << false;
        QTest::newRow("exactly the limit") << MaxContacts - 1 << 1 << false;
        QTest::newRow("one past the limit") << MaxContacts << 1 << true;
        QTest::newRow("received alone past it") << 0 << MaxContacts + 5 << true;
    }
    void importOutcome()
    {
        QFETCH(int, listed);
        QFETCH(int, received);
        QFETCH(bool, refused);
        ScratchData data;
        QList<QStringList> list, got;
        for (int i = 0; i < listed; ++i)
            list.append(contact(QStringLiteral("よみ%1").arg(i, 5, 10, QChar(u'0')), QStringLiteral("名"), QStringLiteral("l")));
        for (int i = 0; i < received; ++i)
            got.append(contact(QStringLiteral("ヨミ%1").arg(i, 5, 10, QChar(u'0')), QStringLiteral("名"), QStringLiteral("r")));
        data.write(QStringLiteral("load.txt"), recordBytes(list));
        data.write(QStringLiteral("getData"), recordBytes(got));

        ChangeTransaction change(importPlan());
        const ChangeOutcome outcome = change.apply(importChange());
        QCOMPARE(outcome.kind, refused ? ChangeOutcome::Kind::Refused : ChangeOutcome::Kind::Done);
        if (refused) {
            QCOMPARE(outcome.reason, QStringLiteral("１００００件超えてしまいます。"));
            QCOMPARE(data.read(QStringLiteral("load.txt")), recordBytes(list));
        } else {
            QCOMPARE(readRecords(data.path(QStringLiteral("load.txt")), FieldCount).size(), listed + received);
        }
        QCOMPARE(data.read(QStringLiteral("cp_load.txt")), recordBytes(list));
        QVERIFY(change.cleanUp(!refused).done());
        QVERIFY(!data.exists(QStringLiteral("cp_load.txt")));
        QCOMPARE(data.exists(QStringLiteral("getData")), refused);
    }

    void missingFiles()
    {
        ScratchData data;
        data.write(QStringLiteral("load.txt"), recordBytes({contact(QStringLiteral("よみ"), QStringLiteral("名"))}));
        QVERIFY(ChangeTransaction(importPlan()).apply(importChange()).missingFile(ChangeFile::Received));
        QVERIFY(data.exists(QStringLiteral("cp_load.txt")));

        // Without a backup the target itself is looked for: made anew, empty,
        // for a save; left missing for a blank.
        QVERIFY(ChangeTransaction(profileBlankPlan()).apply(profileWriteChange(blankProfile())).missingFile(ChangeFile::Target));
        QVERIFY(!data.exists(QStringLiteral("myload.txt")));
        QVERIFY(ChangeTransaction(profileSavePlan()).apply(profileWriteChange(blankProfile())).missingFile(ChangeFile::Target));
        QCOMPARE(data.read(QStringLiteral("myload.txt")), QByteArray());

        // A list that is missing fails at the backup with error 53.
        QFile::remove(data.path(QStringLiteral("load.txt")));
        const ChangeOutcome gone = ChangeTransaction(updatePlan()).apply(deleteChange(QString()));
        QVERIFY(gone.failed());
        QCOMPARE(gone.step, ChangeStep::Backup);
        QCOMPARE(gone.error, ErrNo::FileNotFound);
    }

    void failedChangeLeavesTheTarget()
    {
        ScratchData data;
        const QByteArray old = recordBytes({contact(QStringLiteral("よみ"), QStringLiteral("名"))});
        data.write(QStringLiteral("load.txt"), old);
        const ChangeOutcome outcome = ChangeTransaction(updatePlan()).apply(
            [](const QList<QStringList> &, const QList<QStringList> &) -> QList<QStringList> { throw AppError{ErrNo::Unencodable}; });
        QVERIFY(outcome.failed());
        QCOMPARE(outcome.step, ChangeStep::Change);
        QCOMPARE(outcome.error, ErrNo::Unencodable);
        QCOMPARE(data.read(QStringLiteral("load.txt")), old);
    }

    // A received file larger than its records can be is refused by its size
    // and kept.
    void receivedTooLarge()
    {
        ScratchData data;
        data.write(QStringLiteral("myload.txt"), QByteArray());
        data.write(QStringLiteral("putData"), QByteArray(int(recordBytesBound(1, ProfileFieldCount)) + 1, 'x'));
        const ChangeOutcome refused = ChangeTransaction(profileImportPlan()).apply(profileImportChange(blankProfile()));
        QCOMPARE(refused.kind, ChangeOutcome::Kind::Refused);
        QCOMPARE(refused.reason, receivedFileTooLargeMessage());
        QVERIFY(data.exists(QStringLiteral("putData")));
    }
};

QTEST_GUILESS_MAIN(TestChangeTransaction)
#include "test_changetransaction.moc"

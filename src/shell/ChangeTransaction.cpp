#include "shell/ChangeTransaction.h"

#include "shell/AppError.h"
#include "shell/History.h"
#include "shell/RecordFile.h"

#include <optional>

namespace {


ChangeOutcome failedAt(ChangeStep step, int error)
{
    ChangeOutcome outcome;
    outcome.kind = ChangeOutcome::Kind::Failed;
    outcome.step = step;
    outcome.error = error;
    return outcome;
}

ChangeOutcome missingFile(ChangeFile file)
{
    ChangeOutcome outcome;
    outcome.kind = ChangeOutcome::Kind::MissingFile;
    outcome.missing = file;
    return outcome;
}

ChangeOutcome refused(const QString &reason)
{
    ChangeOutcome outcome;
    outcome.kind = ChangeOutcome::Kind::Refused;
    outcome.reason = reason;
    return outcome;
}

} // namespace

ChangeTransaction::ChangeTransaction(ChangePlan plan)
    : plan_(std::move(plan))
{
}

ChangeOutcome ChangeTransaction::apply(const ChangeFunction &change)
{
    const ChangePlan &p = plan_;
    std::optional<ChangeOutcome> stop;

    if (const int error = trapError([&] {
            if (!p.backup.isEmpty()) {
                backUpFile(p.target, p.backup);
            } else if (p.whenTargetMissing != ChangePlan::WhenTargetMissing::Proceed && !fileExists(p.target)) {
                // The file went missing while its window was open: an empty
                // one is made where asked, and the next change fills it.
                if (p.whenTargetMissing == ChangePlan::WhenTargetMissing::CreateEmpty)
                    createEmptyFile(p.target);
                stop = missingFile(ChangeFile::Target);
            }
        }))
        return failedAt(p.backup.isEmpty() ? ChangeStep::Write : ChangeStep::Backup, error);
    if (stop)
        return *stop;

    QList<QStringList> current;
    QList<QStringList> received;
    if (const int error = trapError([&] {
            if (!p.backup.isEmpty() && !fileExists(p.backup)) {
                stop = missingFile(ChangeFile::Backup);
                return;
            }
            if (!p.received.isEmpty()) {
                if (!fileExists(p.received)) {
                    stop = missingFile(ChangeFile::Received);
                    return;
                }
                if (receivedFileTooLarge(p.received, p.receivedRecordsAtMost, p.linesPerRecord)) {
                    stop = refused(receivedFileTooLargeMessage());
                    return;
                }
                received = readRecords(p.received, p.linesPerRecord, p.recordLimit);
            }
            const bool limited = p.recordLimit >= 0;
            const qsizetype room = limited ? p.recordLimit - received.size() : -1;
            if (p.readCurrent && (!limited || room >= 0))
                current = readRecords(p.backup, p.linesPerRecord, room);
            if (limited && received.size() + current.size() > p.recordLimit)
                stop = refused(p.limitReason);
        }))
        return failedAt(ChangeStep::Read, error);
    if (stop)
        return *stop;

    QList<QStringList> records;
    if (const int error = trapError([&] {
            try {
                records = change(current, received);
            } catch (const ChangeRefusal &refusal) {
                stop = refused(refusal.reason);
            }
        }))
        return failedAt(ChangeStep::Change, error);
    if (stop)
        return *stop;
    // The lists served the change alone; the new records are all it needs.
    current.clear();
    received.clear();

    QString kept;
    if (const int error = trapError([&] {
            kept = keepVersion(p);
        }))
        return failedAt(ChangeStep::Write, error);
    if (const int error = trapError([&] {
            // An undo puts the kept bytes back as they were, not records
            // read and written again.
            if (!p.restoredVersion.isEmpty())
                backUpFile(p.restoredVersion, p.target);
            else
                writeRecordsAtomically(p.target, records, p.encodedRecords);
        })) {
        // The kept version is still the live file: it goes with the change.
        trapError([&] { dropVersion(kept, p.target); });
        return failedAt(ChangeStep::Write, error);
    }
    if (const int error = trapError([&] { settleHistory(p); }))
        return failedAt(ChangeStep::Write, error);
    return {};
}

ChangeOutcome ChangeTransaction::cleanUp(bool receivedUsed)
{
    if (const int error = trapError([&] {
            if (!plan_.backup.isEmpty())
                removeFile(plan_.backup);
            if (receivedUsed && !plan_.received.isEmpty())
                removeFile(plan_.received);
        }))
        return failedAt(ChangeStep::CleanUp, error);
    return {};
}

#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// Every change of a data file runs through a ChangeTransaction: the backup
// copy, the read of the current and the received records, the change
// function, the atomic replacement (temporary file, fsync, rename, folder
// fsync) and the deletion of the backup and of the used received file. It
// shows nothing: it returns an outcome, which the window turns into its
// message or error report, and the window reloads what it shows between
// apply() and cleanUp().

// The files of a change.
enum class ChangeFile { Target, Backup, Received };

// The steps of a change, in their order; a failure names the one it met.
enum class ChangeStep { Backup, Read, Change, Write, CleanUp };

struct ChangeOutcome {
    enum class Kind {
        Done,        // the target was replaced, or the clean-up went through
        Refused,     // nothing was written; reason tells the user why
        MissingFile, // a file the change needs isn't there (missing says which)
        Failed,      // a step failed with the error number; the old target stands
    };
    Kind kind = Kind::Done;
    QString reason;
    ChangeFile missing = ChangeFile::Target;
    ChangeStep step = ChangeStep::Backup;
    int error = 0;

    bool done() const { return kind == Kind::Done; }
    bool failed() const { return kind == Kind::Failed; }
    bool missingFile(ChangeFile file) const { return kind == Kind::MissingFile && missing == file; }
};

// The new records of the target, computed from the current records (the
// backup's, when the plan reads them; else none) and the received records
// (when the plan has a received file; else none).
using ChangeFunction =
    std::function<QList<QStringList>(const QList<QStringList> &current, const QList<QStringList> &received)>;

// A writer's change, described once.
class EncodedRecords;

struct ChangePlan {
    // What to do when the target isn't there (checked only by a plan without
    // a backup, whose backup copy would fail on a missing file anyway).
    enum class WhenTargetMissing { Proceed, Stop, CreateEmpty };

    QString name;          // the user's name of the change: "データ取込", "更新", ...
    QString target;        // the file that is replaced
    int linesPerRecord = 0;
    QString backup;        // the backup copy kept until cleanUp(); empty: none
    bool readCurrent = false; // the change function gets the current records, read from the backup
    QString received;      // records from outside; empty: none
    // A received file larger than this many records of the field limits can
    // take is refused by its size, before any of it is read, and kept.
    int receivedRecordsAtMost = 1;
    // The received and current records together may not pass this (-1: no
    // limit). Each file is read only until the limit is certainly passed,
    // so a huge received file never fills the memory.
    int recordLimit = -1;
    QString limitReason;   // the refusal when they would
    WhenTargetMissing whenTargetMissing = WhenTargetMissing::Proceed;
    // The history version an undo puts back: its bytes replace the target
    // (the change function's records are not written), and it leaves the
    // history once the target is replaced (src/shell/History.h).
    QString restoredVersion;
    // Records among the change function's whose bytes were made ahead; not
    // owned, kept alive by the caller until apply() returns.
    const EncodedRecords *encodedRecords = nullptr;
};

// Thrown by a change function that won't run without the user's consent
// (the update that would replace another contact): the outcome is Refused
// with this reason, nothing is written, and the backup stays for cleanUp().
struct ChangeRefusal {
    QString reason;
};

class ChangeTransaction {
public:
    explicit ChangeTransaction(ChangePlan plan);

    // Makes the backup, checks for the files, reads, runs change and
    // replaces the target; the contact list and the profile keep their old
    // file in the undo history (src/shell/History.h). On Done the backup (if any) is still there; on
    // Refused it is too, and the received file is untouched.
    ChangeOutcome apply(const ChangeFunction &change);

    // Deletes the backup copy, and the received file when receivedUsed. For
    // after the caller has shown the new file (or the refusal).
    ChangeOutcome cleanUp(bool receivedUsed);

    const ChangePlan &plan() const { return plan_; }

private:
    ChangePlan plan_;
};

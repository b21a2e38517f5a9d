#pragma once

#include "shell/ChangeTransaction.h"

#include <QList>
#include <QString>

#include <optional>

// The undo history: before a change replaces the contact list or the
// profile, the file as it was is kept in the history folder of the data
// folder, as "<file>.<number>.<change>.txt" (load.000042.更新.txt,
// myload.000007.本人更新.txt): its file name without ".txt", a number that
// grows with every version, and the name of the change it came before. The
// last HistoryDepth versions of each file are kept.
//
// The old file is kept by a hard link made just before the rename that
// replaces it, so keeping it costs no copy; after the rename its inode is in
// the history alone. Where no link can be made (another file system, a file
// readable by others) it is copied.

constexpr int HistoryDepth = 20;

// The change that restores a version: undoing never adds a step to walk
// back through; it keeps the list it replaces under this name.
inline constexpr char16_t UndoChangeName[] = u"元に戻す";

struct HistoryVersion {
    QString path;
    int number = 0;
    QString changeName; // the change it came before: "データ取込", "更新", ...
};

// dataFolder()/history.
QString historyFolder();

// The history's name for a data file ("load", "myload"), or empty for a
// file without history.
QString historyStemFor(const QString &target);

// The versions kept of a data file, the oldest first.
QList<HistoryVersion> historyVersions(const QString &target);

// The version that undo restores: the newest that was not kept by an undo.
std::optional<HistoryVersion> lastUndoable(const QString &target);

// For the change transaction: keepVersion keeps the target as it is (nothing
// when it has no history or isn't there) and returns the version's path;
// dropVersion takes it back when the replace failed before its rename; settleHistory, once the
// target is replaced, removes the version the plan restored and the
// versions past HistoryDepth. All throw AppError.
QString keepVersion(const ChangePlan &plan);
void dropVersion(const QString &kept, const QString &target);
void settleHistory(const ChangePlan &plan);

// Deletes the temporary files that a version's copy stopped before its
// rename left in the history folder. Only for start-up, like
// removeStaleTemporaries.
void removeStaleHistoryTemporaries();

// The plan of an undo: like, a plan of the same file with its backup,
// turned into the restore of version.
ChangePlan undoPlan(ChangePlan like, const HistoryVersion &version);
// Its change: none, as the transaction copies the version's bytes.
ChangeFunction restoreChange();
// What the window says once it is done: "データ取込を元に戻しました".
QString undoneMessage(const HistoryVersion &version);

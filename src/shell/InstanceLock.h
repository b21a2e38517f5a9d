#pragma once

#include <QLockFile>

// One writer per data folder: the lock lies in the data folder itself, so
// that two sessions of the user (another login, another machine on a shared
// home folder, a session without a runtime folder) never write at once.
// QLockFile records host and process, so the lock of a dead holder is taken
// over, on NFS too.
enum class InstanceLock { Taken, HeldByOther };

// Creates the data folder when missing (mode 0700) and takes the lock at
// PsLockPass() in lock, before anything else is done in the folder. Held for
// as long as lock lives. Throws AppError when the folder can't be made or the
// lock fails for another reason than another holder.
InstanceLock lockDataFolder(QLockFile &lock);

// The same in a data folder that is there already. It makes no call of the
// file layer (FileOps), whose calls then keep their order: the import
// command takes the lock on a thread of its own while it reads.
InstanceLock lockMadeDataFolder(QLockFile &lock);

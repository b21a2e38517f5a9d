#include "shell/InstanceLock.h"

#include "shell/AppError.h"
#include "shell/BasConst.h"
#include "shell/RecordFile.h"

#include <QFile>

InstanceLock lockDataFolder(QLockFile &lock)
{
    ensureFolder(dataFolder());
    // A killed holder's process is gone, which makes its lock stale at once.
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0)) {
        if (lock.error() == QLockFile::LockFailedError)
            return InstanceLock::HeldByOther;
        throw AppError{lock.error() == QLockFile::PermissionError ? ErrNo::PermissionDenied : ErrNo::DeviceIo};
    }
    // QLockFile creates the file by the umask; like every file here it is the owner's alone.
    QFile::setPermissions(lock.fileName(), QFile::ReadOwner | QFile::WriteOwner);
    return InstanceLock::Taken;
}

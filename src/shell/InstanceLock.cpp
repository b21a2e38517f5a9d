#include "shell/InstanceLock.h"

#include "shell/AppError.h"
#include "shell/BasConst.h"
#include "shell/RecordFile.h"

#include <QFile>

#include <sys/stat.h>

InstanceLock lockDataFolder(QLockFile &lock)
{
    ensureFolder(dataFolder());
    return lockMadeDataFolder(lock);
}

InstanceLock lockMadeDataFolder(QLockFile &lock)
{
    // A killed holder's process is gone, which makes its lock stale at once.
    lock.setStaleLockTime(0);
    // QLockFile creates the file by the umask; like every file here it is
    // the owner's alone, from the start: a process killed before the chmod
    // below leaves no lock file that others may read.
    const mode_t umaskBefore = ::umask(077);
    const bool locked = lock.tryLock(0);
    ::umask(umaskBefore);
    if (!locked) {
        if (lock.error() == QLockFile::LockFailedError)
            return InstanceLock::HeldByOther;
        throw AppError{lock.error() == QLockFile::PermissionError ? ErrNo::PermissionDenied : ErrNo::DeviceIo};
    }
    // A folder with a default ACL gives new files its mode, not the umask's.
    QFile::setPermissions(lock.fileName(), QFile::ReadOwner | QFile::WriteOwner);
    return InstanceLock::Taken;
}

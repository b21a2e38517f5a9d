#pragma once

#include <sys/stat.h>
#include <sys/types.h>

// Every file-system call of the file layer goes through here, so that a test
// can make any one of them fail, or stop the process on entry to it. In the
// program no hook is set and each function is the plain system call.
namespace FileOps {

enum class Call { Stat, Open, Read, Write, Fsync, Close, Rename, Unlink, MkTemp, MkDir, Link,
                  ReadLink, Clone, CopyRange };

struct Entry {
    Call call;
    const char *path; // the file or folder named, or null for a descriptor
    const char *to;   // the destination of a rename, else null
    int fd;           // the descriptor worked on (the destination of a clone or copy), else -1
};

// Asked on entry to every call. Returns 0 to let the call run, or an errno
// value with which the call fails instead (a close still releases its
// descriptor, as the system's does).
using Hook = int (*)(const Entry &entry);
void setHook(Hook hook);

int stat(const char *path, struct ::stat *st);
int open(const char *path, int flags, mode_t mode = 0);
ssize_t read(int fd, void *buf, size_t count);
ssize_t write(int fd, const void *buf, size_t count);
int fsync(int fd);
int close(int fd);
// Without replace, an existing destination is kept and the call fails with
// EEXIST (renameat2 RENAME_NOREPLACE, which some file systems, NFS among
// them, refuse with EINVAL).
int rename(const char *from, const char *to, bool replace = true);
int unlink(const char *path);
int mkostemp(char *pathTemplate, int flags);
int mkdir(const char *path, mode_t mode);
// A hard link to the file at from (a symbolic link followed); fails with
// EEXIST when to is taken.
int link(const char *from, const char *to);
// The target of the symbolic link at path, not terminated; EINVAL when path
// is no symbolic link.
ssize_t readlink(const char *path, char *buf, size_t size);
// Makes the file at dst share the blocks of the file at src (ioctl FICLONE,
// a reflink); file systems without it refuse with EOPNOTSUPP, EXDEV or EINVAL.
int clone(int dst, int src);
// Copies up to count bytes from in to out at their offsets, inside the
// kernel (copy_file_range); returns how many, 0 at the end of in.
ssize_t copyRange(int in, int out, size_t count);

} // namespace FileOps

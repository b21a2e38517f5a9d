#pragma once

#include <sys/stat.h>
#include <sys/types.h>

// Every file-system call of the file layer goes through here, so that a test
// can make any one of them fail, or stop the process on entry to it. In the
// program no hook is set and each function is the plain system call.
namespace FileOps {

enum class Call { Stat, Open, Read, Write, Fsync, Close, Rename, Unlink, MkTemp, MkDir, Link };

struct Entry {
    Call call;
    const char *path; // the file or folder named, or null for a descriptor
    const char *to;   // the destination of a rename, else null
    int fd;           // the descriptor worked on, else -1
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
// Without replace, an existing destination is kept and the call fails with EEXIST.
int rename(const char *from, const char *to, bool replace = true);
int unlink(const char *path);
int mkostemp(char *pathTemplate, int flags);
int mkdir(const char *path, mode_t mode);
// A hard link to the file at from (a symbolic link followed); fails with
// EEXIST when to is taken.
int link(const char *from, const char *to);

} // namespace FileOps

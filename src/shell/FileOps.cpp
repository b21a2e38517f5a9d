#include "shell/FileOps.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace FileOps {

namespace {
Hook currentHook = nullptr;

// The errno with which the hook makes this call fail, or 0.
int refusal(Call call, const char *path, const char *to = nullptr, int fd = -1)
{
    return currentHook ? currentHook(Entry{call, path, to, fd}) : 0;
}

template <typename Result>
Result fail(int err)
{
    errno = err;
    return Result(-1);
}
} // namespace

void setHook(Hook hook)
{
    currentHook = hook;
}

int stat(const char *path, struct ::stat *st)
{
    if (const int err = refusal(Call::Stat, path))
        return fail<int>(err);
    return ::stat(path, st);
}

int open(const char *path, int flags, mode_t mode)
{
    if (const int err = refusal(Call::Open, path))
        return fail<int>(err);
    return ::open(path, flags, mode);
}

ssize_t read(int fd, void *buf, size_t count)
{
    if (const int err = refusal(Call::Read, nullptr, nullptr, fd))
        return fail<ssize_t>(err);
    return ::read(fd, buf, count);
}

ssize_t write(int fd, const void *buf, size_t count)
{
    if (const int err = refusal(Call::Write, nullptr, nullptr, fd))
        return fail<ssize_t>(err);
    return ::write(fd, buf, count);
}

int fsync(int fd)
{
    if (const int err = refusal(Call::Fsync, nullptr, nullptr, fd))
        return fail<int>(err);
    return ::fsync(fd);
}

int close(int fd)
{
    if (const int err = refusal(Call::Close, nullptr, nullptr, fd)) {
        ::close(fd);
        return fail<int>(err);
    }
    return ::close(fd);
}

int rename(const char *from, const char *to, bool replace)
{
    if (const int err = refusal(Call::Rename, from, to))
        return fail<int>(err);
    return replace ? ::rename(from, to) : ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
}

int unlink(const char *path)
{
    if (const int err = refusal(Call::Unlink, path))
        return fail<int>(err);
    return ::unlink(path);
}

int mkostemp(char *pathTemplate, int flags)
{
    if (const int err = refusal(Call::MkTemp, pathTemplate))
        return fail<int>(err);
    return ::mkostemp(pathTemplate, flags);
}

int mkdir(const char *path, mode_t mode)
{
    if (const int err = refusal(Call::MkDir, path))
        return fail<int>(err);
    return ::mkdir(path, mode);
}

int link(const char *from, const char *to)
{
    if (const int err = refusal(Call::Link, from, to))
        return fail<int>(err);
    return ::linkat(AT_FDCWD, from, AT_FDCWD, to, AT_SYMLINK_FOLLOW);
}

ssize_t readlink(const char *path, char *buf, size_t size)
{
    if (const int err = refusal(Call::ReadLink, path))
        return fail<ssize_t>(err);
    return ::readlink(path, buf, size);
}

int clone(int dst, int src)
{
    if (const int err = refusal(Call::Clone, nullptr, nullptr, dst))
        return fail<int>(err);
    return ::ioctl(dst, FICLONE, src);
}

ssize_t copyRange(int in, int out, size_t count)
{
    if (const int err = refusal(Call::CopyRange, nullptr, nullptr, out))
        return fail<ssize_t>(err);
    return ::copy_file_range(in, nullptr, out, nullptr, count, 0);
}

} // namespace FileOps

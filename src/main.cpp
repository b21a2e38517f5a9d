#include "cli/CommandLine.h"

#include <malloc.h>

int main(int argc, char *argv[])
{
    // A command builds tens of thousands of small values and ends. The heap
    // grows 32 MB at a time (one brk or mprotect call where there were
    // hundreds of 128 KB steps, each a system call and a change of the
    // mapping) and keeps what is freed for the next values, instead of
    // handing it back and faulting it in again. The window program is
    // another process: exec starts it with the usual heap.
    mallopt(M_TOP_PAD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    return runCommandLine(argc, argv, CommandEnd::ProcessExits);
}

#include "cli/CommandLine.h"

#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[])
{
    const int code = runCommandLine(argc, argv, CommandEnd::ProcessExits);
    // A command ends here with every file closed and its lock released.
    // _exit skips the libraries' exit handlers (Qt's, ICU's, GLib's: code
    // faulted in only to run once), a millisecond and more of a 20 ms query;
    // standard output and error are flushed first.
    std::fflush(nullptr);
    _exit(code);
}

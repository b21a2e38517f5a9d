#include "quick/ProgramStart.h"
#include "quick/QuickQuery.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

bool writeAll(int fd, const char *p, size_t left)
{
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= size_t(n);
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    int code;
    QuickQuery::Answer answer;
    if (argc < 2 || (argv[1][0] == '-' && std::strcmp(argv[1], "--help") != 0 && std::strcmp(argv[1], "-h") != 0
                     && std::strcmp(argv[1], "--version") != 0)) {
        // No subcommand, or only the window's own options (-platform, -style …).
        code = execWindowProgram(argv);
    } else if (std::strcmp(argv[1], "query") == 0 && QuickQuery::answer(argc, argv, answer)) {
        code = writeAll(STDOUT_FILENO, answer.text, answer.size) ? answer.exitCode : reportOutputError(errno);
    } else {
        code = runFullCommand(argc, argv);
    }
    // A command ends here with every file closed and its lock released.
    // _exit skips the libraries' exit handlers (Qt's, ICU's, GLib's: code
    // faulted in only to run once), a millisecond and more of a 20 ms query;
    // standard output and error are flushed first.
    std::fflush(nullptr);
    _exit(code);
}

#include "cli/WindowLauncher.h"

#include "cli/CommandLine.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

// Plain C library calls only: the window start should cost nothing more
// than the exec.
int execWindowProgram(char *argv[])
{
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) {
        std::fprintf(stderr, "tessaline: 実行ファイルの場所がわかりません (%s)\n", std::strerror(errno));
        return ExitCode::FileError;
    }
    self[n] = '\0';
    std::string folder(self);
    folder.resize(folder.rfind('/') + 1);

    const std::string candidates[] = {folder + TESSALINE_WINDOW_FROM_BIN,
                                      folder + "tessaline-window"};
    int lastError = ENOENT;
    for (const std::string &path : candidates) {
        execv(path.c_str(), argv);
        lastError = errno;
        if (lastError != ENOENT && lastError != ENOTDIR)
            break;
    }
    std::fprintf(stderr, "tessaline: 画面のプログラム tessaline-window を起動できません (%s)\n",
                 std::strerror(lastError));
    return ExitCode::FileError;
}

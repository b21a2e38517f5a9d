#include "quick/ProgramStart.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <initializer_list>
#include <unistd.h>

namespace {

// The full command's exit code for a file error.
constexpr int kFileError = 4;

// The folder of this program, with its final slash; false after a message
// when it can't be known.
bool ownFolder(char (&folder)[PATH_MAX])
{
    const ssize_t n = readlink("/proc/self/exe", folder, sizeof folder - 1);
    if (n <= 0) {
        std::fprintf(stderr, "tessaline: 実行ファイルの場所がわかりません (%s)\n", std::strerror(errno));
        return false;
    }
    folder[n] = '\0';
    std::strrchr(folder, '/')[1] = '\0';
    return true;
}

// folder + name in path; false when it would not fit.
bool join(char (&path)[PATH_MAX], const char *folder, const char *name)
{
    const int n = std::snprintf(path, sizeof path, "%s%s", folder, name);
    return n > 0 && size_t(n) < sizeof path;
}

// The command-line library's function of that name, loaded once; nothing
// after a message on standard error.
void *fullCommandFunction(const char *name)
{
    static void *library = nullptr;
    if (!library) {
        char folder[PATH_MAX];
        if (!ownFolder(folder))
            return nullptr;
        const char *lastError = "";
        for (const char *candidate : {TESSALINE_CLI_FROM_BIN, "libtessaline-cli.so"}) {
            char path[PATH_MAX];
            if (!join(path, folder, candidate))
                continue;
            // Bound now: a library that can't be bound fails here, not
            // halfway through a command.
            library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
            if (library)
                break;
            lastError = dlerror();
        }
        if (!library) {
            std::fprintf(stderr, "tessaline: コマンドのライブラリ libtessaline-cli.so を読み込めません (%s)\n",
                         lastError);
            return nullptr;
        }
    }
    void *function = dlsym(library, name);
    if (!function)
        std::fprintf(stderr, "tessaline: コマンドのライブラリに %s がありません\n", name);
    return function;
}

} // namespace

int execWindowProgram(char *argv[])
{
    char folder[PATH_MAX];
    if (!ownFolder(folder))
        return kFileError;
    int lastError = ENOENT;
    for (const char *candidate : {TESSALINE_WINDOW_FROM_BIN, "tessaline-window"}) {
        char path[PATH_MAX];
        if (!join(path, folder, candidate))
            continue;
        execv(path, argv);
        lastError = errno;
        if (lastError != ENOENT && lastError != ENOTDIR)
            break;
    }
    std::fprintf(stderr, "tessaline: 画面のプログラム tessaline-window を起動できません (%s)\n",
                 std::strerror(lastError));
    return kFileError;
}

int runFullCommand(int argc, char *argv[])
{
    using Run = int (*)(int, char **);
    const auto run = reinterpret_cast<Run>(fullCommandFunction("tessaline_run_command_line"));
    return run ? run(argc, argv) : kFileError;
}

int reportOutputError(int error)
{
    using Report = int (*)(int);
    const auto report = reinterpret_cast<Report>(fullCommandFunction("tessaline_report_output_error"));
    return report ? report(error) : kFileError;
}

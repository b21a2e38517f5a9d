#pragma once

// The tessaline command: with a subcommand it works on the data folder
// without a display; without one it replaces itself by the window program.
// Returns the exit code (see ExitCode).
int runCommandLine(int argc, char *argv[]);

namespace ExitCode {
constexpr int Done = 0;
constexpr int NothingFound = 1;
constexpr int UsageError = 2;
constexpr int Refused = 3;
constexpr int FileError = 4;
}

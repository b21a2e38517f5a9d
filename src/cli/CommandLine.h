#pragma once

// The tessaline command's subcommands, which work on the data folder
// without a display (the command starts the window program itself when
// none is given; see quick/ProgramStart.h). Returns the exit code (see
// ExitCode).
//
// ProcessExits: the command has the process to itself and the caller ends
// it right after: the import and the export set up the heap for themselves
// (HeapGrowth), and the import leaves its contacts to the process's end
// rather than freeing them one string at a time (milliseconds for 10000
// contacts). In-process callers (tests) keep the default and free
// everything.
enum class CommandEnd { FreesMemory, ProcessExits };
int runCommandLine(int argc, char *argv[], CommandEnd end = CommandEnd::FreesMemory);

// Says that standard output could not be written (error is the errno), as
// a command says it; returns the exit code.
int reportStandardOutputError(int error);

namespace ExitCode {
constexpr int Done = 0;
constexpr int NothingFound = 1;
constexpr int UsageError = 2;
constexpr int Refused = 3;
constexpr int FileError = 4;
}

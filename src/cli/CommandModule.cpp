// The entry points of libtessaline-cli.so, which the tessaline command
// loads for every subcommand it doesn't answer itself (see
// quick/ProgramStart.h). Everything else in the library stays hidden.
#include "cli/CommandLine.h"

#define TESSALINE_EXPORT extern "C" __attribute__((visibility("default")))

TESSALINE_EXPORT int tessaline_run_command_line(int argc, char *argv[])
{
    return runCommandLine(argc, argv, CommandEnd::ProcessExits);
}

TESSALINE_EXPORT int tessaline_report_output_error(int error)
{
    return reportStandardOutputError(error);
}

#pragma once

// How the tessaline command goes on from its first look at the command
// line: to the window program, or to the full command line in a library of
// its own, which links Qt Core. The command itself links the C library
// alone, so that the quick query (QuickQuery.h) answers without loading Qt.

// Replaces this process by the window program, with the same arguments and
// environment and the same process id. The window program lies in
// ../libexec/tessaline/ beside the installed command, or in the same folder
// in a build tree; both are found from /proc/self/exe. Returns only when
// neither can be started, after saying so on standard error.
int execWindowProgram(char *argv[]);

// Loads the command-line library (../lib/<arch>/tessaline/ beside the
// installed command, or the same folder in a build tree) and runs the
// command in it; its exit code, or the file error's after a message when
// the library can't be loaded.
int runFullCommand(int argc, char *argv[]);

// Says, in the full command's words, that standard output could not be
// written (error is the errno); returns the exit code.
int reportOutputError(int error);

#pragma once

// Replaces this process by the window program, with the same arguments and
// environment and the same process id. The window program lies in
// ../libexec/tessaline/ beside the installed command, or in the same folder
// in a build tree; both are found from /proc/self/exe. Returns only when
// neither can be started, after saying so on standard error.
int execWindowProgram(char *argv[]);

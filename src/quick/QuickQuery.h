#pragma once

// `tessaline query TEXT` answered before Qt is loaded. A mail client runs
// the query at each address it completes, and loading Qt Core with ICU and
// GLib takes the most of a query's time (9 ms of 18 on a 10000-contact
// list here); the list file's bytes, the code page tables made at build
// time and the C library are all the answer needs. Anything out of the
// ordinary (a missing or damaged list, a value that folds with its
// neighbours, an unusual data folder) is left to the full program, which
// answers it from scratch: this answers nothing it isn't sure of.

#include <cstddef>

namespace QuickQuery {

struct Answer {
    char *text = nullptr; // what the command prints, in UTF-8 (malloc'd)
    size_t size = 0;
    int exitCode = 0;
};

// The answer to the command line argv (argv[1] is "query"), or false when
// the full program must give it. The list is the one in the data folder
// that the environment names, as the full program finds it.
bool answer(int argc, char *argv[], Answer &answer);

} // namespace QuickQuery

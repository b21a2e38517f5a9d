#pragma once

#include <QString>

#include <new>

// The one error that the file layer and the record rules throw. A routine
// that traps errors catches it at its boundary and shows ErrorReport with
// the number; the number indexes the description table of BasCommn.
struct AppError {
    int number;
};

namespace ErrNo {
constexpr int OutOfMemory = 7;
constexpr int FileNotFound = 53;
constexpr int DeviceIo = 57;
constexpr int FileExists = 58;
constexpr int DiskFull = 61;
constexpr int InputPastEnd = 62;
constexpr int PermissionDenied = 70;
constexpr int PathFileAccess = 75;
constexpr int PathNotFound = 76;
// Our own: a file holds bytes that are not code page 932 text.
constexpr int BadBytes = 1001;
// Our own: a value holds a character that code page 932 can't store.
constexpr int Unencodable = 1002;
// Our own: a line far longer than any value (a damaged or foreign file).
constexpr int LineTooLong = 1003;
// Our own: this Qt has no code page 932 converter.
constexpr int NoConverter = 1004;
// Our own: a data file is a folder, a FIFO, a device or a socket, which is
// never opened for reading (a FIFO would wait for a writer).
constexpr int NotAFile = 1005;
// A grid row or column that the grid doesn't have.
constexpr int NoSuchCell = 381;
}

// Runs body and returns the number of the error it failed with (an AppError's
// own, ErrNo::OutOfMemory for std::bad_alloc), or 0. The one place where the
// program turns these exceptions into error numbers: the change transaction
// and the windows' error boundary both trap through it.
template <typename Body>
int trapError(Body &&body)
{
    try {
        body();
        return 0;
    } catch (const AppError &e) {
        return e.number;
    } catch (const std::bad_alloc &) {
        return ErrNo::OutOfMemory;
    }
}

// Maps a C library errno to the error number shown to the user.
int errorNumberFromErrno(int err);

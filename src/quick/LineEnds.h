#pragma once

// Where the lines of a record file end, found on its bytes alone: the list's
// reader and the command's quick query (which answers before Qt is loaded)
// cut the file the same way. A line ends at CR LF, at a lone LF or at a lone
// CR; a last line without a line end still counts.

#include <cstddef>
#include <cstdint>

namespace LineEnds {

// The first CR or LF at or after i and before end, or end.
ptrdiff_t next(const char *bytes, ptrdiff_t i, ptrdiff_t end);
// The same, sixteen bytes at a time, for a file read through in memory.
ptrdiff_t nextWide(const char *bytes, ptrdiff_t i, ptrdiff_t end);

// Where the line after the one ending at lineEnd begins.
inline ptrdiff_t after(const char *bytes, ptrdiff_t lineEnd, ptrdiff_t end)
{
    return lineEnd + (bytes[lineEnd] == '\r' && lineEnd + 1 < end && bytes[lineEnd + 1] == '\n' ? 2 : 1);
}

// The first record start at or after pos (a line's start), counting the
// lines from the file's start; end when no record starts there.
ptrdiff_t recordStartFrom(const char *bytes, ptrdiff_t pos, ptrdiff_t end, int linesPerRecord);

// next() for the lines of a file read one after the other: the line ends of
// 64 bytes are found at once and serve every line that ends among them, as
// most values are far shorter.
class Cursor {
public:
    ptrdiff_t lineEndFrom(const char *bytes, ptrdiff_t pos, ptrdiff_t end);

private:
    // The CR and LF bits of the 64 bytes from chunk_, those before the last
    // position cleared; chunk_ is 64 bytes or more behind it when none are
    // known.
    ptrdiff_t chunk_ = -64;
    uint64_t chunkEnds_ = 0;
};

} // namespace LineEnds

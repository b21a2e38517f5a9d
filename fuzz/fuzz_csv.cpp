// The CSV reader: any bytes give contacts or a failure with its message,
// never a crash, and reading stops past the limit.

#include "FuzzContacts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    constexpr qsizetype stopAfter = 20;
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    checkOutcome(Interchange::readCsv(bytes, stopAfter), stopAfter);
    return 0;
}

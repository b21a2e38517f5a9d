#pragma once

// What every read of a contact file must give, whatever its bytes: either
// contacts of whole records with bounded photos, or a failure with a message
// and no contacts (reading stopped past the limit keeps what was read).

#include "FuzzRecords.h"

#include "interchange/ContactReader.h"

inline void checkOutcome(const Interchange::ReadOutcome &outcome, qsizetype stopAfter)
{
    using namespace Interchange;
    if (outcome.failure == ReadFailure::None || outcome.failure == ReadFailure::TooMany) {
        FUZZ_CHECK(!outcome.contacts.isEmpty());
        FUZZ_CHECK(outcome.contacts.size() <= stopAfter + 1);
        FUZZ_CHECK((outcome.failure == ReadFailure::TooMany) == (outcome.contacts.size() > stopAfter));
        for (const IncomingContact &c : outcome.contacts) {
            FUZZ_CHECK(c.record.size() == FieldCount);
            FUZZ_CHECK(c.photo.size() <= MaxPhotoBytes);
            FUZZ_CHECK(c.hasReading == !c.record[ReadingField].isEmpty());
        }
    } else {
        FUZZ_CHECK(outcome.contacts.isEmpty());
        FUZZ_CHECK(!outcome.message.isEmpty());
    }
    for (auto it = outcome.leftOut.cbegin(); it != outcome.leftOut.cend(); ++it)
        FUZZ_CHECK(*it > 0);
}

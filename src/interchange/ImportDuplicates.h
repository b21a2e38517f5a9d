#pragma once

#include "interchange/ContactImport.h"

// The preview's 重複の可能性: an incoming contact of status 新規 that shares
// a phone number (TEL1, TEL2 or FAX, compared by phoneKey for region JP) or
// a mail address (Mail1 or Mail2, compared by mailKey) with a listed
// contact gets status PossibleDuplicate and that contact's index.
//
// In a library of its own (tessaline_importcheck), as it links
// libphonenumber, which the command line's import need not load.
namespace Interchange {

void markPossibleDuplicates(ImportPreview &preview, const QList<ContactRecord> &listed);

} // namespace Interchange

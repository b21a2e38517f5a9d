#pragma once

#include "contacts/ContactRecord.h"

#include <QList>

// The import's merge of received contacts into the contact list, in one pass
// over both lists, which are expected in the list's order (by the sort form
// of the reading, then of the name, compared ordinally). A received record
// replaces the listed record with an equal record key when the two meet at
// the merge positions; every other record of either list is kept, and each
// record's values are kept exactly as they are. Lists out of order or with
// duplicate keys still give every record once (less the replaced ones), in
// the order the rules produce; nothing is sorted.
QList<ContactRecord> mergeImport(const QList<ContactRecord> &listed,
                                 const QList<ContactRecord> &received);

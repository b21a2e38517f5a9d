#pragma once

#include "contacts/ContactRecord.h"

#include <QList>
#include <QString>

// The rules of the contact editor that need no window: checking and cleaning
// the edited values, and the two rewrites of the contact list.

// A value of an editor box made ready to save: the JIS forms that input
// methods type folded to their code page 932 twins, trimmed, and a blank
// value written as one half-width blank.
QString cleanValue(const QString &text);

// The first field whose cleaned value is longer than the field allows, or -1.
int firstTooLongField(const ContactRecord &cleaned);

// The first field whose cleaned value holds a character that code page 932
// can't store (an emoji, hangul), or -1.
int firstUnencodableField(const ContactRecord &cleaned);

// The list after an update: the edited contact written once, at its place in
// the order of (reading, name) or in place of the first record with its key;
// every record carrying the old key left out; the other records in their
// order. Full-width blanks in the name and the reading of every record
// become half-width blanks.
QList<ContactRecord> mergeEdited(const QList<ContactRecord> &list, const ContactRecord &edited,
                                 const QString &oldKey);

// The list after a delete: every record carrying the old key left out, the
// others exactly as they were.
QList<ContactRecord> withoutContact(const QList<ContactRecord> &list, const QString &oldKey);

#pragma once

#include "contacts/ContactRecord.h"

#include <QList>

// A deterministic, realistic contact list: Japanese names with their kana
// readings, every field filled, some at their maximum length, sorted as the
// list file is (by the sort form of the reading, then of the name).
QList<ContactRecord> generateContacts(int count, quint32 seed);

// Writes the contacts as a list file at path.
void writeContactFile(const QString &path, const QList<ContactRecord> &contacts);

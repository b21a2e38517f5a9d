#pragma once

#include "contacts/ContactRecord.h"

#include <QList>
#include <QStringView>

// Type-ahead in the contact list: the row of the first contact, from
// startRow on and then from the top (wrapping round), whose reading starts
// with the typed text when it is kana, or whose name starts with it
// otherwise (letters, digits, kanji typed through the input method). Both
// sides are folded as the search folds them (blanks removed, width, letter
// case, hiragana = katakana). -1 when no contact matches or the typed text
// folds to nothing.
//
// The list passes its current row while the typed text grows (so the
// current contact stays while it still matches) and the row after it for a
// new text.
int typeAheadRow(const QList<ContactRecord> &records, QStringView typed, int startRow);

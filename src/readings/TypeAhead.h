#pragma once

#include "contacts/ContactList.h"
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
// The same over the list window's rows (index 0 is the first contact).
int typeAheadRow(const ContactRows &rows, QStringView typed, int startRow);

// The text typed for type-ahead: keys (or input method commits) typed within
// a second of the one before add up; after a longer pause a new text starts.
class TypeAheadText
{
public:
    static constexpr qint64 PauseMs = 1000;

    // Adds what one key typed at msecs (a monotonic clock, e.g.
    // QElapsedTimer::msecsSinceReference()) and returns the text to find.
    QString add(QStringView typed, qint64 msecs);

    // Whether the last add() continued the text (the search then starts at
    // the current row, which still matches) or began a new one (it starts
    // at the row after the current one).
    bool continued() const { return m_continued; }

private:
    QString m_text;
    qint64 m_lastMsecs = 0;
    bool m_continued = false;
};

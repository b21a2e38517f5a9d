#pragma once

#include "contacts/ContactRecord.h"

#include <QDate>
#include <QList>

class QPagedPaintDevice;

// Prints contacts as a list on paper or into a PDF (a QPrinter or a
// QPdfWriter): one line a contact (氏名, 氏名ふりがな, TEL1, Mail1, 所属先1)
// under the headings of the rows of the Japanese syllabary, あ行 to わ行
// and then その他, each contact under the row of its reading's first kana.
// Within a row the contacts keep the order they are given in (the list's
// reading order). Each page has the column captions at the top and its
// number, the page count and the date at the bottom. The text is set in
// Noto Sans CJK JP, which the PDF embeds.
//
// Returns the number of pages printed; 0 when the device can't be painted
// on (a printer that failed to start).
int printContacts(const QList<ContactRecord> &contacts, QPagedPaintDevice &device,
                  const QDate &date = QDate::currentDate());

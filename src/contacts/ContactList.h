#pragma once

#include "contacts/ContactRecord.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <array>
#include <vector>

// The contact list as the list window holds it: a row per contact, with the
// text of its check cell and the colours of its cells. Rows are numbered as
// the grid numbers them: row 1 is the first contact (rows[0]); column 0 is
// the check cell and column c the record's field c - 1.

// The colours of the classic 16-colour palette that the list uses, as
// 0xAARRGGBB; 0 stands for the normal colour.
namespace Palette {
constexpr quint32 Black = 0xff000000;
constexpr quint32 LightGrey = 0xffc0c0c0;
constexpr quint32 LightGreen = 0xff00ff00;
constexpr quint32 LightCyan = 0xff00ffff;
constexpr quint32 LightYellow = 0xffffff00;
constexpr quint32 BrightWhite = 0xffffffff;
} // namespace Palette

constexpr int ListColumns = FieldCount + 1;

struct ContactRow {
    ContactRecord record = emptyContact();
    QString check;                           // the check cell's text ("ON", "OFF")
    std::array<quint32, ListColumns> colours{}; // by column; 0: the normal colour
};

using ContactRows = std::vector<ContactRow>;

// The check marks. A check click compares the cell exactly; the buttons and
// the export trim it first (isChecked).
void setChecked(ContactRow &row, bool checked);

// "全チェック" (checked) and "全クリア": every row of 1 .. lastRow in the other
// state is switched; rows already there keep their colours.
void switchEveryCheck(ContactRows &rows, int lastRow, bool checked);

// How many of rows 1 .. lastRow are checked.
int checkedCount(const ContactRows &rows, int lastRow);

// The checked contacts of rows 1 .. lastRow in their order, each blank
// value written as one half-width blank, as the export file holds them.
QList<ContactRecord> checkedContacts(const ContactRows &rows, int lastRow);

// Paints the data cells (columns 1 .. 20) of a row.
void paintRow(ContactRow &row, quint32 colour);

// One search step: the first of rows from .. lastRow whose value in the
// column contains the sought text (folded once with foldForSearch), or 0.
int findNext(const ContactRows &rows, int column, QStringView foldedSought, int from, int lastRow);

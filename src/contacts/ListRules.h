#pragma once

#include <QString>
#include <QStringView>

// Rules of the contact list window that need no window: the check mark of a
// row, the grid column that a search field stands for, and the limit and
// messages of the export.

inline const QString CheckOn = QStringLiteral("ON");
inline const QString CheckOff = QStringLiteral("OFF");

// A row is checked when its check cell, trimmed, reads "ON".
bool isChecked(QStringView checkCellText);

// The grid column searched for an entry of the field selector (trimmed
// first), or 0 for a text that is no entry.
int searchColumn(QStringView entry);

// One export writes at most this many contacts.
constexpr int MaxExportRecords = 30;

// Why an export of this many checked rows is refused, or empty when it may
// go ahead.
QString exportRefusal(int checkedCount);

// The message after this many contacts were exported.
QString exportDoneMessage(int count);

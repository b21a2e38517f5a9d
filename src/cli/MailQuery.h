#pragma once

#include "contacts/ContactRecord.h"

#include <QList>
#include <QString>
#include <QStringView>

// The answer to a mail client's address query: one line
// "mail<TAB>name<TAB>reading" for each mail address of each contact whose
// name, reading, mails, affiliations or phones contain the sought text,
// folded as the list's search folds; addressCount is set to the number of
// lines. A contact without a mail address gives no line. Tabs and line
// breaks inside values become blanks.
QString mailQueryLines(const QList<ContactRecord> &contacts, QStringView sought, int *addressCount);

#pragma once

#include "contacts/ContactRecord.h"

#include <QByteArray>
#include <QList>
#include <QString>

enum class VCardVersion { V3, V4 };

// The contacts as vCards: UTF-8, CR LF, lines folded at 75 octets. Every
// value is escaped as text (backslash, comma, semicolon, line break); only
// the data: URI of an embedded vCard 4.0 photo is written as it is.
QByteArray writeVCards(const QList<ContactRecord> &contacts, VCardVersion version,
                       const QString &photoFolder);

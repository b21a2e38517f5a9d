#pragma once

#include "interchange/ContactExport.h"

#include <QString>

class Utf8Output;

enum class VCardVersion { V3, V4 };

// One contact as a vCard: UTF-8, CR LF, lines folded at 75 octets. Every
// value is escaped as text (backslash, comma, semicolon, line break); only
// the data: URI of an embedded vCard 4.0 photo is written as it is.
void writeVCard(Utf8Output &out, const ContactFields &contact, VCardVersion version,
                const QString &photoFolder);

#pragma once

#include "interchange/ContactExport.h"

#include <QString>

class Utf8Output;

enum class VCardVersion { V3, V4 };

// One contact as a vCard: UTF-8, CR LF, lines folded at 75 octets. Every
// value is escaped as text (backslash, comma, semicolon, line break); only
// the data: URI of an embedded vCard 4.0 photo is written as it is. A field
// that is empty in decoded is written from its code page 932 bytes in lines
// (a contact of the list file; all empty for a contact given as text).
// False, with nothing written, when bytes are no code page 932 text (found
// before any photo is read).
bool writeVCard(Utf8Output &out, const ContactFields &decoded, const ContactLines &lines,
                VCardVersion version, const QString &photoFolder);

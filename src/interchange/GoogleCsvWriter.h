#pragma once

#include "interchange/ContactExport.h"

class Utf8Output;

// Google Contacts' CSV export: UTF-8 with a byte order mark, Google's
// header, one row a contact, CR LF, quoted as RFC 4180 says. The fields
// without a column of their own are custom fields, labelled as in FieldMap;
// 顔写真 goes into the Photo column as text.
void writeGoogleCsvHeader(Utf8Output &out);
void writeGoogleCsvRow(Utf8Output &out, const ContactFields &contact);

#pragma once

#include "contacts/ContactRecord.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// Writing contacts for other address books: vCard 3.0 (what phones and
// Google Contacts read), vCard 4.0, and Google Contacts' CSV. Every value of
// the list is written so that a reader of these formats gets it back exactly.
enum class ExportFormat { VCard3, VCard4, GoogleCsv };

// The format named "vcard3", "vcard4" or "csv" (the command line's names).
std::optional<ExportFormat> exportFormatFromName(QStringView name);

// The bytes of the contacts in the format: UTF-8, CR LF line ends (the CSV
// with a byte order mark). A 顔写真 value that names an image file in
// photoFolder is embedded in a vCard; pass an empty folder to write every
// 顔写真 as text. Throws AppError when a photo that is there can't be read.
QByteArray exportContacts(const QList<ContactRecord> &contacts, ExportFormat format,
                          const QString &photoFolder);

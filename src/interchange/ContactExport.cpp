#include "interchange/ContactExport.h"

#include "interchange/GoogleCsvWriter.h"
#include "interchange/VCardWriter.h"

std::optional<ExportFormat> exportFormatFromName(QStringView name)
{
    if (name == u"vcard3")
        return ExportFormat::VCard3;
    if (name == u"vcard4")
        return ExportFormat::VCard4;
    if (name == u"csv")
        return ExportFormat::GoogleCsv;
    return std::nullopt;
}

QByteArray exportContacts(const QList<ContactRecord> &contacts, ExportFormat format,
                          const QString &photoFolder)
{
    switch (format) {
    case ExportFormat::VCard3:
        return writeVCards(contacts, VCardVersion::V3, photoFolder);
    case ExportFormat::VCard4:
        return writeVCards(contacts, VCardVersion::V4, photoFolder);
    case ExportFormat::GoogleCsv:
        return writeGoogleCsv(contacts);
    }
    return {};
}

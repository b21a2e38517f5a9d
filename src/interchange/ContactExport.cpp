#include "interchange/ContactExport.h"

#include "interchange/FieldMap.h"
#include "interchange/GoogleCsvWriter.h"
#include "interchange/Utf8Output.h"
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

ContactExporter::ContactExporter(ExportFormat format, const QString &photoFolder,
                                 qsizetype expectedBytes, Part part)
    : format_(format), photoFolder_(photoFolder),
      out_(std::make_unique<Utf8Output>(std::max<qsizetype>(expectedBytes, 64 * 1024)))
{
    if (format_ == ExportFormat::GoogleCsv && part == Part::Start)
        writeGoogleCsvHeader(*out_);
}

ContactExporter::~ContactExporter() = default;

void ContactExporter::add(const ContactFields &contact)
{
    // Text throughout: nothing to find that is no text.
    (void)add(contact, ContactLines{});
}

quint32 ContactExporter::fieldsToDecode(ExportFormat format)
{
    if (format == ExportFormat::GoogleCsv)
        return ~0u;
    // What the vCard writer looks into: the name and reading it splits, the
    // photo's file name.
    return (1u << NameField) | (1u << ReadingField) | (1u << FieldMap::PhotoField);
}

bool ContactExporter::add(const ContactFields &decoded, const ContactLines &lines)
{
    switch (format_) {
    case ExportFormat::VCard3:
        return writeVCard(*out_, decoded, lines, VCardVersion::V3, photoFolder_);
    case ExportFormat::VCard4:
        return writeVCard(*out_, decoded, lines, VCardVersion::V4, photoFolder_);
    case ExportFormat::GoogleCsv:
        writeGoogleCsvRow(*out_, decoded);
        return true;
    }
    return true;
}

void ContactExporter::add(const ContactRecord &contact)
{
    ContactFields fields;
    for (int i = 0; i < FieldCount && i < contact.size(); ++i)
        fields[i] = contact[i];
    add(fields);
}

QByteArrayView ContactExporter::written() const
{
    return out_->view();
}

void ContactExporter::clearWritten()
{
    out_->clear();
}

void ContactExporter::append(QByteArrayView written)
{
    out_->append(written);
}

QByteArray ContactExporter::take()
{
    return out_->take();
}

QByteArray exportContacts(const QList<ContactRecord> &contacts, ExportFormat format,
                          const QString &photoFolder)
{
    qsizetype characters = 0;
    for (const ContactRecord &r : contacts) {
        for (const QString &value : r)
            characters += value.size();
    }
    // Mostly three-byte characters, plus the property names of each contact.
    ContactExporter exporter(format, photoFolder, characters * 3 + contacts.size() * 400);
    for (const ContactRecord &r : contacts)
        exporter.add(r);
    return exporter.take();
}

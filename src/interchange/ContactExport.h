#pragma once

#include "contacts/ContactRecord.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

#include <array>
#include <memory>
#include <optional>

// Writing contacts for other address books: vCard 3.0 (what phones and
// Google Contacts read), vCard 4.0, and Google Contacts' CSV. Every value of
// the list is written so that a reader of these formats gets it back exactly.
enum class ExportFormat { VCard3, VCard4, GoogleCsv };

// The format named "vcard3", "vcard4" or "csv" (the command line's names).
std::optional<ExportFormat> exportFormatFromName(QStringView name);

// The twenty fields of one contact, in ContactRecord's order.
using ContactFields = std::array<QStringView, FieldCount>;

// The code page 932 bytes of the twenty lines of a contact in the list file.
using ContactLines = std::array<QByteArrayView, FieldCount>;

class Utf8Output;

// Writes contacts one after the other into one UTF-8 buffer (CR LF line
// ends; the CSV starts with a byte order mark and its header). A 顔写真
// value that names an image file in photoFolder is embedded in a vCard; an
// empty folder writes every 顔写真 as text. A caller that streams takes the
// bytes written so far and clears them, so the buffer is reused.
class ContactExporter {
public:
    // Continuing writes contacts that follow those of another exporter: a
    // CSV gets no second header.
    enum class Part { Start, Continuing };

    ContactExporter(ExportFormat format, const QString &photoFolder, qsizetype expectedBytes = 0,
                    Part part = Part::Start);
    ~ContactExporter();
    ContactExporter(const ContactExporter &) = delete;
    ContactExporter &operator=(const ContactExporter &) = delete;

    // Throws AppError when a photo that is there can't be read.
    void add(const ContactFields &contact);
    void add(const ContactRecord &contact);

    // The fields (bit i for field i) that a contact of the list file needs
    // decoded for the format; the others are written straight from their
    // code page 932 bytes.
    static quint32 fieldsToDecode(ExportFormat format);
    // A contact of the list file: the fields of fieldsToDecode() as text, the
    // others as their bytes in lines, where a value of blanks only counts as
    // empty, as it does decoded. False, with nothing written, when bytes are
    // no code page 932 text; that is found before any photo is read. Throws
    // AppError when a photo that is there can't be read.
    bool add(const ContactFields &decoded, const ContactLines &lines);

    QByteArrayView written() const;
    void clearWritten();
    // Appends bytes written by another exporter.
    void append(QByteArrayView written);
    QByteArray take();

private:
    ExportFormat format_;
    QString photoFolder_;
    std::unique_ptr<Utf8Output> out_;
};

// The whole export of the contacts at once.
QByteArray exportContacts(const QList<ContactRecord> &contacts, ExportFormat format,
                          const QString &photoFolder);

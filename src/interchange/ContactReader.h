#pragma once

#include "contacts/ContactRecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QMap>
#include <QString>

// Reading contacts that come from other programs: vCard 2.1, 3.0 and 4.0,
// the CSV exports of Google Contacts (current and older) and of Outlook, and
// the program's own received-data format. The format is told from the
// content, never from the file name. Nothing is written and nothing is
// converted for storing: readings stay in the kana they came in, and
// characters that code page 932 can't store are kept; the import turns them
// into what the list holds.
namespace Interchange {

// One contact as it came in.
struct IncomingContact {
    ContactRecord record;     // FieldCount fields; the reading is family + "　" + given
    // The name and the reading in their parts as the source kept them apart;
    // one that came whole is split at its first blank, and is all family
    // without one.
    QString nameFamily;
    QString nameGiven;
    QString readingFamily;
    QString readingGiven;
    bool hasReading = false;  // the source carried a reading
    QByteArray photo;         // an embedded photo, for the caller to save
    QString photoType;        // its type in lower case ("jpeg", "png", …), when given
};

enum class SourceFormat { Unknown, VCard, GoogleCsv, GoogleOldCsv, OutlookCsv, RecordFile };

enum class ReadFailure {
    None,
    FileError,   // the file could not be opened or read (errorNumber tells why)
    TooLarge,    // refused by its size before reading
    BadContent,  // not a format we read, or broken
    TooMany,     // more contacts than allowed: reading stopped there
};

struct ReadOutcome {
    SourceFormat format = SourceFormat::Unknown;
    QList<IncomingContact> contacts;
    // What the list can't hold, counted by property name (vCard) or column
    // header (CSV): a third phone, BDAY, NICKNAME, a second address, …
    QMap<QString, int> leftOut;
    qsizetype count = 0;      // the contacts read, in the list or handed to a sink
    ReadFailure failure = ReadFailure::None;
    int errorNumber = 0;      // for FileError: the number of the file layer's error table
    QString message;          // for every failure: what went wrong, in Japanese

    bool ok() const { return failure == ReadFailure::None; }
};

// A file larger than this is refused before it is read. 10000 contacts whose
// every field is at its longest, each character quoted-printable in UTF-8
// (9 bytes), are about 5 KB a contact, with the properties, parameters and
// readings of a card about 9 KB: 90 MB. The rest leaves room for embedded
// photos averaging 40 KB.
constexpr qint64 MaxFileBytes = 512ll * 1024 * 1024;
// A photo larger than this (decoded) is left out and counted; so are photos
// once those kept add up to MaxPhotoBytesTotal.
constexpr qsizetype MaxPhotoBytes = 4 * 1024 * 1024;
constexpr qsizetype MaxPhotoBytesTotal = 256 * 1024 * 1024;
// A text value (a vCard line once unfolded, a CSV record) longer than this
// is no contact field: the file is refused.
constexpr qsizetype MaxTextLineBytes = 1024 * 1024;

// The key under which photos left out for their size are counted.
QString oversizedPhotoKey();

// Takes the contacts of a file as they are read, instead of the outcome's
// list: a long file is read in parts at once, and each contact is handed
// over on the thread that read it as soon as it is read, for work that is
// best done while its values are still in the processor's cache. Each part
// is started on the thread that reads it; the contacts of a part come in
// their order, and part 0 comes before part 1 in the file. When the parts
// can't make the whole (one fails, or the limit is passed), the file is
// read again as a single part 0, started with parts == 1: what the other
// parts handed over is no longer wanted. Contacts of a reader that doesn't
// read in parts are handed over when it is done, in two parts on two
// threads when there are many.
constexpr int MaxReadParts = 2;
class ContactSink {
public:
    virtual ~ContactSink() = default;
    // expected: the most contacts the part may hold, for reserving.
    virtual void startPart(int part, int parts, qsizetype expected) = 0;
    virtual void take(int part, IncomingContact &&contact) = 0;
};

// Hands contacts already read to sink as a reader that doesn't read in
// parts does, and empties the list.
void handOver(QList<IncomingContact> &contacts, ContactSink &sink);

// Reads the file at path. Reading stops once more than stopAfter contacts
// were read (failure TooMany, the contacts read so far kept). With a sink,
// the contacts go to it and count tells how many there were.
ReadOutcome readContactFile(const QString &path, qsizetype stopAfter = MaxContacts, ContactSink *sink = nullptr);

// The same over bytes in memory, for vCard and CSV (the received-data format
// is read from its file only).
ReadOutcome readContactBytes(QByteArrayView bytes, qsizetype stopAfter = MaxContacts);
ReadOutcome readVCard(QByteArrayView bytes, qsizetype stopAfter = MaxContacts, ContactSink *sink = nullptr);
ReadOutcome readCsv(QByteArrayView bytes, qsizetype stopAfter = MaxContacts);

enum class TextEncoding { Utf8, Utf16LE, Utf16BE, Cp932 };

// A byte order mark decides; else bytes that are valid UTF-8 are UTF-8; else
// code page 932. bomLength receives the length of the mark (0 without one).
TextEncoding detectEncoding(QByteArrayView bytes, qsizetype *bomLength = nullptr);

bool isValidUtf8(QByteArrayView bytes);

} // namespace Interchange

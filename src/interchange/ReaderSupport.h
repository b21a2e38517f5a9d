#pragma once

// What the vCard and CSV readers share: decoding of values and the
// assembly of one contact from the values found, which decides what goes to
// which field and counts what the list can't hold.

#include "interchange/ContactReader.h"
#include "interchange/FieldMap.h"

#include <QList>
#include <QVarLengthArray>
#include <QString>

#include <optional>

namespace Interchange::Detail {

// The encoding a byte order mark gives, and the mark's length.
std::optional<TextEncoding> markedEncoding(QByteArrayView bytes, qsizetype *bomLength);

// Decodes bytes that are UTF-8 into out, which has room for bytes.size()
// units, and returns the end of what it wrote; nullptr, and out's contents
// undefined, when the bytes aren't UTF-8 as isValidUtf8 tells it.
char16_t *decodeUtf8(QByteArrayView bytes, char16_t *out);

// The text of bytes in a known encoding (UTF-16 is never passed: such files
// are turned into UTF-8 first). Nothing when the bytes aren't valid.
std::optional<QString> decodeAs(QByteArrayView bytes, TextEncoding encoding);

// A file in UTF-16 is turned into UTF-8 before it is parsed, so that the
// parsers only meet encodings in which ASCII bytes are ASCII characters.
QByteArray utf8FromUtf16(QByteArrayView bytes, TextEncoding encoding);

// NUL bytes in a file that isn't UTF-16: no text file of contacts.
bool looksBinary(QByteArrayView bytes);

// The message for a file that could not be read.
ReadOutcome failed(ReadFailure failure, const QString &message);
ReadOutcome tooMany(ReadOutcome outcome);

// Line breaks inside a value become LF, whichever the file used.
QString normaliseLineBreaks(QString text);

// Splits a reading or name that came whole at its first run of blanks.
std::pair<QString, QString> splitAtBlank(const QString &text);

// family + "　" + given, or the one that is there.
QString joinFamilyGiven(const QString &family, const QString &given);

enum class PhoneKind { Cell, Voice, Work, Fax };

// The ranks of the reading sources: a higher one replaces a lower one.
enum class ReadingSource { None, IrmcSound, SortString, SortAs, Phonetic };

class ContactAssembler {
public:
    // photoBytesKept adds up the photos kept over the whole file.
    ContactAssembler(QMap<QString, int> &leftOut, qsizetype &photoBytesKept);

    // The values are taken by value and moved on into the contact: most of
    // a card's values share its decoded text, and each copy of one would
    // count a reference to it, an atomic operation (see the vCard reader).
    void setFullName(QString name);
    void setNameParts(QString family, QString given);
    // A reading from a source; kept when no better source gave one.
    void offerReading(ReadingSource source, QString family, QString given);

    void addPhone(QString number, PhoneKind kind, const QString &key);
    void addMail(QString mail, const QString &key);
    // The first non-blank value of a single field is kept; any further one
    // is counted under key.
    void setField(int field, QString value, const QString &key);
    void addPhoto(QByteArray bytes, const QString &type, const QString &key);
    void leaveOut(const QString &key);

    IncomingContact finish();

private:
    struct Phone {
        QString number;
        PhoneKind kind;
        QString key;
    };

    QMap<QString, int> &leftOut_;
    qsizetype &photoBytesKept_;
    IncomingContact contact_;
    QString fullName_;
    ReadingSource readingSource_ = ReadingSource::None;
    QString reading_;
    // Held inline: a contact has a few of each, and a list a contact would
    // cost allocations of their own.
    QVarLengthArray<Phone, 4> phones_;
    QVarLengthArray<QString, 3> mails_;
    QVarLengthArray<QString, 3> mailKeys_;
};

} // namespace Interchange::Detail

#pragma once

#include "contacts/ContactRecord.h"
#include "interchange/ContactReader.h"
#include "shell/RecordFile.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// The import of vCard and CSV files into the contact list, in two steps.
//
// 1. buildImportPreview reads the files and makes each incoming contact
//    ready to store: the reading in full-width hiragana (a missing one
//    guessed from the name), the JIS forms that input methods type mapped
//    to their code page 932 twins as the editor maps them, line breaks
//    made blanks (a list line holds one value), values past their field's
//    maximum length cut. Each contact gets its status against the listed
//    contacts and the characters that code page 932 can't store.
// 2. chooseImport takes the user's choices (the ticked contacts; the
//    unstorable characters replaced by "〓" or those contacts left out) and
//    gives the records to merge in the list's order; the change in
//    interchange/ImportChange.h merges them through the change transaction
//    like データ取込 (same key, same order, the 10000 limit, the backup,
//    the atomic write) and saves their embedded photos.
namespace Interchange {

enum class ImportStatus {
    New,               // 新規
    Replaces,          // 置換: a listed contact has its record key
    PossibleDuplicate, // 重複の可能性: a listed contact shares a phone or a mail
};

// A field holding characters that code page 932 can't store.
struct UnstorableField {
    int field = 0;
    QString characters; // each such character once, in the order met
};

struct ImportCandidate {
    ContactRecord record;   // ready to store, but for the unstorable characters
    QString key;            // recordKey(record), made once with the record
    size_t keyHash = 0;     // qHash(key), made with it
    // The sort forms of the reading and the name, which place the record in
    // the list; made with the record too, on the thread that prepared it.
    QString readingSortForm;
    QString nameSortForm;
    // The record as the list file holds it (code page 932), made with the
    // record too; empty when it has characters without a code.
    QByteArray recordBytes;
    QByteArray photo;       // an embedded photo, saved only when the contact is merged
    QString photoType;      // "jpeg", "png", … as the file declared it (may be empty)
    QString sourceFile;
    ImportStatus status = ImportStatus::New;
    int listedIndex = -1;   // the listed contact replaced or shared with, else -1
    bool readingGuessed = false;         // 読み推定
    QList<UnstorableField> unstorable;   // 保存できない文字, by field
    QList<int> cutFields;                // fields cut to their maximum length
};

struct ImportPreview {
    QList<ImportCandidate> candidates;   // in the order of the files and within them
    // What the list can't hold, summed over the files (property or column
    // name → count); contacts without a name are counted too.
    QMap<QString, int> leftOut;
    // A file that could not be read stops the preview: failure and message
    // (the file's name in it) say why, and candidates is empty.
    ReadFailure failure = ReadFailure::None;
    int errorNumber = 0;
    QString message;
    QString guessError;  // why readings could not be guessed (no dictionary), else empty

    bool ok() const { return failure == ReadFailure::None; }
    int guessedCount() const;
    int unstorableCount() const;  // contacts with unstorable characters
};

// The key under which contacts without any name are counted in leftOut.
QString namelessKey();

// Reads files and prepares their contacts against listed (the records of
// load.txt as they stand). Statuses 新規 and 置換 only: possible duplicates
// are marked by markPossibleDuplicates (interchange/ImportDuplicates.h),
// which needs the phone number library. Stops with TooMany once the files
// hold more than MaxContacts contacts together.
ImportPreview buildImportPreview(const QStringList &files, const QList<ContactRecord> &listed);

// The same from contacts already read (for tests and callers that read
// themselves); leftOut is added to the preview's.
void addToPreview(ImportPreview &preview, const ReadOutcome &read, const QString &sourceFile,
                  const QList<ContactRecord> &listed);

enum class UnstorableChoice { ReplaceWithGeta, LeaveOut };

// The replacement of a character that code page 932 can't store.
inline constexpr QChar GetaMark = u'〓';

struct ImportBatch {
    // In the list's order (reading, then name, by sort form), one record a
    // key. photos[i] belongs to records[i] (empty: none); photos and
    // photoTypes are empty when no contact has a photo.
    QList<ContactRecord> records;
    QList<QByteArray> photos;
    QStringList photoTypes;
    int duplicatesInFiles = 0;   // earlier contacts of a key replaced by a later one
    int unticked = 0;            // contacts the user left out
    int leftOutUnstorable = 0;   // contacts left out for their characters
    int replacedCharacters = 0;  // contacts whose characters became 〓
    int guessedReadings = 0;     // records whose reading was guessed
    int cutValues = 0;           // values of the records cut to their field's maximum
    // The records' bytes as the preview made them, for the list's write;
    // known by the records above, which keep their data alive.
    EncodedRecords encoded;
};

// ticked[i] tells whether candidate i is imported (missing entries count as
// ticked). The last contact of a key wins.
ImportBatch chooseImport(const ImportPreview &preview, const QList<bool> &ticked,
                         UnstorableChoice unstorable);

struct ImportSummary {
    int added = 0;          // 新規
    int replaced = 0;       // 置換
    int guessedReadings = 0;
    int leftOutValues = 0;  // values the list can't hold (the preview's leftOut, summed)
    int leftOutContacts = 0; // unticked, left out for characters, nameless, duplicates in the files
    int cutValues = 0;      // values cut to their field's maximum length
};

// The counts of a preview and the user's choice; added and replaced are
// filled by the merge.
ImportSummary summarise(const ImportPreview &preview, const ImportBatch &batch);

// The data folder's photos/.
QString photoFolder();

// Saves a photo under a name of its own in folder (made when missing, mode
// 0700): the name is taken from the bytes, so the same photo imported twice
// is one file; a different file under that name gets a number added. The
// file is written atomically, mode 0600. Returns the file name. Throws
// AppError.
QString savePhoto(const QString &folder, const QByteArray &bytes, const QString &type);

} // namespace Interchange

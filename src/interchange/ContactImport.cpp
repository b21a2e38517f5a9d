#include "interchange/ContactImport.h"

#include "editor/ContactUpdate.h"
#include "interchange/FieldMap.h"
#include "readings/Kana.h"
#include "readings/ReadingGuesser.h"
#include "shell/AppError.h"
#include "shell/AsideTask.h"
#include "shell/BasCommn.h"
#include "shell/BasConst.h"
#include "shell/Cp932.h"
#include "shell/RecordFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QHash>

#include <algorithm>
#include <array>
#include <bit>
#include <memory>
#include <numeric>
#include <vector>

namespace Interchange {

QString namelessKey()
{
    return QStringLiteral("（氏名のない連絡先）");
}

int ImportPreview::guessedCount() const
{
    return int(std::count_if(candidates.cbegin(), candidates.cend(),
                             [](const ImportCandidate &c) { return c.readingGuessed; }));
}

int ImportPreview::unstorableCount() const
{
    return int(std::count_if(candidates.cbegin(), candidates.cend(),
                             [](const ImportCandidate &c) { return !c.unstorable.isEmpty(); }));
}

namespace {

// A list line holds one value: line breaks become blanks, as the list file
// would make them.
QString withoutLineBreaks(QString text)
{
    if (std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c == u'\n' || c == u'\r'; })) {
        text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        text.replace(u'\r', u' ');
        text.replace(u'\n', u' ');
    }
    return text;
}

// Whether cleanValue(withoutLineBreaks(text)) is text itself, told in one
// pass: printable ASCII and the characters from hiragana up hold no line
// break, no JIS form that the editor maps (those lie in between) and no
// full-width blank, so only a half-width blank at an end would change it.
bool alreadyClean(QStringView text)
{
    if (text.isEmpty() || text.front() == HalfBlank || text.back() == HalfBlank)
        return false;
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= 0x20 && u < 0x7F) || u >= 0x3040;
    });
}

// The characters of text (code points, surrogate pairs whole) that code
// page 932 can't store, each once.
QString unstorableCharacters(QStringView text)
{
    if (Cp932::representable(text))
        return {};
    QString found;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QStringView character = text.sliced(i, length);
        if (!Cp932::representable(character) && !found.contains(character))
            found += character;
        i += length;
    }
    return found;
}

// Cuts a value to max UTF-16 units without splitting a surrogate pair.
QString cutTo(const QString &value, int max)
{
    qsizetype length = max;
    if (length > 0 && value[length - 1].isHighSurrogate())
        --length;
    return cleanValue(value.left(length));
}

// What preparing a contact on its own (on any thread) leaves to do.
enum class Prepared : quint8 {
    Ready,
    Nameless,   // no name: not imported, counted
    NeedsGuess, // no reading: guessed, then finished
};

// Prepares each contact as it is read, on the thread that read it (see
// ContactSink), then does what needs the contacts in order.
struct PreviewBuilder final : ContactSink {
    ImportPreview &preview;
    const QList<ContactRecord> &listed;
    QHash<QString, int> listedKeys;
    std::unique_ptr<ReadingGuesser> guesser; // made on the first contact without a reading

    // The contacts of the file being read, prepared, by the part they came in.
    struct Part {
        QList<ImportCandidate> candidates;
        std::vector<Prepared> prepared;
        // The file's name, a copy for each part: the threads each count
        // references to their own.
        QString sourceFile;
    };
    std::array<Part, MaxReadParts> parts;
    QString sourceFile;

    PreviewBuilder(ImportPreview &p, const QList<ContactRecord> &l) : preview(p), listed(l)
    {
        listedKeys.reserve(listed.size());
        for (int i = 0; i < listed.size(); ++i)
            listedKeys.insert(recordKey(listed[i]), i);
    }

    void startFile(const QString &file) { sourceFile = file; }

    void startPart(int part, int count, qsizetype expected) override
    {
        if (count == 1)
            for (Part &p : parts)
                p = Part();
        Part &p = parts[size_t(part)];
        p = Part();
        p.sourceFile = QString(sourceFile.constData(), sourceFile.size());
        p.candidates.reserve(expected);
        p.prepared.reserve(size_t(expected));
    }

    void take(int part, IncomingContact &&contact) override
    {
        Part &p = parts[size_t(part)];
        p.prepared.push_back(prepare(std::move(contact), p.sourceFile, p.candidates.emplace_back()));
    }

    // The file read through: its prepared contacts join the preview in the
    // file's order, the nameless ones counted instead, the guesses (which
    // share one dictionary) made in order.
    void finishFile(const QMap<QString, int> &leftOut)
    {
        for (auto it = leftOut.cbegin(); it != leftOut.cend(); ++it)
            preview.leftOut[it.key()] += it.value();
        for (Part &p : parts) {
            // The first part's list becomes the preview's where that is
            // empty, rather than each candidate being moved.
            const qsizetype first = preview.candidates.size();
            if (first == 0)
                preview.candidates = std::move(p.candidates);
            else
                preview.candidates.resize(first + p.candidates.size());
            qsizetype kept = first;
            for (qsizetype i = 0; i < qsizetype(p.prepared.size()); ++i) {
                ImportCandidate &c = first == 0 ? preview.candidates[i] : p.candidates[i];
                if (p.prepared[size_t(i)] == Prepared::Nameless) {
                    ++preview.leftOut[namelessKey()];
                    continue;
                }
                if (p.prepared[size_t(i)] == Prepared::NeedsGuess) {
                    guessReading(c);
                    finish(c);
                }
                if (first != 0 || kept != i)
                    preview.candidates[kept] = std::move(c);
                ++kept;
            }
            preview.candidates.resize(kept);
            p = Part();
        }
    }

    // Contacts already read, prepared here and on a second thread.
    void add(QList<IncomingContact> &&contacts, const QMap<QString, int> &leftOut, const QString &file)
    {
        startFile(file);
        handOver(contacts, *this);
        finishFile(leftOut);
    }

    Prepared prepare(IncomingContact &&read, const QString &sourceFile, ImportCandidate &c) const
    {
        // Taken whole: what the candidate doesn't keep goes here, on this
        // thread, instead of with the read list on the caller's.
        IncomingContact incoming = std::move(read);
        c.sourceFile = sourceFile;
        c.record = std::move(incoming.record);
        c.record.resize(FieldCount);
        for (int i = 0; i < FieldCount; ++i)
            if (!alreadyClean(c.record[i]))
                c.record[i] = cleanValue(withoutLineBreaks(c.record[i]));
        if (isBlankOnly(c.record[NameField]))
            return Prepared::Nameless;
        c.photo = std::move(incoming.photo);
        c.photoType = std::move(incoming.photoType);
        QString &reading = c.record[ReadingField];
        if (isBlankOnly(reading))
            return Prepared::NeedsGuess;
        reading = cleanValue(toStoredReading(reading));
        finish(c);
        return Prepared::Ready;
    }

    void guessReading(ImportCandidate &c)
    {
        if (!guesser)
            guesser = std::make_unique<ReadingGuesser>();
        QString &reading = c.record[ReadingField];
        if (const std::optional<QString> guess = guesser->guess(c.record[NameField])) {
            reading = cleanValue(*guess);
            c.readingGuessed = !isBlankOnly(reading);
        } else if (preview.guessError.isEmpty()) {
            preview.guessError = guesser->loadError();
        }
    }

    // Values cut to their field's maximum, the characters code page 932
    // can't store, the record key and the status against the listed
    // contacts.
    void finish(ImportCandidate &c) const
    {
        for (int i = 0; i < FieldCount; ++i) {
            const int max = fieldMaxLength(i);
            if (c.record[i].size() > max) {
                c.record[i] = cutTo(c.record[i], max);
                c.cutFields.append(i);
            }
        }
        // Encoding the record tells whether every character has a code; the
        // unstorable ones are looked for only where one hasn't.
        if (std::optional<QByteArray> bytes = encodeRecord(c.record)) {
            c.recordBytes = std::move(*bytes);
        } else {
            for (int i = 0; i < FieldCount; ++i)
                if (const QString chars = unstorableCharacters(c.record[i]); !chars.isEmpty())
                    c.unstorable.append({i, chars});
        }
        c.key = recordKey(c.record);
        c.keyHash = qHash(c.key);
        c.readingSortForm = sortForm(c.record[ReadingField]);
        c.nameSortForm = sortForm(c.record[NameField]);
        const auto listedAt = listedKeys.constFind(c.key);
        if (listedAt != listedKeys.cend()) {
            c.status = ImportStatus::Replaces;
            c.listedIndex = listedAt.value();
        }
    }
};

QString withGeta(const QString &value)
{
    if (Cp932::representable(value))
        return value;
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size();) {
        const qsizetype length = value[i].isHighSurrogate() && i + 1 < value.size() ? 2 : 1;
        const QStringView character = QStringView(value).sliced(i, length);
        if (Cp932::representable(character))
            out += character;
        else
            out += GetaMark;
        i += length;
    }
    return out;
}

} // namespace

void addToPreview(ImportPreview &preview, const ReadOutcome &read, const QString &sourceFile,
                  const QList<ContactRecord> &listed)
{
    PreviewBuilder(preview, listed).add(QList<IncomingContact>(read.contacts), read.leftOut, sourceFile);
}

ImportPreview buildImportPreview(const QStringList &files, const QList<ContactRecord> &listed)
{
    ImportPreview preview;
    PreviewBuilder builder(preview, listed);
    qsizetype read = 0;
    for (const QString &file : files) {
        builder.startFile(file);
        ReadOutcome outcome = readContactFile(file, MaxContacts - read, &builder);
        if (!outcome.ok()) {
            preview.candidates.clear();
            preview.leftOut.clear();
            preview.failure = outcome.failure;
            preview.errorNumber = outcome.errorNumber;
            // A file error names its file already.
            preview.message = outcome.failure == ReadFailure::FileError
                ? outcome.message
                : file + QStringLiteral(": ") + outcome.message;
            return preview;
        }
        read += outcome.count;
        builder.finishFile(outcome.leftOut);
    }
    return preview;
}

ImportBatch chooseImport(const ImportPreview &preview, const QList<bool> &ticked,
                         UnstorableChoice unstorable)
{
    ImportBatch batch;
    QList<const ImportCandidate *> chosen;
    chosen.reserve(preview.candidates.size());
    // The chosen contacts by the hash made with each key on the thread that
    // prepared it, in an open-addressed table of their places in chosen
    // (-1 where none is): the keys themselves are compared only where
    // hashes meet, and the table is one allocation where a hash of lists
    // made one for each key.
    std::vector<qsizetype> byKey(std::bit_ceil(size_t(preview.candidates.size()) * 2 + 1), -1);
    const size_t mask = byKey.size() - 1;
    for (qsizetype i = 0; i < preview.candidates.size(); ++i) {
        const ImportCandidate &c = preview.candidates[i];
        if (i < ticked.size() && !ticked[i]) {
            ++batch.unticked;
            continue;
        }
        if (!c.unstorable.isEmpty() && unstorable == UnstorableChoice::LeaveOut) {
            ++batch.leftOutUnstorable;
            continue;
        }
        // The last contact of a key wins, at the place of the first.
        size_t slot = c.keyHash & mask;
        while (byKey[slot] >= 0 && (chosen[byKey[slot]]->keyHash != c.keyHash || chosen[byKey[slot]]->key != c.key))
            slot = (slot + 1) & mask;
        if (byKey[slot] >= 0) {
            chosen[byKey[slot]] = &c;
            ++batch.duplicatesInFiles;
            continue;
        }
        byKey[slot] = chosen.size();
        chosen.append(&c);
    }
    // The list's order: the sort form of the reading, then of the name, made
    // with each candidate rather than read afresh in each comparison. The
    // first four units of the reading, packed so that they compare as the
    // text does, settle most comparisons without reading the texts.
    struct SortEntry {
        quint64 head;
        QStringView reading;
        QStringView name;
        const ImportCandidate *candidate;
    };
    const auto headOf = [](QStringView text) {
        quint64 head = 0;
        for (qsizetype i = 0; i < 4; ++i)
            head = head << 16 | (i < text.size() ? text[i].unicode() : 0);
        return head;
    };
    std::vector<SortEntry> order;
    order.reserve(size_t(chosen.size()));
    for (const ImportCandidate *c : chosen)
        order.push_back({headOf(c->readingSortForm), c->readingSortForm, c->nameSortForm, c});
    std::stable_sort(order.begin(), order.end(), [](const SortEntry &a, const SortEntry &b) {
        if (a.head != b.head)
            return a.head < b.head;
        const int byReading = a.reading.compare(b.reading);
        return byReading != 0 ? byReading < 0 : a.name.compare(b.name) < 0;
    });
    batch.records.reserve(chosen.size());
    batch.encoded.reserve(chosen.size());
    for (const SortEntry &entry : order) {
        const ImportCandidate *c = entry.candidate;
        ContactRecord record = c->record;
        if (!c->unstorable.isEmpty()) {
            ++batch.replacedCharacters;
            for (const UnstorableField &f : c->unstorable)
                record[f.field] = withGeta(record[f.field]);
        }
        batch.guessedReadings += c->readingGuessed ? 1 : 0;
        batch.cutValues += int(c->cutFields.size());
        if (!c->recordBytes.isEmpty())
            batch.encoded.add(record, c->recordBytes);
        // The photos' lists stay empty until a contact has one.
        if (!c->photo.isEmpty() && batch.photos.isEmpty()) {
            batch.photos.resize(batch.records.size());
            batch.photoTypes.resize(batch.records.size());
        }
        if (!batch.photos.isEmpty() || !c->photo.isEmpty()) {
            batch.photos.append(c->photo);
            batch.photoTypes.append(c->photoType);
        }
        batch.records.append(std::move(record));
    }
    return batch;
}

ImportSummary summarise(const ImportPreview &preview, const ImportBatch &batch)
{
    ImportSummary summary;
    summary.guessedReadings = batch.guessedReadings;
    summary.cutValues = batch.cutValues;
    for (auto it = preview.leftOut.cbegin(); it != preview.leftOut.cend(); ++it) {
        if (it.key() == namelessKey())
            summary.leftOutContacts += it.value();
        else
            summary.leftOutValues += it.value();
    }
    summary.leftOutContacts += batch.unticked + batch.leftOutUnstorable + batch.duplicatesInFiles;
    return summary;
}

QString photoFolder()
{
    return QDir(dataFolder()).filePath(QStringLiteral("photos"));
}

namespace {

QString photoExtension(const QByteArray &bytes, const QString &type)
{
    if (bytes.startsWith("\xFF\xD8\xFF"))
        return QStringLiteral("jpg");
    if (bytes.startsWith("\x89PNG\r\n\x1A\n"))
        return QStringLiteral("png");
    if (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a"))
        return QStringLiteral("gif");
    // Only a short name of letters and digits becomes part of a file name.
    const bool plain = !type.isEmpty() && type.size() <= 5
        && std::all_of(type.cbegin(), type.cend(), [](QChar c) {
               return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9');
           });
    return plain ? type : QStringLiteral("img");
}

} // namespace

QString savePhoto(const QString &folder, const QByteArray &bytes, const QString &type)
{
    ensureFolder(folder);
    const QString stem = QString::fromLatin1(
        QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().left(16));
    const QString extension = photoExtension(bytes, type);
    for (int n = 1;; ++n) {
        const QString name = n == 1 ? stem + u'.' + extension
                                    : stem + u'-' + QString::number(n) + u'.' + extension;
        const QString path = QDir(folder).filePath(name);
        if (!fileExists(path)) {
            writeFileAtomically(path, bytes);
            return name;
        }
        if (readWholeFile(path) == bytes)
            return name; // the same photo, imported before
    }
}

} // namespace Interchange

#include "interchange/ContactReader.h"

#include "interchange/ReaderSupport.h"
#include "shell/AppError.h"
#include "shell/AsideTask.h"
#include "shell/BasCommn.h"
#include "shell/Cp932.h"
#include "shell/RecordFile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <tuple>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace Interchange {

using namespace Detail;

QString oversizedPhotoKey()
{
    return QStringLiteral("PHOTO（大きすぎる写真）");
}

namespace {

// The rules of UTF-8 once, for the check and for the decoding: with Decode,
// the UTF-16 units go to out, which is left at their end. False at the
// first byte that breaks the rules (overlong forms, surrogates, past
// U+10FFFF, a sequence cut off).
template <bool Decode>
bool passUtf8(QByteArrayView bytes, char16_t *&out)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.data());
    const auto *const end = p + bytes.size();
    while (p < end) {
        const uchar c = *p;
        if (c < 0x80) {
            // A run of ASCII, the common case of a contact file: sixteen
            // bytes at a time, then eight, then the rest one by one.
#ifdef __SSE2__
            while (end - p >= 16) {
                const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
                if (_mm_movemask_epi8(bytes) != 0)
                    break;
                if constexpr (Decode) {
                    const __m128i zero = _mm_setzero_si128();
                    _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_unpacklo_epi8(bytes, zero));
                    _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 8), _mm_unpackhi_epi8(bytes, zero));
                    out += 16;
                }
                p += 16;
            }
#endif
            while (end - p >= 8) {
                quint64 v;
                std::memcpy(&v, p, 8);
                if (v & 0x8080808080808080ull)
                    break;
                if constexpr (Decode) {
                    for (int i = 0; i < 8; ++i)
                        out[i] = p[i];
                    out += 8;
                }
                p += 8;
            }
            for (; p < end && *p < 0x80; ++p) {
                if constexpr (Decode)
                    *out++ = *p;
            }
        } else if (c >= 0xE0 && c <= 0xEF) {
            // Japanese text: three bytes a character.
            if (end - p <= 2 || (p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80)
                return false;
            const char32_t cp = char32_t(c & 0x0F) << 12 | char32_t(p[1] & 0x3F) << 6 | (p[2] & 0x3F);
            if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))
                return false;
            if constexpr (Decode)
                *out++ = char16_t(cp);
            p += 3;
        } else if (c >= 0xC2 && c <= 0xDF) {
            if (end - p <= 1 || (p[1] & 0xC0) != 0x80)
                return false;
            if constexpr (Decode)
                *out++ = char16_t((c & 0x1F) << 6 | (p[1] & 0x3F));
            p += 2;
        } else if (c >= 0xF0 && c <= 0xF4) {
            if (end - p <= 3 || (p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80 || (p[3] & 0xC0) != 0x80)
                return false;
            const char32_t cp = char32_t(c & 0x07) << 18 | char32_t(p[1] & 0x3F) << 12
                | char32_t(p[2] & 0x3F) << 6 | (p[3] & 0x3F);
            if (cp < 0x10000 || cp > 0x10FFFF)
                return false;
            if constexpr (Decode) {
                *out++ = QChar::highSurrogate(cp);
                *out++ = QChar::lowSurrogate(cp);
            }
            p += 4;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

bool isValidUtf8(QByteArrayView bytes)
{
    char16_t *nowhere = nullptr;
    return passUtf8<false>(bytes, nowhere);
}

namespace Detail {

char16_t *decodeUtf8(QByteArrayView bytes, char16_t *out)
{
    return passUtf8<true>(bytes, out) ? out : nullptr;
}

std::optional<TextEncoding> markedEncoding(QByteArrayView bytes, qsizetype *bomLength)
{
    *bomLength = 0;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        *bomLength = 3;
        return TextEncoding::Utf8;
    }
    if (bytes.startsWith("\xFF\xFE")) {
        *bomLength = 2;
        return TextEncoding::Utf16LE;
    }
    if (bytes.startsWith("\xFE\xFF")) {
        *bomLength = 2;
        return TextEncoding::Utf16BE;
    }
    return std::nullopt;
}

} // namespace Detail

TextEncoding detectEncoding(QByteArrayView bytes, qsizetype *bomLength)
{
    qsizetype bom = 0;
    const std::optional<TextEncoding> marked = markedEncoding(bytes, &bom);
    if (bomLength)
        *bomLength = bom;
    if (marked)
        return *marked;
    return isValidUtf8(bytes) ? TextEncoding::Utf8 : TextEncoding::Cp932;
}

namespace Detail {

std::optional<QString> decodeAs(QByteArrayView bytes, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8:
        if (!isValidUtf8(bytes))
            return std::nullopt;
        return QString::fromUtf8(bytes);
    case TextEncoding::Cp932:
        return Cp932::decode(bytes);
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE: {
        QStringDecoder decoder(encoding == TextEncoding::Utf16LE ? QStringConverter::Utf16LE
                                                                 : QStringConverter::Utf16BE);
        QString text = decoder(bytes);
        if (decoder.hasError())
            return std::nullopt;
        return text;
    }
    }
    return std::nullopt;
}

QByteArray utf8FromUtf16(QByteArrayView bytes, TextEncoding encoding)
{
    const std::optional<QString> text = decodeAs(bytes, encoding);
    return text ? text->toUtf8() : QByteArray();
}

bool looksBinary(QByteArrayView bytes)
{
    return bytes.contains('\0');
}

ReadOutcome failed(ReadFailure failure, const QString &message)
{
    ReadOutcome outcome;
    outcome.failure = failure;
    outcome.message = message;
    return outcome;
}

ReadOutcome tooMany(ReadOutcome outcome)
{
    outcome.failure = ReadFailure::TooMany;
    outcome.message = QStringLiteral("１００００件超えてしまいます。");
    return outcome;
}

QString normaliseLineBreaks(QString text)
{
    if (text.contains(u'\r')) {
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text.replace(u'\r', u'\n');
    }
    return text;
}

std::pair<QString, QString> splitAtBlank(const QString &text)
{
    const QString trimmed = trimBlanks(text);
    const qsizetype blank = std::find_if(trimmed.cbegin(), trimmed.cend(), isBlank) - trimmed.cbegin();
    if (blank >= trimmed.size())
        return {trimmed, QString()};
    return {trimmed.left(blank), trimBlanks(QStringView(trimmed).sliced(blank))};
}

QString joinFamilyGiven(const QString &family, const QString &given)
{
    const QString f = trimBlanks(family);
    const QString g = trimBlanks(given);
    if (f.isEmpty())
        return g;
    if (g.isEmpty())
        return f;
    return f + FullBlank + g;
}

ContactAssembler::ContactAssembler(QMap<QString, int> &leftOut, qsizetype &photoBytesKept)
    : leftOut_(leftOut), photoBytesKept_(photoBytesKept)
{
    contact_.record = ContactRecord(FieldCount); // twenty empty fields in one allocation
}

void ContactAssembler::setFullName(QString name)
{
    if (fullName_.isEmpty())
        fullName_ = trimBlanks(std::move(name));
}

void ContactAssembler::setNameParts(QString family, QString given)
{
    if (contact_.nameFamily.isEmpty() && contact_.nameGiven.isEmpty()) {
        contact_.nameFamily = trimBlanks(std::move(family));
        contact_.nameGiven = trimBlanks(std::move(given));
    }
}

void ContactAssembler::offerReading(ReadingSource source, QString family, QString given)
{
    if (source <= readingSource_)
        return;
    std::pair<QString, QString> parts{trimBlanks(family), trimBlanks(given)};
    if (parts.second.isEmpty())
        parts = splitAtBlank(parts.first); // the whole reading in one part
    if (parts.first.isEmpty() && parts.second.isEmpty())
        return;
    readingSource_ = source;
    // The reading itself is joined from the parts as they came, untrimmed,
    // so that a reading written whole into the family part (a half-width
    // blank inside, a blank at an end) reads back unchanged.
    reading_ = given.isEmpty() ? std::move(family) : family + FullBlank + given;
    contact_.readingFamily = std::move(parts.first);
    contact_.readingGiven = std::move(parts.second);
}

void ContactAssembler::addPhone(QString number, PhoneKind kind, const QString &key)
{
    QString trimmed = trimBlanks(std::move(number));
    if (!trimmed.isEmpty())
        phones_.append({std::move(trimmed), kind, key});
}

void ContactAssembler::addMail(QString mail, const QString &key)
{
    QString trimmed = trimBlanks(std::move(mail));
    if (!trimmed.isEmpty()) {
        mails_.append(std::move(trimmed));
        mailKeys_.append(key);
    }
}

void ContactAssembler::setField(int field, QString value, const QString &key)
{
    if (isBlankOnly(value))
        return;
    if (isBlankOnly(contact_.record[field]))
        contact_.record[field] = std::move(value);
    else
        leaveOut(key);
}

void ContactAssembler::addPhoto(QByteArray bytes, const QString &type, const QString &key)
{
    if (bytes.isEmpty())
        return;
    if (!contact_.photo.isEmpty() || !isBlankOnly(contact_.record[FieldMap::PhotoField])) {
        leaveOut(key);
        return;
    }
    if (bytes.size() > MaxPhotoBytes || photoBytesKept_ + bytes.size() > MaxPhotoBytesTotal) {
        leaveOut(oversizedPhotoKey());
        return;
    }
    photoBytesKept_ += bytes.size();
    contact_.photo = std::move(bytes);
    contact_.photoType = type.toLower();
}

void ContactAssembler::leaveOut(const QString &key)
{
    ++leftOut_[key];
}

IncomingContact ContactAssembler::finish()
{
    // Called once: the values move on into the contact.
    ContactRecord &record = contact_.record;
    if (contact_.nameFamily.isEmpty() && contact_.nameGiven.isEmpty())
        std::tie(contact_.nameFamily, contact_.nameGiven) = splitAtBlank(fullName_);
    record[NameField] = !fullName_.isEmpty() ? std::move(fullName_)
                                             : joinFamilyGiven(contact_.nameFamily, contact_.nameGiven);
    contact_.hasReading = readingSource_ != ReadingSource::None;
    record[ReadingField] = std::move(reading_);

    // Mobile and ordinary numbers first, then work numbers; faxes apart. A
    // stable insertion sort: a contact has a few numbers, and std::stable_sort
    // would allocate a buffer for them.
    for (qsizetype i = 1; i < phones_.size(); ++i)
        for (qsizetype j = i; j > 0 && phones_[j - 1].kind > phones_[j].kind; --j)
            std::swap(phones_[j - 1], phones_[j]);
    int voiceUsed = 0;
    for (Phone &phone : phones_) {
        if (phone.kind == PhoneKind::Fax)
            setField(FieldMap::FaxField, std::move(phone.number), phone.key);
        else if (voiceUsed < 2)
            record[voiceUsed++ == 0 ? Tel1Field : Tel2Field] = std::move(phone.number);
        else
            leaveOut(phone.key);
    }
    for (qsizetype i = 0; i < mails_.size(); ++i) {
        if (i < 2)
            record[i == 0 ? FieldMap::Mail1Field : FieldMap::Mail2Field] = std::move(mails_[i]);
        else
            leaveOut(mailKeys_[i]);
    }
    return std::move(contact_);
}

} // namespace Detail

static ReadOutcome readContactBytesAs(QByteArrayView bytes, qsizetype stopAfter, bool *recognised,
                                      ContactSink *sink)
{
    // Only the mark is looked at here: the readers decide the rest.
    qsizetype bom = 0;
    const std::optional<TextEncoding> marked = markedEncoding(bytes, &bom);
    QByteArray utf8;
    QByteArrayView body = bytes.sliced(bom);
    *recognised = true;
    if (marked == TextEncoding::Utf16LE || marked == TextEncoding::Utf16BE) {
        utf8 = utf8FromUtf16(body, *marked);
        body = utf8;
    } else if (looksBinary(body.first(std::min<qsizetype>(body.size(), 64 * 1024)))) {
        // The readers look at the rest.
        return failed(ReadFailure::BadContent,
                      QStringLiteral("バイナリファイルです（連絡先のテキストファイルではありません）"));
    }
    // The first line that isn't blank tells a card from a CSV header.
    qsizetype start = 0;
    while (start < body.size() && (body[start] == '\r' || body[start] == '\n' || body[start] == ' ' || body[start] == '\t'))
        ++start;
    const QByteArrayView first = body.sliced(start, std::min<qsizetype>(body.size() - start, 11));
    if (first.compare("BEGIN:VCARD", Qt::CaseInsensitive) == 0)
        return readVCard(bytes, stopAfter, sink);
    ReadOutcome csv = readCsv(bytes, stopAfter);
    if (csv.format == SourceFormat::Unknown && csv.failure == ReadFailure::BadContent)
        *recognised = false;
    return csv;
}

ReadOutcome readContactBytes(QByteArrayView bytes, qsizetype stopAfter)
{
    bool recognised = false;
    ReadOutcome outcome = readContactBytesAs(bytes, stopAfter, &recognised, nullptr);
    if (!recognised)
        return failed(ReadFailure::BadContent,
                      QStringLiteral("vCard でも CSV (Google・Outlook の形式) でもないファイルです"));
    return outcome;
}

static ReadOutcome readRecordFile(const QString &path, qsizetype stopAfter)
{
    ReadOutcome outcome;
    if (const int error = trapError([&] {
            const QList<QStringList> records = readRecords(path, FieldCount, stopAfter);
            outcome.format = SourceFormat::RecordFile;
            outcome.contacts.reserve(records.size());
            for (const QStringList &record : records) {
                IncomingContact contact;
                contact.record = record;
                const auto name = splitAtBlank(record[NameField]);
                contact.nameFamily = name.first;
                contact.nameGiven = name.second;
                const auto reading = splitAtBlank(record[ReadingField]);
                contact.readingFamily = reading.first;
                contact.readingGiven = reading.second;
                contact.hasReading = !reading.first.isEmpty();
                outcome.contacts.append(std::move(contact));
            }
            outcome.count = outcome.contacts.size();
        }))
        return failed(ReadFailure::BadContent,
                      QStringLiteral("vCard でも CSV (Google・Outlook の形式) でも取込ファイルの形式でもないファイルです（")
                          + errorDescription(error) + QStringLiteral("）"));
    if (outcome.contacts.size() > stopAfter)
        return tooMany(std::move(outcome));
    return outcome;
}

// The second half of many contacts goes to the sink on a thread of its own.
void handOver(QList<IncomingContact> &contacts, ContactSink &sink)
{
    const qsizetype count = contacts.size();
    const qsizetype half = count >= SecondThreadFrom ? count / 2 : count;
    // Detached here, once: a shared list would detach in each thread.
    IncomingContact *const data = contacts.data();
    const auto handRange = [&](int part, int parts, qsizetype from, qsizetype to) {
        sink.startPart(part, parts, to - from);
        for (qsizetype i = from; i < to; ++i)
            sink.take(part, std::move(data[i]));
    };
    AsideTask<void> second;
    if (half < count)
        second = AsideTask<void>([&] { handRange(1, 2, half, count); });
    handRange(0, half < count ? 2 : 1, 0, half);
    if (second.valid())
        second.get();
    contacts.clear();
}

ReadOutcome readContactFile(const QString &path, qsizetype stopAfter, ContactSink *sink)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ReadOutcome outcome = failed(ReadFailure::FileError, QString());
        const QFileInfo info(path);
        outcome.errorNumber = !info.exists() ? ErrNo::FileNotFound
            : info.isDir()                   ? ErrNo::PathFileAccess
            : !info.isReadable()             ? ErrNo::PermissionDenied
                                             : ErrNo::DeviceIo;
        outcome.message = path + QStringLiteral(" を開けません（") + errorDescription(outcome.errorNumber)
            + QStringLiteral("）");
        return outcome;
    }
    const qint64 size = file.size();
    if (size > MaxFileBytes)
        return failed(ReadFailure::TooLarge,
                      QStringLiteral("ファイルが大きすぎます（%1 MB。読めるのは %2 MB まで）")
                          .arg(size / (1024 * 1024))
                          .arg(MaxFileBytes / (1024 * 1024)));

    // A file up to ReadWholeUpTo is read into memory of its own (see
    // FileCopy: for a file of 10000 cards, faster than touching a mapping
    // page by page). A larger one is mapped, not copied: its pages are the
    // page cache's, and only the contacts read take memory of their own.
    constexpr qint64 ReadWholeUpTo = 64 * 1024 * 1024;
    FileCopy whole;
    QByteArray copied;
    QByteArrayView bytes;
    if (size > 0) {
        bool readFailed = false;
        if (size <= ReadWholeUpTo && whole.read(file.handle(), size)) {
            bytes = whole.bytes();
        } else if (size <= ReadWholeUpTo && errno != ENOMEM) {
            readFailed = true;
        } else if (uchar *mapped = file.map(0, size)) {
            bytes = QByteArrayView(mapped, size);
        } else {
            copied = file.read(MaxFileBytes + 1);
            readFailed = file.error() != QFileDevice::NoError;
            bytes = copied;
        }
        if (readFailed) {
            ReadOutcome outcome = failed(ReadFailure::FileError, QString());
            outcome.errorNumber = ErrNo::DeviceIo;
            outcome.message = path + QStringLiteral(" を読めません（") + errorDescription(ErrNo::DeviceIo)
                + QStringLiteral("）");
            return outcome;
        }
    }
    if (bytes.isEmpty())
        return failed(ReadFailure::BadContent, QStringLiteral("ファイルが空です"));

    bool recognised = false;
    ReadOutcome outcome = readContactBytesAs(bytes, stopAfter, &recognised, sink);
    if (!recognised)
        outcome = readRecordFile(path, stopAfter);
    if (sink && outcome.ok() && !outcome.contacts.isEmpty())
        handOver(outcome.contacts, *sink);
    return outcome;
}

} // namespace Interchange

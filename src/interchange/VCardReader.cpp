// The vCard reader (2.1, 3.0 and 4.0). It is our own: no library for Qt 6
// in Debian 12 reads what Japanese phones write, a card in Shift_JIS with
// quoted-printable values and soft line breaks, a character set per property,
// and the kana reading in SOUND;X-IRMC-N, X-PHONETIC-*, SORT-STRING or
// SORT-AS. Lines are cut and unfolded on the bytes (every encoding read here
// keeps ASCII bytes for ASCII characters, and no second byte of a code page
// 932 character is a line end, a colon or a semicolon); each value is
// decoded on its own, then split into its components and unescaped.

#include "interchange/ContactReader.h"
#include "interchange/FieldMap.h"
#include "interchange/ReaderSupport.h"

#include "shell/BasCommn.h"
#include "shell/Cp932.h"

#include <QHash>
#include <QStringDecoder>

#include <cstring>

namespace Interchange {

using namespace Detail;

namespace {

struct Property {
    QByteArray group;
    QByteArray name;              // upper case, without its group
    QList<QByteArray> types;      // lower case: TYPE= values and bare parameters
    QByteArray encoding;          // upper case
    QByteArray charset;
    QByteArray valueKind;         // VALUE=, lower case
    QByteArray mediaType;         // MEDIATYPE=, lower case
    QByteArray sortAs;
    bool hasSortAs = false;
    QByteArray value;
    bool oversized = false;       // a binary value past its bound, not kept
    int line = 0;

    bool hasType(const char *type) const { return types.contains(QByteArrayView(type)); }
};

bool isBinaryProperty(QByteArrayView name)
{
    return name == "PHOTO" || name == "LOGO" || name == "SOUND" || name == "KEY";
}

// The property name at the start of a line, without its group, upper case.
QByteArray propertyName(QByteArrayView line)
{
    qsizetype end = 0;
    while (end < line.size() && line[end] != ';' && line[end] != ':')
        ++end;
    QByteArrayView name = line.first(end);
    if (const qsizetype dot = name.lastIndexOf('.'); dot >= 0)
        name = name.sliced(dot + 1);
    return name.toByteArray().trimmed().toUpper();
}

// The name and parameters of a line, upper case.
QByteArray upperHead(QByteArrayView line)
{
    const qsizetype colon = line.indexOf(':');
    return (colon >= 0 ? line.first(colon) : line).toByteArray().toUpper();
}

bool declaresQuotedPrintable(QByteArrayView line)
{
    return upperHead(line).contains("QUOTED-PRINTABLE");
}

bool declaresBase64(QByteArrayView line)
{
    const QByteArray head = upperHead(line);
    return head.contains("BASE64") || head.contains("ENCODING=B");
}

// What an oversized line keeps: its name and parameters, so that what was
// left out is still counted under its name.
QByteArray headOf(QByteArrayView line)
{
    const qsizetype colon = line.indexOf(':');
    return line.first(colon >= 0 ? colon + 1 : 0).toByteArray();
}

QByteArray unquoteParam(QByteArrayView value, bool *quoted)
{
    *quoted = value.size() >= 2 && value.front() == '"' && value.back() == '"';
    if (!*quoted)
        return value.toByteArray();
    // The circumflex escapes of parameter values: ^' ^n ^^.
    QByteArray out;
    const QByteArrayView inner = value.sliced(1, value.size() - 2);
    for (qsizetype i = 0; i < inner.size(); ++i) {
        if (inner[i] == '^' && i + 1 < inner.size()) {
            const char next = inner[i + 1];
            if (next == '\'' || next == 'n' || next == '^') {
                out += next == '\'' ? '"' : next == 'n' ? '\n' : '^';
                ++i;
                continue;
            }
        }
        out += inner[i];
    }
    return out;
}

// Parses one unfolded line; false when it has no colon (no property).
bool parseProperty(QByteArrayView line, Property &p)
{
    qsizetype i = 0;
    while (i < line.size() && line[i] != ';' && line[i] != ':')
        ++i;
    if (i >= line.size())
        return false;
    QByteArrayView fullName = line.first(i);
    if (const qsizetype dot = fullName.lastIndexOf('.'); dot >= 0) {
        p.group = fullName.first(dot).toByteArray().toUpper();
        fullName = fullName.sliced(dot + 1);
    }
    p.name = fullName.toByteArray().trimmed().toUpper();

    QByteArray lastParam;
    bool lastQuoted = true;
    while (i < line.size() && line[i] == ';') {
        const qsizetype start = ++i;
        bool inQuotes = false;
        while (i < line.size() && (inQuotes || (line[i] != ';' && line[i] != ':'))) {
            if (line[i] == '"')
                inQuotes = !inQuotes;
            ++i;
        }
        const QByteArrayView param = line.sliced(start, i - start);
        const qsizetype eq = param.indexOf('=');
        if (eq < 0) {
            const QByteArray bare = param.toByteArray().trimmed();
            // SORT-AS="family;given" written without its quotes.
            if (lastParam == "SORT-AS" && !lastQuoted) {
                p.sortAs += ';' + bare;
                continue;
            }
            const QByteArray upper = bare.toUpper();
            if (upper == "QUOTED-PRINTABLE" || upper == "BASE64" || upper == "8BIT" || upper == "7BIT")
                p.encoding = upper;
            else if (!bare.isEmpty())
                p.types.append(bare.toLower());
            lastParam.clear();
            continue;
        }
        const QByteArray name = param.first(eq).toByteArray().trimmed().toUpper();
        bool quoted = false;
        const QByteArray value = unquoteParam(param.sliced(eq + 1).trimmed(), &quoted);
        lastParam = name;
        lastQuoted = quoted;
        if (name == "TYPE") {
            for (const QByteArray &t : value.split(','))
                if (!t.trimmed().isEmpty())
                    p.types.append(t.trimmed().toLower());
        } else if (name == "ENCODING") {
            p.encoding = value.trimmed().toUpper();
        } else if (name == "CHARSET") {
            p.charset = value.trimmed();
        } else if (name == "VALUE") {
            p.valueKind = value.trimmed().toLower();
        } else if (name == "MEDIATYPE") {
            p.mediaType = value.trimmed().toLower();
        } else if (name == "SORT-AS") {
            p.sortAs = value;
            p.hasSortAs = true;
        }
    }
    if (i >= line.size() || line[i] != ':')
        return false;
    p.value = line.sliced(i + 1).toByteArray();
    return true;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QByteArray decodeQuotedPrintable(QByteArrayView in)
{
    QByteArray out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] != '=') {
            out += in[i];
            continue;
        }
        if (i + 2 < in.size() && hexDigit(in[i + 1]) >= 0 && hexDigit(in[i + 2]) >= 0) {
            out += char(hexDigit(in[i + 1]) * 16 + hexDigit(in[i + 2]));
            i += 2;
        } else if (i + 1 < in.size() && (in[i + 1] == '\r' || in[i + 1] == '\n')) {
            // A soft line break left inside the value.
            ++i;
            if (in[i] == '\r' && i + 1 < in.size() && in[i + 1] == '\n')
                ++i;
        } else if (i + 1 == in.size()) {
            // A soft line break at the very end.
        } else {
            out += '='; // not an escape: kept as it came
        }
    }
    return out;
}

std::optional<QByteArray> decodeBase64(QByteArrayView in)
{
    QByteArray compact;
    compact.reserve(in.size());
    for (const char c : in)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            compact += c;
    auto result = QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors);
    if (!result)
        return std::nullopt;
    return std::move(result.decoded);
}

bool isCp932Name(const QByteArray &charset)
{
    const QByteArray c = charset.toLower();
    return c == "shift_jis" || c == "shift-jis" || c == "sjis" || c == "x-sjis" || c == "cp932"
        || c == "windows-31j" || c == "ms_kanji" || c == "ms932";
}

// Splits a structured value at the semicolons that aren't escaped.
QStringList splitComponents(const QString &text)
{
    QStringList parts;
    QString current;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\' && i + 1 < text.size()) {
            current += text[i];
            current += text[++i];
        } else if (text[i] == u';') {
            parts.append(current);
            current.clear();
        } else {
            current += text[i];
        }
    }
    parts.append(current);
    return parts;
}

QString unescape(const QString &text)
{
    if (!text.contains(u'\\'))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const QChar next = text[++i];
        if (next == u'n' || next == u'N')
            out += u'\n';
        else if (next == u',' || next == u';' || next == u'\\' || next == u':')
            out += next;
        else {
            out += u'\\';
            out += next;
        }
    }
    return out;
}

QString component(const QStringList &parts, qsizetype i)
{
    return i < parts.size() ? unescape(parts[i]) : QString();
}

class VCardParser {
public:
    VCardParser(QByteArrayView body, bool markedUnicode, bool fromUtf16, qsizetype stopAfter)
        : body_(body), markedUnicode_(markedUnicode), fromUtf16_(fromUtf16), stopAfter_(stopAfter)
    {
        outcome_.format = SourceFormat::VCard;
    }

    ReadOutcome run();

private:
    bool nextPhysicalLine(QByteArrayView &line);
    bool handleLogicalLine(QByteArrayView line, int lineNumber, bool oversized);
    bool finishCard();
    std::optional<QString> text(const Property &p);
    std::optional<QString> decodeCharset(QByteArrayView bytes, const Property &p, bool transformed);
    bool error(int line, const QString &what);
    void photo(const Property &p, ContactAssembler &contact);

    QByteArrayView body_;
    qsizetype pos_ = 0;
    int lineNumber_ = 0;
    bool markedUnicode_;    // a byte order mark said UTF-8 or UTF-16
    bool fromUtf16_;
    qsizetype stopAfter_;
    ReadOutcome outcome_;
    qsizetype photoBytes_ = 0;

    int depth_ = 0;
    int cardStart_ = 0;
    bool nestedCounted_ = false;
    QList<Property> card_;
    QString error_;
};

bool VCardParser::error(int line, const QString &what)
{
    error_ = QString::number(line) + QStringLiteral(" 行目: ") + what;
    return false;
}

bool VCardParser::nextPhysicalLine(QByteArrayView &line)
{
    if (pos_ >= body_.size())
        return false;
    const char *const begin = body_.data() + pos_;
    const qsizetype rest = body_.size() - pos_;
    qsizetype length = rest;
    if (const void *lf = std::memchr(begin, '\n', size_t(rest)))
        length = static_cast<const char *>(lf) - begin;
    // A lone CR ends a line too.
    if (const void *cr = std::memchr(begin, '\r', size_t(length)))
        length = static_cast<const char *>(cr) - begin;
    line = QByteArrayView(begin, length);
    pos_ += length;
    if (pos_ < body_.size()) {
        if (body_[pos_] == '\r' && pos_ + 1 < body_.size() && body_[pos_ + 1] == '\n')
            ++pos_;
        ++pos_;
    }
    ++lineNumber_;
    return true;
}

ReadOutcome VCardParser::run()
{
    QByteArray logical;
    int logicalLine = 0;
    bool quotedPrintable = false;
    bool base64 = false;
    bool binary = false;
    bool oversized = false;
    QByteArrayView line;
    const auto flushLine = [&]() -> bool {
        if (logicalLine == 0)
            return true;
        const bool ok = handleLogicalLine(logical, logicalLine, oversized);
        logical.clear();
        logicalLine = 0;
        oversized = false;
        return ok;
    };
    while (nextPhysicalLine(line)) {
        const bool folded = !line.isEmpty() && (line[0] == ' ' || line[0] == '\t');
        // A phone may end a quoted-printable value with "=" before END.
        const bool softBreak = quotedPrintable && logical.endsWith('=')
            && line.trimmed().compare("END:VCARD", Qt::CaseInsensitive) != 0;
        // Version 2.1 lets base64 lines go unindented up to a blank line;
        // a line without a colon is no property of its own.
        const bool base64Block = base64 && !line.isEmpty() && !line.contains(':');
        if (logicalLine != 0 && (folded || softBreak || base64Block)) {
            QByteArrayView more = line;
            if (softBreak)
                logical.chop(1); // the soft line break
            else if (folded)
                more = more.sliced(1);
            if (oversized)
                continue;
            const qsizetype bound = binary ? MaxPhotoBytes / 3 * 4 + 4096 : MaxTextLineBytes;
            if (logical.size() + more.size() > bound) {
                if (!binary) {
                    error(logicalLine, QStringLiteral("行が長すぎます（1 MB を超えています）"));
                    return failed(ReadFailure::BadContent, error_);
                }
                oversized = true;
                logical = headOf(logical);
                continue;
            }
            logical += more;
            continue;
        }
        if (!flushLine())
            return failed(ReadFailure::BadContent, error_);
        if (outcome_.failure == ReadFailure::TooMany)
            return std::move(outcome_);
        if (line.trimmed().isEmpty())
            continue;
        logicalLine = lineNumber_;
        const QByteArray name = propertyName(line);
        binary = isBinaryProperty(name);
        quotedPrintable = declaresQuotedPrintable(line);
        base64 = declaresBase64(line);
        const qsizetype bound = binary ? MaxPhotoBytes / 3 * 4 + 4096 : MaxTextLineBytes;
        if (line.size() > bound) {
            if (!binary) {
                error(logicalLine, QStringLiteral("行が長すぎます（1 MB を超えています）"));
                return failed(ReadFailure::BadContent, error_);
            }
            oversized = true;
            logical = headOf(line);
            continue;
        }
        logical = line.toByteArray();
    }
    if (!flushLine())
        return failed(ReadFailure::BadContent, error_);
    if (outcome_.failure == ReadFailure::TooMany)
        return std::move(outcome_);
    if (depth_ > 0)
        return failed(ReadFailure::BadContent,
                      QString::number(cardStart_)
                          + QStringLiteral(" 行目の「BEGIN:VCARD」に対応する「END:VCARD」がありません"));
    if (outcome_.contacts.isEmpty())
        return failed(ReadFailure::BadContent, QStringLiteral("vCard に連絡先がありません"));
    return std::move(outcome_);
}

bool VCardParser::handleLogicalLine(QByteArrayView line, int lineNumber, bool oversized)
{
    Property p;
    if (!parseProperty(line, p))
        return true; // no property: a stray line between the cards
    p.line = lineNumber;
    p.oversized = oversized;
    const bool isBegin = p.name == "BEGIN" && p.value.trimmed().toUpper() == "VCARD";
    const bool isEnd = p.name == "END" && p.value.trimmed().toUpper() == "VCARD";
    if (isBegin) {
        if (depth_++ == 0) {
            card_.clear();
            cardStart_ = lineNumber;
            nestedCounted_ = false;
        } else if (!nestedCounted_) {
            // A card inside a card (AGENT of 2.1): not a contact of the list.
            ++outcome_.leftOut[QStringLiteral("AGENT")];
            nestedCounted_ = true;
        }
        return true;
    }
    if (depth_ == 0)
        return true;
    if (isEnd) {
        if (--depth_ == 0)
            return finishCard();
        return true;
    }
    if (depth_ == 1)
        card_.append(std::move(p));
    return true;
}

std::optional<QString> VCardParser::decodeCharset(QByteArrayView bytes, const Property &p, bool transformed)
{
    if (!p.charset.isEmpty() && (transformed || !fromUtf16_)) {
        if (isCp932Name(p.charset)) {
            if (auto t = Cp932::decode(bytes))
                return t;
            error(p.line, QStringLiteral("Shift_JIS と宣言された値に Shift_JIS として読めないバイトがあります"));
            return std::nullopt;
        }
        if (p.charset.toLower() == "utf-8" || p.charset.toLower() == "utf8") {
            if (isValidUtf8(bytes))
                return QString::fromUtf8(bytes);
            error(p.line, QStringLiteral("UTF-8 と宣言された値に UTF-8 として読めないバイトがあります"));
            return std::nullopt;
        }
        QStringDecoder decoder(p.charset.constData());
        if (!decoder.isValid()) {
            error(p.line, QStringLiteral("文字コード「") + QString::fromLatin1(p.charset)
                              + QStringLiteral("」は読めません"));
            return std::nullopt;
        }
        QString t = decoder(bytes);
        if (decoder.hasError()) {
            error(p.line, QStringLiteral("文字コード「") + QString::fromLatin1(p.charset)
                              + QStringLiteral("」として読めないバイトがあります"));
            return std::nullopt;
        }
        return t;
    }
    // No character set of its own: valid UTF-8 is UTF-8, else code page
    // 932 unless a byte order mark said otherwise. Deciding by the value
    // gives what deciding by the whole file gives for a file that is UTF-8
    // throughout, and keeps a file of phones' cards readable in which only
    // some values are in Shift_JIS.
    if (isValidUtf8(bytes))
        return QString::fromUtf8(bytes);
    if (markedUnicode_) {
        error(p.line, QStringLiteral("UTF-8 として読めないバイトがあります"));
        return std::nullopt;
    }
    if (auto t = Cp932::decode(bytes))
        return t;
    error(p.line, QStringLiteral("UTF-8 としても Shift_JIS としても読めないバイトがあります"));
    return std::nullopt;
}

std::optional<QString> VCardParser::text(const Property &p)
{
    if (p.encoding == "QUOTED-PRINTABLE")
        return decodeCharset(decodeQuotedPrintable(p.value), p, true);
    if (p.encoding == "B" || p.encoding == "BASE64") {
        const auto bytes = decodeBase64(p.value);
        if (!bytes) {
            error(p.line, QStringLiteral("BASE64 の値が壊れています"));
            return std::nullopt;
        }
        return decodeCharset(*bytes, p, true);
    }
    return decodeCharset(p.value, p, false);
}

QString imageType(const Property &p)
{
    QByteArray media = p.mediaType;
    for (const QByteArray &t : p.types)
        if (t.startsWith("image/") || t == "jpeg" || t == "jpg" || t == "png" || t == "gif" || t == "bmp"
            || t == "heic" || t == "webp")
            media = t;
    if (media.startsWith("image/"))
        media = media.sliced(6);
    if (media == "jpg")
        media = "jpeg";
    return QString::fromLatin1(media);
}

void VCardParser::photo(const Property &p, ContactAssembler &contact)
{
    if (p.oversized) {
        contact.leaveOut(oversizedPhotoKey());
        return;
    }
    if (p.encoding == "B" || p.encoding == "BASE64") {
        if (auto bytes = decodeBase64(p.value))
            contact.addPhoto(std::move(*bytes), imageType(p), QStringLiteral("PHOTO"));
        else
            contact.leaveOut(QStringLiteral("PHOTO"));
        return;
    }
    const QByteArray value = p.value.trimmed();
    if (value.toLower().startsWith("data:")) {
        // data:image/jpeg;base64,…
        const qsizetype comma = value.indexOf(',');
        const QByteArray head = value.first(std::max<qsizetype>(comma, 0)).toLower();
        std::optional<QByteArray> bytes;
        if (comma >= 0 && head.endsWith(";base64"))
            bytes = decodeBase64(QByteArrayView(value).sliced(comma + 1));
        if (!bytes) {
            contact.leaveOut(QStringLiteral("PHOTO"));
            return;
        }
        Property typed = p;
        typed.mediaType = head.sliced(5, head.size() - 5 - 7);
        contact.addPhoto(std::move(*bytes), imageType(typed), QStringLiteral("PHOTO"));
        return;
    }
    if (auto uri = text(p))
        contact.setField(FieldMap::PhotoField, unescape(*uri), QStringLiteral("PHOTO"));
}

PhoneKind phoneKind(const Property &p, const QString &label)
{
    const QString l = label.toLower();
    if (p.hasType("fax") || l.contains(u"fax") || l.contains(u"ファクス") || l.contains(u"ファックス"))
        return PhoneKind::Fax;
    if (p.hasType("cell") || p.hasType("mobile") || p.hasType("iphone") || l.contains(u"mobile")
        || l.contains(u"携帯"))
        return PhoneKind::Cell;
    if (p.hasType("work") || l.contains(u"work") || l.contains(u"勤務先") || l.contains(u"会社"))
        return PhoneKind::Work;
    return PhoneKind::Voice;
}

bool isIgnored(const QByteArray &name)
{
    // What describes the card rather than the contact.
    static const QByteArrayView ignored[] = {"VERSION", "PRODID", "REV", "UID", "X-ABLABEL", "X-ABUID",
                                             "X-ABSHOWAS", "X-IRMC-LUID", "CLIENTPIDMAP", "KIND"};
    for (QByteArrayView i : ignored)
        if (name == i)
            return true;
    return false;
}

bool VCardParser::finishCard()
{
    ContactAssembler contact(outcome_.leftOut, photoBytes_);
    QHash<QByteArray, QString> labels; // X-ABLabel of each group
    for (const Property &p : card_) {
        if (p.name == "X-ABLABEL" && !p.group.isEmpty()) {
            const auto t = text(p);
            if (!t)
                return false;
            labels.insert(p.group, unescape(*t));
        }
    }
    QString phoneticFamily;
    QString phoneticGiven;
    for (const Property &p : card_) {
        const QByteArray &name = p.name;
        const QString key = QString::fromLatin1(name);
        if (isIgnored(name))
            continue;
        if (name == "PHOTO") {
            photo(p, contact);
            continue;
        }
        if (p.oversized) {
            contact.leaveOut(key);
            continue;
        }
        if (name == "SOUND" && !p.hasType("x-irmc-n")) {
            contact.leaveOut(key);
            continue;
        }
        const std::optional<QString> decoded = text(p);
        if (!decoded)
            return false;
        const QString value = normaliseLineBreaks(*decoded);
        if (name == "FN") {
            contact.setFullName(unescape(value));
        } else if (name == "N") {
            const QStringList parts = splitComponents(value);
            contact.setNameParts(component(parts, 0), component(parts, 1));
            if (p.hasSortAs) {
                const std::optional<QString> sortAs = decodeCharset(p.sortAs, p, false);
                if (!sortAs)
                    return false;
                QString s = *sortAs;
                s.replace(u';', u',');
                const QStringList sp = s.split(u',');
                contact.offerReading(ReadingSource::SortAs, sp.value(0), sp.mid(1).join(u' '));
            }
        } else if (name == "SOUND") {
            const QStringList parts = splitComponents(value);
            contact.offerReading(ReadingSource::IrmcSound, component(parts, 0), component(parts, 1));
        } else if (name == "SORT-STRING") {
            contact.offerReading(ReadingSource::SortString, unescape(value), QString());
        } else if (name == "X-PHONETIC-LAST-NAME") {
            phoneticFamily = unescape(value);
        } else if (name == "X-PHONETIC-FIRST-NAME") {
            phoneticGiven = unescape(value);
        } else if (name == "TEL") {
            QString number = unescape(value).trimmed();
            if (number.startsWith(u"tel:", Qt::CaseInsensitive))
                number = number.sliced(4);
            contact.addPhone(number, phoneKind(p, labels.value(p.group)), key);
        } else if (name == "EMAIL") {
            QString mail = unescape(value).trimmed();
            if (mail.startsWith(u"mailto:", Qt::CaseInsensitive))
                mail = mail.sliced(7);
            contact.addMail(mail, key);
        } else if (name == "ORG") {
            const QStringList parts = splitComponents(value);
            contact.setField(FieldMap::Affiliation1Field, component(parts, 0), key);
            QStringList departments;
            for (qsizetype i = 1; i < parts.size(); ++i)
                if (!trimBlanks(component(parts, i)).isEmpty())
                    departments.append(component(parts, i));
            contact.setField(FieldMap::Affiliation2Field, departments.join(u' '), key);
            if (p.hasSortAs && !p.sortAs.trimmed().isEmpty())
                contact.leaveOut(QStringLiteral("ORG;SORT-AS"));
        } else if (name == "TITLE") {
            contact.setField(FieldMap::TitleField, unescape(value), key);
        } else if (name == "ADR") {
            // Japanese order: postal code, region, locality, street, then
            // the extended address, the post office box and the country.
            const QStringList parts = splitComponents(value);
            QStringList pieces;
            for (int i : {5, 4, 3, 2, 1, 0, 6})
                if (const QString c = trimBlanks(component(parts, i)); !c.isEmpty())
                    pieces.append(c);
            contact.setField(FieldMap::AddressField, pieces.join(u' '), key);
        } else if (name == "URL") {
            contact.setField(FieldMap::UrlField, unescape(value), key);
        } else if (name == "NOTE") {
            contact.setField(FieldMap::CommentField, unescape(value), key);
        } else {
            bool own = false;
            for (const FieldMap::OwnProperty &o : FieldMap::ownProperties) {
                if (name == QByteArrayView(o.vcardName.data(), o.vcardName.size())) {
                    contact.setField(o.field, unescape(value), key);
                    own = true;
                }
            }
            if (!own && !trimBlanks(value).isEmpty())
                contact.leaveOut(key);
        }
    }
    contact.offerReading(ReadingSource::Phonetic, phoneticFamily, phoneticGiven);
    card_.clear();
    outcome_.contacts.append(contact.finish());
    if (outcome_.contacts.size() > stopAfter_)
        outcome_ = tooMany(std::move(outcome_));
    return true;
}

} // namespace

ReadOutcome readVCard(QByteArrayView bytes, qsizetype stopAfter)
{
    qsizetype bom = 0;
    const std::optional<TextEncoding> marked = markedEncoding(bytes, &bom);
    QByteArrayView body = bytes.sliced(bom);
    QByteArray utf8;
    const bool fromUtf16 = marked == TextEncoding::Utf16LE || marked == TextEncoding::Utf16BE;
    if (fromUtf16) {
        utf8 = utf8FromUtf16(body, *marked);
        if (utf8.isEmpty() && !body.isEmpty())
            return failed(ReadFailure::BadContent, QStringLiteral("UTF-16 として読めないバイトがあります"));
        body = utf8;
    } else if (looksBinary(body)) {
        return failed(ReadFailure::BadContent,
                      QStringLiteral("バイナリファイルです（連絡先のテキストファイルではありません）"));
    }
    VCardParser parser(body, marked.has_value(), fromUtf16, stopAfter);
    return parser.run();
}

} // namespace Interchange

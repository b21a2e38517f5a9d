// The CSV reader for the exports of Google Contacts (current and older) and
// of Outlook. It is our own: Qt has no CSV reader, and a file comes in UTF-8
// or code page 932 with line breaks inside quoted fields (RFC 4180). Records
// are cut on the bytes (no second byte of a code page 932 character is a
// quote, a comma or a line end), each field is decoded on its own. Columns
// are found by their header names, in any order.

#include "interchange/ContactReader.h"
#include "interchange/FieldMap.h"
#include "interchange/ReaderSupport.h"

#include "shell/BasCommn.h"

#include <QHash>
#include <QRegularExpression>

namespace Interchange {

using namespace Detail;

namespace {

class CsvSplitter {
public:
    explicit CsvSplitter(QByteArrayView body) : body_(body) {}

    enum class Result { Record, End, Error };

    // The next record's fields; startLine receives its first line's number.
    // A field is a view into the file's bytes, or into the record's own
    // storage where a doubled quote had to be undone.
    Result next(QList<QByteArrayView> &fields, int &startLine)
    {
        fields.clear();
        owned_.clear();
        if (pos_ >= body_.size())
            return Result::End;
        startLine = line_;
        qsizetype recordBytes = 0;
        for (;;) {
            QByteArrayView field;
            QByteArray built;
            bool isBuilt = false;
            const bool quoted = pos_ < body_.size() && body_[pos_] == '"';
            if (quoted) {
                const int quoteLine = line_;
                const qsizetype start = ++pos_;
                for (;;) {
                    const qsizetype quote = body_.sliced(pos_).indexOf('"');
                    if (quote < 0) {
                        error_ = QString::number(quoteLine)
                            + QStringLiteral(" 行目で始まる引用符 (\") が閉じていません");
                        return Result::Error;
                    }
                    const QByteArrayView run = body_.sliced(pos_, quote);
                    if (recordBytes + (pos_ + quote - start) > MaxTextLineBytes)
                        return tooLong(startLine);
                    line_ += int(run.count('\n')) + int(run.count('\r')) - int(run.count("\r\n"));
                    if (isBuilt)
                        built += run;
                    pos_ += quote + 1;
                    if (pos_ < body_.size() && body_[pos_] == '"') {
                        if (!isBuilt) {
                            built = body_.sliced(start, pos_ - 1 - start).toByteArray();
                            isBuilt = true;
                        }
                        built += '"';
                        ++pos_;
                        continue;
                    }
                    if (!isBuilt)
                        field = body_.sliced(start, pos_ - 1 - start);
                    break;
                }
            }
            // The unquoted field, or what follows a closing quote.
            qsizetype end = pos_;
            while (end < body_.size() && body_[end] != ',' && body_[end] != '\r' && body_[end] != '\n')
                ++end;
            if (recordBytes + (isBuilt ? built.size() : field.size()) + (end - pos_) > MaxTextLineBytes)
                return tooLong(startLine);
            if (!quoted) {
                field = body_.sliced(pos_, end - pos_);
            } else if (end > pos_) {
                // Text after the closing quote belongs to the field.
                if (!isBuilt) {
                    built = field.toByteArray();
                    isBuilt = true;
                }
                built += body_.sliced(pos_, end - pos_);
            }
            if (isBuilt) {
                owned_.append(std::move(built));
                field = owned_.back(); // a QByteArray's bytes stay where they are when the list grows
            }
            recordBytes += field.size();
            fields.append(field);
            pos_ = end;
            if (pos_ < body_.size() && body_[pos_] == ',') {
                ++pos_;
                continue;
            }
            if (pos_ < body_.size()) {
                if (body_[pos_] == '\r' && pos_ + 1 < body_.size() && body_[pos_ + 1] == '\n')
                    ++pos_;
                ++pos_;
                ++line_;
            }
            return Result::Record;
        }
    }

    QString error() const { return error_; }

private:
    Result tooLong(int startLine)
    {
        error_ = QString::number(startLine)
            + QStringLiteral(" 行目で始まる行が長すぎます（1 MB を超えています。引用符が閉じていないのかもしれません）");
        return Result::Error;
    }

    QByteArrayView body_;
    QList<QByteArray> owned_;
    qsizetype pos_ = 0;
    int line_ = 1;
    QString error_;
};

enum class Role {
    Other, Ignored, First, Middle, Last, Full,
    PhoneticFirst, PhoneticMiddle, PhoneticLast, PhoneticWhole,
    Company, Department, Title, Notes, Photo, Web, Mail, Groups,
    Phone, PhoneLabel,
    AddressFormatted, AddressStreet, AddressCity, AddressRegion, AddressPostalCode,
    AddressCountry, AddressExtended, AddressPoBox,
    CustomLabel, CustomValue,
};

struct Column {
    Role role = Role::Other;
    int group = 0;
    PhoneKind kind = PhoneKind::Voice; // for Outlook's phone columns
    bool fixedKind = false;
    QString header;
};

Role addressPart(const QString &sub)
{
    if (sub == u"formatted")
        return Role::AddressFormatted;
    if (sub == u"street" || sub == u"street 2" || sub == u"street 3")
        return Role::AddressStreet;
    if (sub == u"city")
        return Role::AddressCity;
    if (sub == u"region" || sub == u"state")
        return Role::AddressRegion;
    if (sub == u"postal code")
        return Role::AddressPostalCode;
    if (sub == u"country" || sub == u"country/region")
        return Role::AddressCountry;
    if (sub == u"extended address")
        return Role::AddressExtended;
    if (sub == u"po box")
        return Role::AddressPoBox;
    if (sub == u"type" || sub == u"label")
        return Role::Ignored;
    return Role::Other;
}

Column classify(const QString &header)
{
    Column c;
    c.header = header;
    const QString h = header.trimmed().toLower();

    // Google's numbered groups: "E-mail 1 - Value", "Phone 2 - Label", …
    static const QRegularExpression grouped(QStringLiteral("^(.+) (\\d+) - (.+)$"));
    if (const QRegularExpressionMatch m = grouped.match(h); m.hasMatch()) {
        const QString kind = m.captured(1);
        const QString sub = m.captured(3);
        c.group = m.captured(2).toInt();
        const bool label = sub == u"label" || sub == u"type";
        if (kind == u"e-mail")
            c.role = sub == u"value" ? Role::Mail : label ? Role::Ignored : Role::Other;
        else if (kind == u"phone")
            c.role = sub == u"value" ? Role::Phone : label ? Role::PhoneLabel : Role::Other;
        else if (kind == u"address")
            c.role = addressPart(sub);
        else if (kind == u"website")
            c.role = sub == u"value" ? Role::Web : label ? Role::Ignored : Role::Other;
        else if (kind == u"custom field")
            c.role = sub == u"value" ? Role::CustomValue : label ? Role::CustomLabel : Role::Other;
        else if (kind == u"organization" && c.group == 1)
            c.role = sub == u"name" ? Role::Company
                : sub == u"department" ? Role::Department
                : sub == u"title" ? Role::Title
                : label ? Role::Ignored : Role::Other;
        return c;
    }

    static const QHash<QString, Role> named = {
        {QStringLiteral("first name"), Role::First},
        {QStringLiteral("given name"), Role::First},
        {QStringLiteral("middle name"), Role::Middle},
        {QStringLiteral("additional name"), Role::Middle},
        {QStringLiteral("last name"), Role::Last},
        {QStringLiteral("family name"), Role::Last},
        {QStringLiteral("name"), Role::Full},
        {QStringLiteral("phonetic first name"), Role::PhoneticFirst},
        {QStringLiteral("given name yomi"), Role::PhoneticFirst},
        {QStringLiteral("given yomi"), Role::PhoneticFirst},
        {QStringLiteral("phonetic middle name"), Role::PhoneticMiddle},
        {QStringLiteral("additional name yomi"), Role::PhoneticMiddle},
        {QStringLiteral("phonetic last name"), Role::PhoneticLast},
        {QStringLiteral("family name yomi"), Role::PhoneticLast},
        {QStringLiteral("surname yomi"), Role::PhoneticLast},
        {QStringLiteral("yomi name"), Role::PhoneticWhole},
        {QStringLiteral("organization name"), Role::Company},
        {QStringLiteral("company"), Role::Company},
        {QStringLiteral("organization department"), Role::Department},
        {QStringLiteral("department"), Role::Department},
        {QStringLiteral("organization title"), Role::Title},
        {QStringLiteral("job title"), Role::Title},
        {QStringLiteral("notes"), Role::Notes},
        {QStringLiteral("photo"), Role::Photo},
        {QStringLiteral("web page"), Role::Web},
        {QStringLiteral("labels"), Role::Groups},
        {QStringLiteral("group membership"), Role::Groups},
        {QStringLiteral("e-mail address"), Role::Mail},
        {QStringLiteral("e-mail 2 address"), Role::Mail},
        {QStringLiteral("e-mail 3 address"), Role::Mail},
        // What describes the export rather than the contact.
        {QStringLiteral("e-mail type"), Role::Ignored},
        {QStringLiteral("e-mail display name"), Role::Ignored},
        {QStringLiteral("e-mail 2 type"), Role::Ignored},
        {QStringLiteral("e-mail 2 display name"), Role::Ignored},
        {QStringLiteral("e-mail 3 type"), Role::Ignored},
        {QStringLiteral("e-mail 3 display name"), Role::Ignored},
        {QStringLiteral("priority"), Role::Ignored},
        {QStringLiteral("sensitivity"), Role::Ignored},
        {QStringLiteral("private"), Role::Ignored},
        {QStringLiteral("initials"), Role::Ignored},
        {QStringLiteral("file as"), Role::Ignored},
    };
    if (const auto it = named.constFind(h); it != named.constEnd()) {
        c.role = *it;
        return c;
    }

    // Outlook's phones and its business, home and other addresses.
    static const QHash<QString, PhoneKind> phones = {
        {QStringLiteral("mobile phone"), PhoneKind::Cell},
        {QStringLiteral("primary phone"), PhoneKind::Voice},
        {QStringLiteral("home phone"), PhoneKind::Voice},
        {QStringLiteral("home phone 2"), PhoneKind::Voice},
        {QStringLiteral("other phone"), PhoneKind::Voice},
        {QStringLiteral("car phone"), PhoneKind::Voice},
        {QStringLiteral("business phone"), PhoneKind::Work},
        {QStringLiteral("business phone 2"), PhoneKind::Work},
        {QStringLiteral("company main phone"), PhoneKind::Work},
        {QStringLiteral("business fax"), PhoneKind::Fax},
        {QStringLiteral("home fax"), PhoneKind::Fax},
        {QStringLiteral("other fax"), PhoneKind::Fax},
    };
    if (const auto it = phones.constFind(h); it != phones.constEnd()) {
        c.role = Role::Phone;
        c.kind = *it;
        c.fixedKind = true;
        return c;
    }
    for (const auto &[prefix, group] : {std::pair{u"business ", 1}, {u"home ", 2}, {u"other ", 3}}) {
        const QString p = QString::fromUtf16(prefix);
        if (h.startsWith(p)) {
            const Role part = addressPart(h.sliced(p.size()));
            if (part != Role::Other && part != Role::Ignored && part != Role::AddressFormatted) {
                c.role = part;
                c.group = group;
            }
            return c;
        }
    }
    return c;
}

// Values Outlook writes into every empty date and choice.
bool isPlaceholder(const QString &value)
{
    return value == u"0/0/00" || value == u"0/0/0000" || value == u"Unspecified";
}

PhoneKind kindOfLabel(const QString &label)
{
    const QString l = label.toLower();
    if (l.contains(u"fax"))
        return PhoneKind::Fax;
    if (l.contains(u"mobile") || l.contains(u"携帯"))
        return PhoneKind::Cell;
    if (l.contains(u"work") || l.contains(u"勤務先"))
        return PhoneKind::Work;
    return PhoneKind::Voice;
}

QStringList splitValues(const QString &value)
{
    QStringList values;
    for (const QString &v : value.split(QStringLiteral(" ::: ")))
        if (!isBlankOnly(v))
            values.append(trimBlanks(v));
    return values;
}

struct AddressParts {
    QString formatted, street, city, region, postalCode, country, extended, poBox, header;
};

} // namespace

ReadOutcome readCsv(QByteArrayView bytes, qsizetype stopAfter)
{
    qsizetype bom = 0;
    const TextEncoding encoding = detectEncoding(bytes, &bom);
    QByteArrayView body = bytes.sliced(bom);
    QByteArray utf8;
    TextEncoding fieldEncoding = encoding;
    if (encoding == TextEncoding::Utf16LE || encoding == TextEncoding::Utf16BE) {
        utf8 = utf8FromUtf16(body, encoding);
        if (utf8.isEmpty() && !body.isEmpty())
            return failed(ReadFailure::BadContent, QStringLiteral("UTF-16 として読めないバイトがあります"));
        body = utf8;
        fieldEncoding = TextEncoding::Utf8;
    } else if (looksBinary(body)) {
        return failed(ReadFailure::BadContent,
                      QStringLiteral("バイナリファイルです（連絡先のテキストファイルではありません）"));
    }

    CsvSplitter splitter(body);
    QList<QByteArrayView> fields;
    int line = 0;
    const auto decode = [&](QByteArrayView field) -> std::optional<QString> {
        if (field.isEmpty())
            return QString();
        return decodeAs(field, fieldEncoding);
    };

    CsvSplitter::Result result = splitter.next(fields, line);
    while (result == CsvSplitter::Result::Record && fields.size() == 1 && fields[0].trimmed().isEmpty())
        result = splitter.next(fields, line);
    if (result != CsvSplitter::Result::Record)
        return failed(ReadFailure::BadContent, QStringLiteral("CSV の見出し行がありません"));
    QList<Column> columns;
    QSet<QString> headers;
    for (QByteArrayView field : fields) {
        const std::optional<QString> header = decode(field);
        if (!header)
            return failed(ReadFailure::BadContent, QStringLiteral("見出し行に読めないバイトがあります"));
        columns.append(classify(trimBlanks(*header)));
        headers.insert(trimBlanks(*header).toLower());
    }

    ReadOutcome outcome;
    const auto has = [&](const char *h) { return headers.contains(QLatin1StringView(h)); };
    if (has("phonetic first name") || has("phonetic last name") || has("organization name")
        || (has("first name") && (has("e-mail 1 - value") || has("phone 1 - value"))))
        outcome.format = SourceFormat::GoogleCsv;
    else if (has("given name yomi") || has("family name yomi")
             || ((has("given name") || has("family name")) && has("e-mail 1 - value")))
        outcome.format = SourceFormat::GoogleOldCsv;
    else if (has("first name") && (has("given yomi") || has("surname yomi") || has("e-mail address")
                                   || has("mobile phone") || has("business phone") || has("company")))
        outcome.format = SourceFormat::OutlookCsv;
    else
        return failed(ReadFailure::BadContent,
                      QStringLiteral("CSV の見出し行が Google 連絡先・Outlook の形式ではありません"));

    qsizetype photoBytes = 0;
    while ((result = splitter.next(fields, line)) == CsvSplitter::Result::Record) {
        QStringList values;
        bool blank = true;
        for (qsizetype i = 0; i < fields.size() && i < columns.size(); ++i) {
            std::optional<QString> value = decode(fields[i]);
            if (!value) {
                outcome.failure = ReadFailure::BadContent;
                outcome.message = QString::number(line)
                    + QStringLiteral(" 行目: UTF-8 としても Shift_JIS としても読めないバイトがあります");
                outcome.contacts.clear();
                return outcome;
            }
            if (isPlaceholder(*value))
                value->clear();
            *value = normaliseLineBreaks(std::move(*value));
            blank = blank && isBlankOnly(*value);
            values.append(*value);
        }
        if (blank)
            continue;

        ContactAssembler contact(outcome.leftOut, photoBytes);
        QString first, middle, last, full, phFirst, phMiddle, phLast, phWhole;
        QMap<int, QString> phoneLabels;
        struct Phones {
            QStringList numbers;
            QString header;
            std::optional<PhoneKind> kind;
        };
        QMap<int, Phones> phoneValues; // Google's by group, then Outlook's by column
        QMap<int, AddressParts> addresses;
        QMap<int, QString> customLabels;
        QMap<int, std::pair<QString, QString>> customValues; // value, header
        for (qsizetype i = 0; i < values.size(); ++i) {
            const Column &c = columns[i];
            const QString &v = values[i];
            if (isBlankOnly(v) && c.role != Role::PhoneLabel && c.role != Role::CustomLabel)
                continue;
            switch (c.role) {
            case Role::Ignored: break;
            case Role::Other: contact.leaveOut(c.header); break;
            case Role::First: first = v; break;
            case Role::Middle: middle = v; break;
            case Role::Last: last = v; break;
            case Role::Full: full = v; break;
            case Role::PhoneticFirst: phFirst = v; break;
            case Role::PhoneticMiddle: phMiddle = v; break;
            case Role::PhoneticLast: phLast = v; break;
            case Role::PhoneticWhole: phWhole = v; break;
            case Role::Company: contact.setField(FieldMap::Affiliation1Field, v, c.header); break;
            case Role::Department: contact.setField(FieldMap::Affiliation2Field, v, c.header); break;
            case Role::Title: contact.setField(FieldMap::TitleField, v, c.header); break;
            case Role::Notes: contact.setField(FieldMap::CommentField, v, c.header); break;
            case Role::Photo: contact.setField(FieldMap::PhotoField, v, c.header); break;
            case Role::Web:
                for (const QString &url : splitValues(v))
                    contact.setField(FieldMap::UrlField, url, c.header);
                break;
            case Role::Mail:
                for (const QString &mail : splitValues(v))
                    contact.addMail(mail, c.header);
                break;
            case Role::Groups:
                for (const QString &g : splitValues(v))
                    if (g.compare(u"* myContacts", Qt::CaseInsensitive) != 0
                        && g.compare(u"* My Contacts", Qt::CaseInsensitive) != 0
                        && g.compare(u"myContacts", Qt::CaseInsensitive) != 0)
                        contact.leaveOut(c.header);
                break;
            case Role::Phone:
                if (c.fixedKind)
                    phoneValues[100000 + int(i)] = {splitValues(v), c.header, c.kind};
                else
                    phoneValues[c.group] = {splitValues(v), c.header, std::nullopt};
                break;
            case Role::PhoneLabel: phoneLabels[c.group] = v; break;
            case Role::AddressFormatted: addresses[c.group].formatted = v; break;
            case Role::AddressStreet: {
                QString &street = addresses[c.group].street;
                street = street.isEmpty() ? v : street + u' ' + v;
                addresses[c.group].header = c.header;
                break;
            }
            case Role::AddressCity: addresses[c.group].city = v; break;
            case Role::AddressRegion: addresses[c.group].region = v; break;
            case Role::AddressPostalCode: addresses[c.group].postalCode = v; break;
            case Role::AddressCountry: addresses[c.group].country = v; break;
            case Role::AddressExtended: addresses[c.group].extended = v; break;
            case Role::AddressPoBox: addresses[c.group].poBox = v; break;
            case Role::CustomLabel: customLabels[c.group] = trimBlanks(v); break;
            case Role::CustomValue: customValues[c.group] = {v, c.header}; break;
            }
            if (c.role == Role::AddressFormatted)
                addresses[c.group].header = c.header;
        }

        const QString given = middle.isEmpty() ? first : trimBlanks(first) + u' ' + trimBlanks(middle);
        contact.setFullName(full);
        contact.setNameParts(last, given);
        if (!isBlankOnly(phLast) || !isBlankOnly(phFirst) || !isBlankOnly(phMiddle))
            contact.offerReading(ReadingSource::Phonetic, phLast,
                                 phMiddle.isEmpty() ? phFirst : trimBlanks(phFirst) + u' ' + trimBlanks(phMiddle));
        else
            contact.offerReading(ReadingSource::Phonetic, phWhole, QString());

        for (auto it = phoneValues.cbegin(); it != phoneValues.cend(); ++it) {
            const PhoneKind kind = it->kind.value_or(kindOfLabel(phoneLabels.value(it.key())));
            for (const QString &number : it->numbers)
                contact.addPhone(number, kind, it->header);
        }
        for (const AddressParts &a : addresses) {
            QStringList formatted = splitValues(a.formatted);
            if (formatted.isEmpty()) {
                QStringList pieces;
                for (const QString *part : {&a.postalCode, &a.region, &a.city, &a.street, &a.extended, &a.poBox, &a.country})
                    if (!isBlankOnly(*part))
                        pieces.append(trimBlanks(*part));
                if (!pieces.isEmpty())
                    formatted.append(pieces.join(u' '));
            }
            for (const QString &address : formatted)
                contact.setField(FieldMap::AddressField, address, a.header);
        }
        for (auto it = customValues.cbegin(); it != customValues.cend(); ++it) {
            const QString label = customLabels.value(it.key());
            bool own = false;
            for (const FieldMap::OwnProperty &o : FieldMap::ownProperties) {
                if (label == o.customLabel) {
                    contact.setField(o.field, it->first, label);
                    own = true;
                }
            }
            if (!own)
                contact.leaveOut(label.isEmpty() ? it->second : label);
        }

        outcome.contacts.append(contact.finish());
        if (++outcome.count > stopAfter)
            return tooMany(std::move(outcome));
    }
    if (result == CsvSplitter::Result::Error) {
        outcome.failure = ReadFailure::BadContent;
        outcome.message = splitter.error();
        outcome.contacts.clear();
        outcome.count = 0;
        return outcome;
    }
    if (outcome.contacts.isEmpty()) {
        outcome.failure = ReadFailure::BadContent;
        outcome.message = QStringLiteral("CSV に連絡先の行がありません（見出し行だけです）");
    }
    return outcome;
}

} // namespace Interchange

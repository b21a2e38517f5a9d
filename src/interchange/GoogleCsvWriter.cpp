#include "interchange/GoogleCsvWriter.h"

#include "interchange/FieldMap.h"
#include "interchange/NameParts.h"
#include "interchange/Utf8Output.h"

#include <cstring>

namespace {

// The columns of Google's current export, in its order, up to the ones this
// list fills. Readers find the columns by name.
constexpr char kHeader[] =
    "First Name,Middle Name,Last Name,Phonetic First Name,Phonetic Middle Name,"
    "Phonetic Last Name,Name Prefix,Name Suffix,Nickname,File As,Organization Name,"
    "Organization Title,Organization Department,Birthday,Notes,Photo,Labels,"
    "E-mail 1 - Label,E-mail 1 - Value,E-mail 2 - Label,E-mail 2 - Value,"
    "Phone 1 - Label,Phone 1 - Value,Phone 2 - Label,Phone 2 - Value,"
    "Phone 3 - Label,Phone 3 - Value,Address 1 - Label,Address 1 - Formatted,"
    "Website 1 - Label,Website 1 - Value";

class CsvRow {
public:
    explicit CsvRow(Utf8Output &out) : out_(out) {}

    void field(QStringView value);
    // A label that goes with a value: empty when the value is.
    void label(QStringView value, QByteArrayView labelText)
    {
        separate();
        if (!value.isEmpty())
            out_.append(labelText);
    }
    void empty(int count)
    {
        for (int i = 0; i < count; ++i)
            separate();
    }
    void end()
    {
        out_.append("\r\n", 2);
        first_ = true;
    }

private:
    void separate()
    {
        if (!first_)
            out_.append(",", 1);
        first_ = false;
    }

    Utf8Output &out_;
    bool first_ = true;
};

// Quoted when a reader would otherwise split or trim it: a comma, a quote,
// a line break, or a blank at either end.
bool needsQuotes(QStringView value)
{
    if (value.isEmpty())
        return false;
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t' || c == u'\u3000'; };
    if (blank(value.front()) || blank(value.back()))
        return true;
    for (const QChar c : value) {
        if (c == u',' || c == u'"' || c == u'\r' || c == u'\n')
            return true;
    }
    return false;
}

void CsvRow::field(QStringView value)
{
    separate();
    if (!needsQuotes(value)) {
        out_.appendUtf8Of(value);
        return;
    }
    const QByteArrayView bytes = out_.encode(value);
    char *o = out_.reserveTail(2 * bytes.size() + 2);
    *o++ = '"';
    for (const char b : bytes) {
        *o++ = b;
        if (b == '"')
            *o++ = '"';
    }
    *o++ = '"';
    out_.commitTail(o);
}

void writeRow(CsvRow &row, const ContactFields &r)
{
    const NameParts name = splitExactly(r[NameField]);
    const NameParts reading = splitExactly(r[ReadingField]);
    row.field(name.given);
    row.empty(1);
    row.field(name.family);
    row.field(reading.given);
    row.empty(1);
    row.field(reading.family);
    row.empty(4); // prefix, suffix, nickname, file as
    row.field(r[FieldMap::Affiliation1Field]);
    row.field(r[FieldMap::TitleField]);
    row.field(r[FieldMap::Affiliation2Field]);
    row.empty(1); // birthday
    row.field(r[FieldMap::CommentField]);
    row.field(r[FieldMap::PhotoField]);
    row.field(u"* myContacts");
    row.label(r[FieldMap::Mail1Field], "* Other");
    row.field(r[FieldMap::Mail1Field]);
    row.label(r[FieldMap::Mail2Field], "Other");
    row.field(r[FieldMap::Mail2Field]);
    row.label(r[Tel1Field], "Mobile");
    row.field(r[Tel1Field]);
    row.label(r[Tel2Field], "Work");
    row.field(r[Tel2Field]);
    row.label(r[FieldMap::FaxField], "Work Fax");
    row.field(r[FieldMap::FaxField]);
    row.label(r[FieldMap::AddressField], "Work");
    row.field(r[FieldMap::AddressField]);
    row.label(r[FieldMap::UrlField], "Profile");
    row.field(r[FieldMap::UrlField]);
    for (const FieldMap::OwnProperty &own : FieldMap::ownProperties) {
        const QStringView value = r[own.field];
        row.field(value.isEmpty() ? QStringView() : own.customLabel);
        row.field(value);
    }
    row.end();
}

} // namespace

void writeGoogleCsvHeader(Utf8Output &out)
{
    out.append("\xEF\xBB\xBF", 3);
    out.append(kHeader, qsizetype(std::strlen(kHeader)));
    for (int i = 1; i <= int(FieldMap::ownProperties.size()); ++i)
        out.append(QByteArray(",Custom Field " + QByteArray::number(i) + " - Label,Custom Field "
                              + QByteArray::number(i) + " - Value"));
    out.append("\r\n", 2);
}

void writeGoogleCsvRow(Utf8Output &out, const ContactFields &contact)
{
    CsvRow row(out);
    writeRow(row, contact);
}

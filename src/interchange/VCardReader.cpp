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

#include "shell/AsideTask.h"
#include "shell/BasCommn.h"
#include "shell/Cp932.h"

#include <QHash>
#include <QVarLengthArray>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cstring>
#include <span>
#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace Interchange {

using namespace Detail;

namespace {

bool equalNoCase(QByteArrayView a, QByteArrayView b)
{
    for (qsizetype i = 0; i < a.size(); ++i) {
        const char x = a[i];
        const char y = b[i];
        if (x != y && !((x | 0x20) == (y | 0x20) && (x | 0x20) >= 'a' && (x | 0x20) <= 'z'))
            return false;
    }
    return true;
}

// Whether two names are equal, ignoring the case of ASCII letters. Names
// are mostly told apart by their length, which is compared where this is
// called.
Q_ALWAYS_INLINE bool is(QByteArrayView a, QByteArrayView b)
{
    return a.size() == b.size() && equalNoCase(a, b);
}

// Whether text holds sought (which starts with a letter), ignoring case;
// only where the first letter matches is the rest compared.
bool containsNoCase(QByteArrayView text, QByteArrayView sought)
{
    const char first = char(sought.front() | 0x20);
    for (qsizetype i = 0; i + sought.size() <= text.size(); ++i)
        if (char(text[i] | 0x20) == first && equalNoCase(text.sliced(i, sought.size()), sought))
            return true;
    return false;
}

// White space as QByteArrayView::trimmed() takes it.
Q_ALWAYS_INLINE bool isSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// QByteArrayView::trimmed(), without the library call for the common case
// of nothing to trim (asked of every name and parameter).
Q_ALWAYS_INLINE QByteArrayView trimmedView(QByteArrayView v)
{
    return v.isEmpty() || (!isSpace(v.front()) && !isSpace(v.back())) ? v : v.trimmed();
}

bool isBlankLine(QByteArrayView line)
{
    return std::all_of(line.begin(), line.end(), isSpace);
}

// Where the group ends in a property's name (the last dot), or -1: a name
// is a few bytes, which a plain loop searches faster than the general search.
qsizetype groupDot(QByteArrayView name)
{
    for (qsizetype i = name.size() - 1; i >= 0; --i)
        if (name[i] == '.')
            return i;
    return -1;
}

// One property of a card. Its parts are views into the file's bytes, or
// into the unfolded line the card keeps, so that a property costs no copy.
struct Property {
    QByteArrayView group;
    QByteArrayView name;
    QVarLengthArray<QByteArrayView, 4> types; // TYPE= values and bare parameters
    QByteArrayView encoding;
    QByteArrayView charset;
    QByteArrayView mediaType;
    QByteArrayView sortAs;
    QByteArray sortAsJoined;     // SORT-AS written without quotes around its ";"
    bool hasSortAs = false;
    QByteArrayView value;
    bool oversized = false;      // a binary value past its bound, not kept
    int line = 0;

    bool hasType(QByteArrayView type) const
    {
        return std::any_of(types.cbegin(), types.cend(), [&](QByteArrayView t) { return is(t, type); });
    }
    bool encodedAs(QByteArrayView e) const { return is(encoding, e); }
    QByteArrayView sortAsValue() const { return sortAsJoined.isEmpty() ? sortAs : QByteArrayView(sortAsJoined); }
    QString key() const { return QString::fromLatin1(name).toUpper(); }

    // Made ready for the next line of a card where it lies, rather than
    // built anew: a property is some 250 bytes, and constructing one
    // zeroed them all for each line.
    void reset()
    {
        group = name = encoding = charset = mediaType = sortAs = value = QByteArrayView();
        types.clear();
        if (!sortAsJoined.isEmpty())
            sortAsJoined.clear();
        hasSortAs = oversized = false;
        line = 0;
    }
};

bool isBinaryProperty(QByteArrayView name)
{
    return is(name, "PHOTO") || is(name, "LOGO") || is(name, "SOUND") || is(name, "KEY");
}

// The name and parameters of a line.
QByteArrayView headOfLine(QByteArrayView line)
{
    const void *colon = line.isEmpty() ? nullptr : std::memchr(line.data(), ':', size_t(line.size()));
    return colon ? line.first(static_cast<const char *>(colon) - line.data()) : line;
}

// Where the name at the start of a line ends: its first ";" (parameters
// follow) or ":" (the value follows), else the line's end.
qsizetype nameEnd(QByteArrayView line)
{
    qsizetype end = 0;
    while (end < line.size() && line[end] != ';' && line[end] != ':')
        ++end;
    return end;
}

// The property name that ends at end (nameEnd), without its group.
QByteArrayView propertyName(QByteArrayView line, qsizetype end)
{
    QByteArrayView name = line.first(end);
    if (const qsizetype dot = groupDot(name); dot >= 0)
        name = name.sliced(dot + 1);
    return trimmedView(name);
}

// What the head of a line (headOfLine) declares of its value's encoding.
bool declaresQuotedPrintable(QByteArrayView head)
{
    return containsNoCase(head, "QUOTED-PRINTABLE");
}

bool declaresBase64(QByteArrayView head)
{
    return containsNoCase(head, "BASE64") || containsNoCase(head, "ENCODING=B");
}

// What an oversized line keeps: its name and parameters, so that what was
// left out is still counted under its name.
QByteArray headOf(QByteArrayView line)
{
    const qsizetype colon = line.indexOf(':');
    return line.first(colon >= 0 ? colon + 1 : 0).toByteArray();
}

QByteArrayView unquoted(QByteArrayView value, bool *quoted)
{
    *quoted = value.size() >= 2 && value.front() == '"' && value.back() == '"';
    return *quoted ? value.sliced(1, value.size() - 2) : value;
}

void appendList(QVarLengthArray<QByteArrayView, 4> &types, QByteArrayView list)
{
    while (!list.isEmpty()) {
        const qsizetype comma = list.indexOf(',');
        const QByteArrayView t = trimmedView(comma < 0 ? list : list.first(comma));
        if (!t.isEmpty())
            types.append(t);
        if (comma < 0)
            break;
        list = list.sliced(comma + 1);
    }
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
    if (const qsizetype dot = groupDot(fullName); dot >= 0) {
        p.group = fullName.first(dot);
        fullName = fullName.sliced(dot + 1);
    }
    p.name = trimmedView(fullName);

    bool afterUnquotedSortAs = false;
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
            const QByteArrayView bare = trimmedView(param);
            if (afterUnquotedSortAs) {
                // SORT-AS="family;given" written without its quotes.
                if (p.sortAsJoined.isEmpty())
                    p.sortAsJoined = p.sortAs.toByteArray();
                p.sortAsJoined += ';' + bare.toByteArray();
                continue;
            }
            if (is(bare, "QUOTED-PRINTABLE") || is(bare, "BASE64") || is(bare, "8BIT") || is(bare, "7BIT"))
                p.encoding = bare;
            else if (!bare.isEmpty())
                p.types.append(bare);
            continue;
        }
        const QByteArrayView name = trimmedView(param.first(eq));
        bool quoted = false;
        const QByteArrayView value = unquoted(trimmedView(param.sliced(eq + 1)), &quoted);
        afterUnquotedSortAs = false;
        if (is(name, "TYPE")) {
            appendList(p.types, value);
        } else if (is(name, "ENCODING")) {
            p.encoding = value.trimmed();
        } else if (is(name, "CHARSET")) {
            p.charset = value.trimmed();
        } else if (is(name, "VALUE")) {
            // a URI or text: told apart by the value itself
        } else if (is(name, "MEDIATYPE")) {
            p.mediaType = value.trimmed();
        } else if (is(name, "SORT-AS")) {
            p.sortAs = value;
            p.hasSortAs = true;
            afterUnquotedSortAs = !quoted;
        }
    }
    if (i >= line.size() || line[i] != ':')
        return false;
    p.value = line.sliced(i + 1);
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

bool isCp932Name(QByteArrayView charset)
{
    for (QByteArrayView name : {"shift_jis", "shift-jis", "sjis", "x-sjis", "cp932", "windows-31j", "ms_kanji", "ms932"})
        if (is(charset, name))
            return true;
    return false;
}

// Splits a structured value at the semicolons that aren't escaped; the
// parts are views into the value, so a card's components cost no list and
// no copies until they are kept.
using Components = QVarLengthArray<QStringView, 8>;

Components splitComponents(QStringView text)
{
    Components parts;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\')
            ++i;
        else if (text[i] == u';') {
            parts.append(text.sliced(start, i - start));
            start = i + 1;
        }
    }
    parts.append(text.sliced(std::min(start, text.size())));
    return parts;
}

QString unescape(QString text)
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

// Component i of value (split into parts) as a text of its own. One without
// escapes shares the value's characters, as the card's values share the
// card's text: no allocation for each name and address part.
QString component(const QString &value, const Components &parts, qsizetype i)
{
    if (i >= parts.size() || parts[i].isEmpty())
        return QString();
    if (parts[i].contains(u'\\'))
        return unescape(parts[i].toString());
    QString::DataPointer shared = value.data_ptr(); // one more reference to the value's characters
    if (!shared.isMutable())
        return parts[i].toString(); // characters the value doesn't own
    shared.ptr = const_cast<char16_t *>(parts[i].utf16());
    shared.size = parts[i].size();
    return QString(std::move(shared));
}

// Parts joined by half-width blanks; a single part is itself, not a copy.
QString joinedByBlanks(QStringList parts)
{
    return parts.size() == 1 ? std::move(parts.front()) : parts.join(u' ');
}

// The first CR or LF from p on (a lone CR ends a line too), or with
// stopAtNul the first NUL byte if it comes first; else end. One pass for
// all of them, sixteen bytes at a time: a card's lines are some forty
// bytes, and searching for each byte on its own with memchr cost more in
// the calls than in the search, and a pass of its own over the whole file
// for a NUL fetched the file from memory twice.
const char *lineEnd(const char *p, const char *end, bool stopAtNul)
{
#ifdef __SSE2__
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i nul = stopAtNul ? _mm_setzero_si128() : lf;
    for (; end - p >= 16; p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i any = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, cr), _mm_cmpeq_epi8(bytes, lf)),
                                         _mm_cmpeq_epi8(bytes, nul));
        if (const int found = _mm_movemask_epi8(any); found != 0)
            return p + __builtin_ctz(unsigned(found));
    }
#endif
    for (; p < end; ++p)
        if (*p == '\r' || *p == '\n' || (stopAtNul && *p == '\0'))
            return p;
    return end;
}

ReadOutcome binaryFile()
{
    return failed(ReadFailure::BadContent,
                  QStringLiteral("バイナリファイルです（連絡先のテキストファイルではありません）"));
}

class VCardParser {
public:
    // The contacts go to sink, as part part of parts, when there is one.
    VCardParser(QByteArrayView body, bool markedUnicode, bool fromUtf16, qsizetype stopAfter,
                ContactSink *sink = nullptr, int part = 0, int parts = 1)
        : body_(body), markedUnicode_(markedUnicode), fromUtf16_(fromUtf16), stopAfter_(stopAfter),
          sink_(sink), part_(part), parts_(parts)
    {
        outcome_.format = SourceFormat::VCard;
        slots_.reserve(32);
    }

    // Reads the cards; on the thread that is to prepare them, with a sink.
    ReadOutcome run();
    // The bytes of the photos kept so far, counted against MaxPhotoBytesTotal.
    qsizetype photoBytesKept() const { return photoBytes_; }

private:
    bool nextPhysicalLine(QByteArrayView &line);
    bool handleLogicalLine(QByteArrayView line, QByteArray owned, int lineNumber, bool oversized);
    bool finishCard();
    std::optional<QString> text(const Property &p);
    std::optional<QString> decodeCharset(QByteArrayView bytes, const Property &p, bool transformed);
    bool error(int line, const QString &what);
    void photo(const Property &p, ContactAssembler &contact);

    QByteArrayView body_;
    qsizetype pos_ = 0;
    int lineNumber_ = 0;
    bool sawNul_ = false;
    bool markedUnicode_;    // a byte order mark said UTF-8 or UTF-16
    bool fromUtf16_;
    qsizetype stopAfter_;
    ContactSink *sink_;
    int part_;
    int parts_;
    ReadOutcome outcome_;
    qsizetype photoBytes_ = 0;

    int depth_ = 0;
    int cardStart_ = 0;
    bool nestedCounted_ = false;
    // The properties of the card being read: the first cardSize_ of slots_,
    // whose places are used again by the next card.
    QList<Property> slots_;
    qsizetype cardSize_ = 0;
    std::span<const Property> currentCard() const { return {slots_.cbegin(), size_t(cardSize_)}; }
    QList<QByteArray> cardLines_; // the card's unfolded lines that its properties view
    QVarLengthArray<char16_t, 4096> decoded_; // room for decoding a card's values
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
    const char *const end = body_.data() + body_.size();
    // A file turned from UTF-16 may hold U+0000 as a NUL byte; any other
    // file that holds one is no text file, and reading stops there.
    const char *const stop = lineEnd(begin, end, !fromUtf16_);
    if (stop < end && *stop == '\0') {
        sawNul_ = true;
        return false;
    }
    const qsizetype length = stop - begin;
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
    // A card takes some hundred bytes at least; reserving spares the list's
    // growth, whose large reallocations cost more than the cards.
    const qsizetype expected = std::min<qsizetype>(stopAfter_ + 1, body_.size() / 256 + 1);
    if (sink_)
        sink_->startPart(part_, parts_, expected);
    else
        outcome_.contacts.reserve(expected);
    // A line that isn't folded is viewed where it lies; only an unfolded
    // one is copied together.
    QByteArrayView logical;
    QByteArray unfolded;
    bool isUnfolded = false;
    int logicalLine = 0;
    bool quotedPrintable = false;
    bool base64 = false;
    bool binary = false;
    bool oversized = false;
    QByteArrayView line;
    const auto flushLine = [&]() -> bool {
        if (logicalLine == 0)
            return true;
        QByteArray owned = std::exchange(unfolded, QByteArray());
        const QByteArrayView view = isUnfolded ? QByteArrayView(owned) : logical;
        const bool ok = handleLogicalLine(view, std::move(owned), logicalLine, oversized);
        isUnfolded = false;
        logicalLine = 0;
        oversized = false;
        return ok;
    };
    const auto tooLong = [&] {
        error(logicalLine, QStringLiteral("行が長すぎます（1 MB を超えています）"));
        return failed(ReadFailure::BadContent, error_);
    };
    while (nextPhysicalLine(line)) {
        const bool folded = !line.isEmpty() && (line[0] == ' ' || line[0] == '\t');
        const QByteArrayView current = isUnfolded ? QByteArrayView(unfolded) : logical;
        // A phone may end a quoted-printable value with "=" before END.
        const bool softBreak = quotedPrintable && current.endsWith('=')
            && line.trimmed().compare("END:VCARD", Qt::CaseInsensitive) != 0;
        // Version 2.1 lets base64 lines go unindented up to a blank line;
        // a line without a colon is no property of its own.
        const bool base64Block = base64 && !line.isEmpty() && !line.contains(':');
        if (logicalLine != 0 && (folded || softBreak || base64Block)) {
            if (!isUnfolded) {
                unfolded = logical.toByteArray();
                isUnfolded = true;
            }
            QByteArrayView more = line;
            if (softBreak)
                unfolded.chop(1); // the soft line break
            else if (folded)
                more = more.sliced(1);
            if (oversized)
                continue;
            const qsizetype bound = binary ? MaxPhotoBytes / 3 * 4 + 4096 : MaxTextLineBytes;
            if (unfolded.size() + more.size() > bound) {
                if (!binary)
                    return tooLong();
                oversized = true;
                unfolded = headOf(unfolded);
                continue;
            }
            unfolded += more;
            continue;
        }
        if (!flushLine())
            return failed(ReadFailure::BadContent, error_);
        if (outcome_.failure == ReadFailure::TooMany)
            return std::move(outcome_);
        if (isBlankLine(line))
            continue;
        logicalLine = lineNumber_;
        const qsizetype end = nameEnd(line);
        binary = isBinaryProperty(propertyName(line, end));
        // Only parameters declare an encoding, and most lines have none.
        const bool hasParameters = end < line.size() && line[end] == ';';
        const QByteArrayView head = hasParameters ? headOfLine(line) : QByteArrayView();
        quotedPrintable = hasParameters && declaresQuotedPrintable(head);
        base64 = hasParameters && declaresBase64(head);
        const qsizetype bound = binary ? MaxPhotoBytes / 3 * 4 + 4096 : MaxTextLineBytes;
        if (line.size() > bound) {
            if (!binary)
                return tooLong();
            oversized = true;
            unfolded = headOf(line);
            isUnfolded = true;
            continue;
        }
        logical = line;
    }
    if (sawNul_)
        return binaryFile();
    if (!flushLine())
        return failed(ReadFailure::BadContent, error_);
    if (outcome_.failure == ReadFailure::TooMany)
        return std::move(outcome_);
    if (depth_ > 0)
        return failed(ReadFailure::BadContent,
                      QString::number(cardStart_)
                          + QStringLiteral(" 行目の「BEGIN:VCARD」に対応する「END:VCARD」がありません"));
    if (outcome_.count == 0)
        return failed(ReadFailure::BadContent, QStringLiteral("vCard に連絡先がありません"));
    return std::move(outcome_);
}

bool VCardParser::handleLogicalLine(QByteArrayView line, QByteArray owned, int lineNumber, bool oversized)
{
    // Parsed in the card's next free slot (a property is a few hundred
    // bytes, not moved); the slot is counted into the card only when the
    // line is one of its properties.
    if (cardSize_ == slots_.size())
        slots_.emplace_back();
    Property &p = slots_[cardSize_];
    p.reset();
    if (!parseProperty(line, p))
        return true; // no property: a stray line between the cards
    p.line = lineNumber;
    p.oversized = oversized;
    const bool isBegin = is(p.name, "BEGIN") && is(p.value.trimmed(), "VCARD");
    const bool isEnd = is(p.name, "END") && is(p.value.trimmed(), "VCARD");
    if (!isBegin && !isEnd && depth_ == 1)
        ++cardSize_;
    if (isBegin) {
        if (depth_++ == 0) {
            cardSize_ = 0;
            cardLines_.clear();
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
    // The views stay valid: the bytes of a QByteArray don't move with it.
    if (depth_ == 1 && !owned.isNull())
        cardLines_.append(std::move(owned));
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
        if (is(p.charset, "utf-8") || is(p.charset, "utf8")) {
            if (isValidUtf8(bytes))
                return QString::fromUtf8(bytes);
            error(p.line, QStringLiteral("UTF-8 と宣言された値に UTF-8 として読めないバイトがあります"));
            return std::nullopt;
        }
        QStringDecoder decoder(p.charset.toByteArray().constData());
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
    if (p.encodedAs("QUOTED-PRINTABLE"))
        return decodeCharset(decodeQuotedPrintable(p.value), p, true);
    if (p.encodedAs("B") || p.encodedAs("BASE64")) {
        const auto bytes = decodeBase64(p.value);
        if (!bytes) {
            error(p.line, QStringLiteral("BASE64 の値が壊れています"));
            return std::nullopt;
        }
        return decodeCharset(*bytes, p, true);
    }
    return decodeCharset(p.value, p, false);
}

QString imageType(QByteArrayView mediaType, const Property &p)
{
    QByteArrayView media = mediaType;
    for (QByteArrayView t : p.types)
        for (QByteArrayView known : {"jpeg", "jpg", "png", "gif", "bmp", "heic", "webp"})
            if (is(t, known) || (t.size() > 6 && is(t.first(6), "image/")))
                media = t;
    if (media.size() > 6 && is(media.first(6), "image/"))
        media = media.sliced(6);
    const QString type = QString::fromLatin1(media).toLower();
    return type == u"jpg" ? QStringLiteral("jpeg") : type;
}

void VCardParser::photo(const Property &p, ContactAssembler &contact)
{
    const QString key = QStringLiteral("PHOTO");
    if (p.oversized) {
        contact.leaveOut(oversizedPhotoKey());
        return;
    }
    if (p.encodedAs("B") || p.encodedAs("BASE64")) {
        if (auto bytes = decodeBase64(p.value))
            contact.addPhoto(std::move(*bytes), imageType(p.mediaType, p), key);
        else
            contact.leaveOut(key);
        return;
    }
    const QByteArrayView value = p.value.trimmed();
    if (value.size() > 5 && is(value.first(5), "data:")) {
        // data:image/jpeg;base64,…
        const qsizetype comma = value.indexOf(',');
        const QByteArrayView head = value.first(std::max<qsizetype>(comma, 0));
        std::optional<QByteArray> bytes;
        if (comma >= 0 && head.size() >= 12 && is(head.last(7), ";base64"))
            bytes = decodeBase64(value.sliced(comma + 1));
        if (!bytes) {
            contact.leaveOut(key);
            return;
        }
        contact.addPhoto(std::move(*bytes), imageType(head.sliced(5, head.size() - 12), p), key);
        return;
    }
    if (auto uri = text(p))
        contact.setField(FieldMap::PhotoField, unescape(std::move(*uri)), key);
}

PhoneKind phoneKind(const Property &p, const QString &label)
{
    // Most numbers have no label: their types alone decide.
    const QString l = label.toLower();
    const auto says = [&](std::initializer_list<QStringView> words) {
        return !l.isEmpty() && std::any_of(words.begin(), words.end(), [&](QStringView w) { return l.contains(w); });
    };
    if (p.hasType("FAX") || says({u"fax", u"ファクス", u"ファックス"}))
        return PhoneKind::Fax;
    if (p.hasType("CELL") || p.hasType("MOBILE") || p.hasType("IPHONE") || says({u"mobile", u"携帯"}))
        return PhoneKind::Cell;
    if (p.hasType("WORK") || says({u"work", u"勤務先", u"会社"}))
        return PhoneKind::Work;
    return PhoneKind::Voice;
}

enum class Name {
    Other, Ignored, Own, FN, N, Sound, SortString, PhoneticLast, PhoneticFirst, Tel, Email, Org, Title, Adr, Url,
    Note, Photo,
};

struct PropertyKind {
    Name name = Name::Other;
    int own = -1; // for Name::Own: the index in FieldMap::ownProperties
};

// What a property's name makes of it. Asked of every line of every card:
// the names are looked up among those of the same length only, so that a
// name is compared with a few others rather than with all thirty.
PropertyKind kindOf(QByteArrayView name)
{
    struct Entry {
        QByteArrayView text;
        PropertyKind kind;
    };
    constexpr qsizetype longest = 24;
    static const std::array<QVarLengthArray<Entry, 4>, longest + 1> bySize = [] {
        std::array<QVarLengthArray<Entry, 4>, longest + 1> table;
        const auto add = [&](QByteArrayView text, PropertyKind kind) {
            Q_ASSERT(text.size() <= longest);
            table[size_t(text.size())].append({text, kind});
        };
        // What describes the card rather than the contact.
        for (QByteArrayView ignored : {"VERSION", "PRODID", "REV", "UID", "X-ABLABEL", "X-ABUID", "X-ABSHOWAS",
                                       "X-IRMC-LUID", "CLIENTPIDMAP", "KIND"})
            add(ignored, {Name::Ignored});
        const std::pair<QByteArrayView, Name> names[] = {
            {"FN", Name::FN}, {"N", Name::N}, {"SOUND", Name::Sound}, {"SORT-STRING", Name::SortString},
            {"X-PHONETIC-LAST-NAME", Name::PhoneticLast}, {"X-PHONETIC-FIRST-NAME", Name::PhoneticFirst},
            {"TEL", Name::Tel}, {"EMAIL", Name::Email}, {"ORG", Name::Org}, {"TITLE", Name::Title},
            {"ADR", Name::Adr}, {"URL", Name::Url}, {"NOTE", Name::Note}, {"PHOTO", Name::Photo},
        };
        for (const auto &[text, n] : names)
            add(text, {n});
        for (std::size_t i = 0; i < FieldMap::ownProperties.size(); ++i) {
            const QLatin1StringView own = FieldMap::ownProperties[i].vcardName;
            add(QByteArrayView(own.data(), own.size()), {Name::Own, int(i)});
        }
        return table;
    }();
    if (name.size() > longest)
        return {};
    for (const Entry &e : bySize[size_t(name.size())])
        if (equalNoCase(name, e.text))
            return e.kind;
    return {};
}

// The reading in SORT-AS: family and given, separated by "," or by ";".
std::pair<QString, QString> sortAsParts(QString sortAs)
{
    sortAs.replace(u';', u',');
    const qsizetype comma = sortAs.indexOf(u',');
    if (comma < 0)
        return {sortAs, QString()};
    QString given = sortAs.sliced(comma + 1);
    given.replace(u',', u' ');
    return {sortAs.first(comma), given};
}

bool VCardParser::finishCard()
{
    const std::span<const Property> card = currentCard();
    ContactAssembler contact(outcome_.leftOut, photoBytes_);
    QHash<QByteArray, QString> labels; // X-ABLabel of each group
    for (const Property &p : card) {
        if (!p.group.isEmpty() && is(p.name, "X-ABLABEL")) {
            const auto t = text(p);
            if (!t)
                return false;
            labels.insert(p.group.toByteArray().toUpper(), unescape(*t));
        }
    }
    // The card's plain UTF-8 values are decoded into one text that they
    // share: one allocation a card instead of one a value. A value that
    // isn't UTF-8 is decoded on its own.
    QVarLengthArray<std::pair<qsizetype, qsizetype>, 32> spans(qsizetype(card.size()), {-1, 0});
    const auto plain = [&](const Property &p) {
        return p.encoding.isEmpty() && (p.charset.isEmpty() || fromUtf16_ || is(p.charset, "UTF-8"));
    };
    qsizetype plainBytes = 0;
    for (const Property &p : card)
        plainBytes += plain(p) ? p.value.size() : 0;
    // Decoded first into the parser's scratch room, which has a unit for
    // each byte, and then copied at its size (Japanese text takes a third
    // of its UTF-8 bytes in UTF-16 units): allocating the room for each
    // card made the allocator sort its small free blocks every time.
    decoded_.resize(plainBytes);
    char16_t *const base = decoded_.data();
    char16_t *out = base;
    for (qsizetype i = 0; i < qsizetype(card.size()); ++i) {
        if (!plain(card[i]))
            continue;
        if (char16_t *const end = decodeUtf8(card[i].value, out)) {
            spans[i] = {out - base, end - out};
            out = end;
        }
    }
    const QString cardText(reinterpret_cast<const QChar *>(base), out - base);
    const auto decodedText = [&](qsizetype i) -> std::optional<QString> {
        if (spans[i].first < 0)
            return text(card[i]);
        QString::DataPointer shared = cardText.data_ptr(); // one more reference to the card's text
        shared.ptr += spans[i].first;
        shared.size = spans[i].second;
        return QString(std::move(shared));
    };

    QString phoneticFamily;
    QString phoneticGiven;
    for (qsizetype index = 0; index < qsizetype(card.size()); ++index) {
        const Property &p = card[index];
        const PropertyKind kind = kindOf(p.name);
        if (kind.name == Name::Ignored)
            continue;
        const Name name = kind.name;
        if (name == Name::Photo) {
            photo(p, contact);
            continue;
        }
        if (p.oversized || (name == Name::Sound && !p.hasType("X-IRMC-N"))) {
            contact.leaveOut(p.key());
            continue;
        }
        std::optional<QString> decoded = decodedText(index);
        if (!decoded)
            return false;
        // A value decoded as it stands holds no line break: the lines were
        // cut at them. Only a decoded encoding can bring one. Moved, not
        // copied: each copy of a card's shared text counts its references.
        QString value = spans[index].first >= 0 ? std::move(*decoded) : normaliseLineBreaks(std::move(*decoded));
        switch (name) {
        case Name::FN:
            contact.setFullName(unescape(std::move(value)));
            break;
        case Name::N: {
            const Components parts = splitComponents(value);
            contact.setNameParts(component(value, parts, 0), component(value, parts, 1));
            if (p.hasSortAs) {
                const std::optional<QString> sortAs = decodeCharset(p.sortAsValue(), p, false);
                if (!sortAs)
                    return false;
                auto [family, given] = sortAsParts(*sortAs);
                contact.offerReading(ReadingSource::SortAs, std::move(family), std::move(given));
            }
            break;
        }
        case Name::Sound: {
            const Components parts = splitComponents(value);
            contact.offerReading(ReadingSource::IrmcSound, component(value, parts, 0), component(value, parts, 1));
            break;
        }
        case Name::SortString:
            contact.offerReading(ReadingSource::SortString, unescape(std::move(value)), QString());
            break;
        case Name::PhoneticLast:
            phoneticFamily = unescape(std::move(value));
            break;
        case Name::PhoneticFirst:
            phoneticGiven = unescape(std::move(value));
            break;
        case Name::Tel: {
            QString number = unescape(std::move(value)).trimmed();
            if (number.startsWith(u"tel:", Qt::CaseInsensitive))
                number = number.sliced(4);
            const QString label = p.group.isEmpty() ? QString() : labels.value(p.group.toByteArray().toUpper());
            contact.addPhone(std::move(number), phoneKind(p, label), QStringLiteral("TEL"));
            break;
        }
        case Name::Email: {
            QString mail = unescape(std::move(value)).trimmed();
            if (mail.startsWith(u"mailto:", Qt::CaseInsensitive))
                mail = mail.sliced(7);
            contact.addMail(std::move(mail), QStringLiteral("EMAIL"));
            break;
        }
        case Name::Org: {
            const Components parts = splitComponents(value);
            contact.setField(FieldMap::Affiliation1Field, component(value, parts, 0), QStringLiteral("ORG"));
            QStringList departments;
            for (qsizetype i = 1; i < parts.size(); ++i)
                if (QString c = component(value, parts, i); !isBlankOnly(c))
                    departments.append(std::move(c));
            contact.setField(FieldMap::Affiliation2Field, joinedByBlanks(std::move(departments)), QStringLiteral("ORG"));
            if (p.hasSortAs && !p.sortAsValue().trimmed().isEmpty())
                contact.leaveOut(QStringLiteral("ORG;SORT-AS"));
            break;
        }
        case Name::Title:
            contact.setField(FieldMap::TitleField, unescape(std::move(value)), QStringLiteral("TITLE"));
            break;
        case Name::Adr: {
            // Japanese order: postal code, region, locality, street, then
            // the extended address, the post office box and the country.
            const Components parts = splitComponents(value);
            QStringList pieces;
            for (int i : {5, 4, 3, 2, 1, 0, 6})
                if (QString c = trimBlanks(component(value, parts, i)); !c.isEmpty())
                    pieces.append(std::move(c));
            contact.setField(FieldMap::AddressField, joinedByBlanks(std::move(pieces)), QStringLiteral("ADR"));
            break;
        }
        case Name::Url:
            contact.setField(FieldMap::UrlField, unescape(std::move(value)), QStringLiteral("URL"));
            break;
        case Name::Note:
            contact.setField(FieldMap::CommentField, unescape(std::move(value)), QStringLiteral("NOTE"));
            break;
        case Name::Photo:
            break;
        case Name::Own: {
            static const std::array<QString, FieldMap::ownProperties.size()> keys = [] {
                std::array<QString, FieldMap::ownProperties.size()> k;
                for (std::size_t i = 0; i < k.size(); ++i)
                    k[i] = FieldMap::ownProperties[i].vcardName;
                return k;
            }();
            const auto own = std::size_t(kind.own);
            contact.setField(FieldMap::ownProperties[own].field, unescape(std::move(value)), keys[own]);
            break;
        }
        case Name::Ignored:
            break;
        case Name::Other:
            if (!isBlankOnly(value))
                contact.leaveOut(p.key());
            break;
        }
    }
    contact.offerReading(ReadingSource::Phonetic, std::move(phoneticFamily), std::move(phoneticGiven));
    cardSize_ = 0;
    cardLines_.clear();
    if (sink_)
        sink_->take(part_, contact.finish());
    else
        outcome_.contacts.append(contact.finish());
    if (++outcome_.count > stopAfter_)
        outcome_ = tooMany(std::move(outcome_));
    return true;
}

// Where a long file can be cut for its halves to be read at once: the start
// of a "BEGIN:VCARD" line that follows an "END:VCARD" line, near the middle.
// Neither line can be part of another (neither is folded, and a soft line
// break never joins END:VCARD), so the card before ends there and the next
// one starts afresh; 0 when there is no such place.
qsizetype cardBoundaryNearMiddle(QByteArrayView body)
{
    const qsizetype giveUpAt = body.size() / 2 + body.size() / 8; // too far from the middle to pay
    for (qsizetype at = body.indexOf("\nBEGIN:VCARD", body.size() / 2); at >= 0 && at < giveUpAt;
         at = body.indexOf("\nBEGIN:VCARD", at + 1)) {
        const qsizetype begin = at + 1;
        const qsizetype after = begin + 11;
        if (after >= body.size() || (body[after] != '\r' && body[after] != '\n'))
            continue;
        const qsizetype endOfEnd = at > 0 && body[at - 1] == '\r' ? at - 1 : at;
        if (endOfEnd >= 10 && body.sliced(endOfEnd - 10, 10) == "\nEND:VCARD")
            return begin;
    }
    return 0;
}

// A file this long is read in two halves at once.
constexpr qsizetype kHalvesFrom = 1024 * 1024;

// Reads the cards of body; one that holds a NUL byte, unless it was turned
// from UTF-16, is no text file at all. The halves of a long file are each
// checked by the parser that reads them, as it reads.
ReadOutcome readCards(QByteArrayView body, bool markedUnicode, bool fromUtf16, qsizetype stopAfter,
                      ContactSink *sink)
{
    const auto read = [&](VCardParser &parser, QByteArrayView part) {
        ReadOutcome outcome = parser.run();
        // The parser stops at a NUL byte. A part whose reading failed for
        // another reason, or stopped short, may hold one further on: such a
        // file is refused as binary all the same, whatever else is wrong.
        if (!outcome.ok() && !fromUtf16 && looksBinary(part))
            return binaryFile();
        return outcome;
    };
    const qsizetype cut = body.size() >= kHalvesFrom ? cardBoundaryNearMiddle(body) : 0;
    static_assert(MaxReadParts >= 2);
    if (cut > 0) {
        VCardParser firstHalf(body.first(cut), markedUnicode, fromUtf16, stopAfter, sink, 0, 2);
        VCardParser secondHalf(body.sliced(cut), markedUnicode, fromUtf16, stopAfter, sink, 1, 2);
        AsideTask<ReadOutcome> second([&] { return read(secondHalf, body.sliced(cut)); });
        ReadOutcome first = read(firstHalf, body.first(cut));
        ReadOutcome rest = second.get();
        // The halves make the whole only when both read through, the
        // contacts stay within the limit and no photo was left out for the
        // total of the photos, whose count runs through the whole file.
        // Otherwise the file is read again in one piece, which also gives a
        // failure its line number in the file; a binary file is one.
        const bool photosWithinTotal = firstHalf.photoBytesKept() + secondHalf.photoBytesKept()
            <= MaxPhotoBytesTotal - MaxPhotoBytes;
        if (first.ok() && rest.ok() && photosWithinTotal && first.count + rest.count <= stopAfter) {
            first.count += rest.count;
            first.contacts.reserve(first.contacts.size() + rest.contacts.size());
            for (IncomingContact &c : rest.contacts)
                first.contacts.append(std::move(c));
            for (auto it = rest.leftOut.cbegin(); it != rest.leftOut.cend(); ++it)
                first.leftOut[it.key()] += it.value();
            return first;
        }
    }
    VCardParser whole(body, markedUnicode, fromUtf16, stopAfter, sink);
    return read(whole, body);
}

} // namespace

ReadOutcome readVCard(QByteArrayView bytes, qsizetype stopAfter, ContactSink *sink)
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
    }
    return readCards(body, marked.has_value(), fromUtf16, stopAfter, sink);
}

} // namespace Interchange

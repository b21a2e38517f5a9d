#include "ScratchData.h"

#include "interchange/ContactExport.h"
#include "interchange/FieldMap.h"
#include "interchange/NameParts.h"
#include "shell/AppError.h"
#include "shell/BasCommn.h"
#include "shell/Cp932.h"

#include <QtTest>

namespace {

ContactRecord withField(int field, const QString &value)
{
    ContactRecord r = emptyContact();
    r[field] = value;
    return r;
}

QString exported(const ContactRecord &r, ExportFormat format, const QString &photos = QString())
{
    return QString::fromUtf8(exportContacts({r}, format, photos));
}

// The logical lines of a vCard: folds undone, CR LF removed.
QStringList unfolded(const QByteArray &bytes)
{
    QByteArray joined = bytes;
    joined.replace("\r\n ", "");
    QStringList lines = QString::fromUtf8(joined).split(QStringLiteral("\r\n"));
    lines.removeAll(QString());
    return lines;
}

// Fields whose values start at different places of their first line.
constexpr int kBytesFields[] = {Tel1Field, FieldMap::AddressField, 6, FieldMap::CommentField};

struct TwoWays {
    bool written; // what adding the bytes said
    QByteArray fromBytes;
    QByteArray fromText; // the first contact alone when the bytes are no text
};

// A contact whose kBytesFields hold bytes, written once from the bytes and
// once from their text decoded as the list file's reader has it (a value of
// blanks only is empty), after a first contact that must stay as it is.
TwoWays writeBothWays(ExportFormat format, const QByteArray &bytes)
{
    ContactFields none;
    ContactFields decoded;
    ContactLines lines;
    const std::optional<QString> text = Cp932::decode(bytes);
    const bool blank = text && std::all_of(text->cbegin(), text->cend(), isBlank);
    for (const int field : kBytesFields) {
        lines[field] = bytes;
        if (text && !blank)
            decoded[field] = *text;
    }
    ContactExporter fromBytes(format, QString());
    fromBytes.add(none);
    const bool written = fromBytes.add(none, lines);
    ContactExporter fromText(format, QString());
    fromText.add(none);
    if (text)
        fromText.add(decoded);
    return {written, fromBytes.written().toByteArray(), fromText.written().toByteArray()};
}

} // namespace

class TestWriters : public QObject {
    Q_OBJECT
private slots:
    void splitsNames_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("exactFamily");
        QTest::addColumn<QString>("exactGiven");
        QTest::addColumn<QString>("shownFamily");
        QTest::addColumn<QString>("shownGiven");
        QTest::newRow("full-width blank") << u"山田　太郎"_qs << u"山田"_qs << u"太郎"_qs << u"山田"_qs << u"太郎"_qs;
        QTest::newRow("half-width blank stays whole") << u"やまだ たろう"_qs << u"やまだ たろう"_qs << QString()
                                                      << u"やまだ"_qs << u"たろう"_qs;
        QTest::newRow("no blank") << u"山田"_qs << u"山田"_qs << QString() << u"山田"_qs << QString();
        QTest::newRow("blank at the start") << u"　山田"_qs << u"　山田"_qs << QString() << u"山田"_qs << QString();
        QTest::newRow("blank at the end") << u"山田　"_qs << u"山田　"_qs << QString() << u"山田"_qs << QString();
        QTest::newRow("two blanks") << u"山田　　太郎"_qs << u"山田"_qs << u"　太郎"_qs << u"山田"_qs << u"太郎"_qs;
    }
    void splitsNames()
    {
        QFETCH(QString, value);
        QFETCH(QString, exactFamily);
        QFETCH(QString, exactGiven);
        QFETCH(QString, shownFamily);
        QFETCH(QString, shownGiven);
        const NameParts exact = splitExactly(value);
        QCOMPARE(exact.family.toString(), exactFamily);
        QCOMPARE(exact.given.toString(), exactGiven);
        // What a reader joins gives the value back.
        QCOMPARE(exact.given.isEmpty() ? exact.family.toString()
                                       : exact.family.toString() + u'　' + exact.given.toString(),
                 value);
        const NameParts shown = splitForDisplay(value);
        QCOMPARE(shown.family.toString(), shownFamily);
        QCOMPARE(shown.given.toString(), shownGiven);
    }

    void escapesVCardValues_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("line3");
        QTest::addColumn<QString>("line4");
        QTest::newRow("backslash, comma, semicolon")
            << 19 << u"a\\b,c;d"_qs << u"NOTE:a\\\\b\\,c\\;d"_qs << u"NOTE:a\\\\b\\,c\\;d"_qs;
        QTest::newRow("line breaks of every kind are \\n")
            << 19 << u"a\r\nb\nc\rd"_qs << u"NOTE:a\\nb\\nc\\nd"_qs << u"NOTE:a\\nb\\nc\\nd"_qs;
        QTest::newRow("blanks at the ends are kept")
            << 0 << u" 山田 "_qs << u"FN: 山田 "_qs << u"FN: 山田 "_qs;
        QTest::newRow("address in the street component")
            << 5 << u"東京都;千代田区"_qs << u"ADR:;;東京都\\;千代田区;;;;"_qs << u"ADR:;;東京都\\;千代田区;;;;"_qs;
        QTest::newRow("company and department")
            << 4 << u"営業部"_qs << u"ORG:;営業部"_qs << u"ORG:;営業部"_qs;
        QTest::newRow("phones by type")
            << 10 << u"03-1234"_qs << u"TEL;TYPE=WORK:03-1234"_qs << u"TEL;TYPE=work:03-1234"_qs;
        QTest::newRow("own property") << 17 << u"2026/1/2"_qs << u"X-TESSALINE-DATE:2026/1/2"_qs
                                      << u"X-TESSALINE-DATE:2026/1/2"_qs;
        QTest::newRow("photo as text") << 14 << u"https://x/a,b.jpg"_qs
                                       << u"PHOTO;VALUE=uri:https://x/a\\,b.jpg"_qs
                                       << u"PHOTO:https://x/a\\,b.jpg"_qs;
    }
    void escapesVCardValues()
    {
        QFETCH(int, field);
        QFETCH(QString, value);
        QFETCH(QString, line3);
        QFETCH(QString, line4);
        const ContactRecord r = withField(field, value);
        QVERIFY2(unfolded(exportContacts({r}, ExportFormat::VCard3, {})).contains(line3),
                 qPrintable(exported(r, ExportFormat::VCard3)));
        QVERIFY2(unfolded(exportContacts({r}, ExportFormat::VCard4, {})).contains(line4),
                 qPrintable(exported(r, ExportFormat::VCard4)));
    }

    void foldsAt75OctetsOnCharacterBoundaries_data()
    {
        QTest::addColumn<QString>("value");
        // Each offset puts the line's end at another byte of a character.
        for (int ascii = 0; ascii < 4; ++ascii) {
            QTest::addRow("kana after %d letters", ascii) << QString(ascii, u'a') + QString(60, u'あ');
            QTest::addRow("emoji after %d letters", ascii) << QString(ascii, u'a') + QString(30, QChar()).replace(QChar(), u"😀"_qs);
            QTest::addRow("escapes after %d letters", ascii) << QString(ascii, u'a') + QString(90, u';');
        }
        QTest::newRow("mixed widths") << u"ｱ１a〜😀\\,"_qs.repeated(20);
        // Plain ASCII goes eight units at a time: escapes and other
        // characters at every place within and across those eight.
        for (const int every : {5, 8, 9, 13}) {
            QString value;
            for (int i = 0; i < 300; ++i)
                value += i % every == every - 1 ? QChar(u",;\\"[i % 3]) : QChar(u'a' + i % 26);
            QTest::addRow("ASCII with an escape every %d", every) << value;
        }
        QTest::newRow("ASCII runs between kana") << u"abcdefghijkl@x.jp-あ"_qs.repeated(20);
    }
    void foldsAt75OctetsOnCharacterBoundaries()
    {
        QFETCH(QString, value);
        const QByteArray bytes = exportContacts({withField(19, value)}, ExportFormat::VCard3, {});
        QVERIFY(bytes.endsWith("\r\n"));
        const QList<QByteArray> lines = bytes.chopped(1).split('\n');
        for (const QByteArray &line : lines) {
            QVERIFY2(line.endsWith('\r'), line.constData());
            const QByteArray content = line.chopped(1);
            QVERIFY2(content.size() <= 75, content.constData());
            QVERIFY2(QUtf8StringView(content).isValidUtf8(), content.constData());
            // A fold never parts an escape from what it escapes.
            QVERIFY2(!content.endsWith('\\') || content.endsWith("\\\\"), content.constData());
        }
        QString escaped = value;
        escaped.replace(u'\\', u"\\\\"_qs).replace(u',', u"\\,"_qs).replace(u';', u"\\;"_qs);
        QVERIFY(unfolded(bytes).contains(u"NOTE:"_qs + escaped));
    }

    void readingsAndSortAs_data()
    {
        QTest::addColumn<QString>("reading");
        QTest::addColumn<QStringList>("expected3");
        QTest::addColumn<QStringList>("expected4");
        QTest::newRow("family and given")
            << u"やまだ　たろう"_qs
            << QStringList{u"X-PHONETIC-LAST-NAME:やまだ"_qs, u"X-PHONETIC-FIRST-NAME:たろう"_qs}
            << QStringList{u"N;SORT-AS=\"やまだ,たろう\":;;;;"_qs, u"X-PHONETIC-LAST-NAME:やまだ"_qs};
        QTest::newRow("a comma leaves SORT-AS out")
            << u"や,まだ"_qs << QStringList{u"X-PHONETIC-LAST-NAME:や\\,まだ"_qs}
            << QStringList{u"N:;;;;"_qs, u"X-PHONETIC-LAST-NAME:や\\,まだ"_qs};
    }
    void readingsAndSortAs()
    {
        QFETCH(QString, reading);
        QFETCH(QStringList, expected3);
        QFETCH(QStringList, expected4);
        const ContactRecord r = withField(ReadingField, reading);
        const QStringList v3 = unfolded(exportContacts({r}, ExportFormat::VCard3, {}));
        for (const QString &line : expected3)
            QVERIFY2(v3.contains(line), qPrintable(line));
        const QStringList v4 = unfolded(exportContacts({r}, ExportFormat::VCard4, {}));
        for (const QString &line : expected4)
            QVERIFY2(v4.contains(line), qPrintable(line));
    }

    // A field of the list file is written from its code page 932 bytes
    // exactly as its decoded text would be, for every character of the code
    // page (user-defined area, NEC and IBM duplicates, half-width kana, the
    // twins such as 〜 and ～ included), folded at every offset; bytes that
    // are no text add nothing.
    void writesListBytesAsTheirText_data()
    {
        QTest::addColumn<int>("lead"); // 0: the single bytes
        QTest::newRow("single bytes") << 0;
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (Cp932::isLeadByte(uchar(lead)))
                QTest::addRow("lead 0x%02X", lead) << lead;
        }
    }
    void writesListBytesAsTheirText()
    {
        QFETCH(int, lead);
        for (int b = 0; b < 256; ++b) {
            if (lead == 0 && Cp932::isLeadByte(uchar(b)))
                continue;
            QByteArray code(1, char(b));
            if (lead != 0)
                code.prepend(char(lead));
            const bool text = Cp932::decode(code).has_value();
            const QByteArray where = code.toHex();
            for (const ExportFormat format : {ExportFormat::VCard3, ExportFormat::VCard4}) {
                const TwoWays both = writeBothWays(format, code.repeated(50) + 'x' + code);
                QVERIFY2(both.written == text, where.constData());
                QVERIFY2(both.fromBytes == both.fromText, where.constData());
            }
        }
    }

    void writesMixedListBytesAsTheirText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("mail address") << QByteArray("user1397.85976@example.co.jp");
        QTest::newRow("short ASCII") << QByteArray("03-1");
        QTest::newRow("escapes at each place of sixteen")
            << QByteArray("abcdefghijklmnop,qrstuvwxyz;0123456789\\ABCDEFGHIJKLMNO,;");
        QTest::newRow("long ASCII folded") << QByteArray("https://www.example.co.jp/").repeated(8);
        QTest::newRow("kanji between ASCII") << QByteArray("\x91\xe6" "7\x8aJ\x94\xad\x95\x94 abc,\x82\xa0").repeated(9);
        QTest::newRow("half-width kana and ASCII") << QByteArray("\xb6\xcc\xde\xbc\xb7;a").repeated(12);
        QTest::newRow("line breaks") << QByteArray("a\r\nb\nc\rd\r\r\n\n").repeated(7);
        QTest::newRow("blanks only") << QByteArray(" \x81\x40 \x81\x40");
        QTest::newRow("blanks then text") << QByteArray(" \x81\x40" "a");
        QTest::newRow("lead byte cut off") << QByteArray("abc\x82");
        QTest::newRow("invalid pair after a fold") << QByteArray("\x82\xa0").repeated(40) + "\x81\x20";
        QTest::newRow("NUL after ASCII") << QByteArray("abcdefghijklmnopqrs\0t", 21);
    }
    void writesMixedListBytesAsTheirText()
    {
        QFETCH(QByteArray, bytes);
        for (const ExportFormat format : {ExportFormat::VCard3, ExportFormat::VCard4}) {
            const TwoWays both = writeBothWays(format, bytes);
            QCOMPARE(both.written, Cp932::decode(bytes).has_value());
            QCOMPARE(both.fromBytes, both.fromText);
        }
    }

    // Bytes that are no text are found before a photo is read: the card is
    // refused the same whether the photo can be read or not.
    void refusesBytesBeforeReadingThePhoto_data()
    {
        QTest::addColumn<QByteArray>("stationBytes");
        QTest::addColumn<bool>("throws");
        QTest::newRow("text") << QByteArray("\x93\x8c\x8b\x9e") << true;
        QTest::newRow("no text") << QByteArray("\x81\x20") << false;
    }
    void refusesBytesBeforeReadingThePhoto()
    {
        QFETCH(QByteArray, stationBytes);
        QFETCH(bool, throws);
        ScratchData data;
        QDir(data.folder()).mkdir(u"photos"_qs);
        // A link to itself: looking at the photo fails.
        QVERIFY(QFile::link(data.path(u"photos/loop.jpg"_qs), data.path(u"photos/loop.jpg"_qs)));
        ContactFields decoded;
        decoded[FieldMap::PhotoField] = u"loop.jpg";
        ContactLines lines;
        lines[6] = stationBytes;
        ContactExporter exporter(ExportFormat::VCard3, data.path(u"photos"_qs));
        bool written = true;
        QCOMPARE(trapError([&] { written = exporter.add(decoded, lines); }) != 0, throws);
        QCOMPARE(written, throws);
        if (!throws)
            QVERIFY(exporter.written().isEmpty());
    }

    void embedsPhotosOfTheFolder_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("fileBytes");
        QTest::addColumn<QString>("expected3");
        const QByteArray jpeg("\xFF\xD8\xFF\xE0rest");
        QTest::newRow("a JPEG file") << u"a.jpg"_qs << jpeg
                                     << u"PHOTO;ENCODING=b;TYPE=JPEG:"_qs + QString::fromLatin1(jpeg.toBase64());
        QTest::newRow("not an image") << u"a.jpg"_qs << QByteArray("text") << u"PHOTO;VALUE=uri:a.jpg"_qs;
        QTest::newRow("a folder part is no file of the folder")
            << u"../a.jpg"_qs << jpeg << u"PHOTO;VALUE=uri:../a.jpg"_qs;
        QTest::newRow("missing file") << u"b.jpg"_qs << jpeg << u"PHOTO;VALUE=uri:b.jpg"_qs;
    }
    void embedsPhotosOfTheFolder()
    {
        QFETCH(QString, value);
        QFETCH(QByteArray, fileBytes);
        QFETCH(QString, expected3);
        ScratchData data;
        QDir(data.folder()).mkdir(u"photos"_qs);
        data.write(u"photos/a.jpg"_qs, fileBytes);
        data.write(u"a.jpg"_qs, fileBytes);
        const ContactRecord r = withField(14, value);
        QVERIFY(unfolded(exportContacts({r}, ExportFormat::VCard3, data.path(u"photos"_qs)))
                    .contains(expected3));
    }

    void quotesCsvCells_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("cell");
        QTest::newRow("plain") << u"abc"_qs << u",abc,"_qs;
        QTest::newRow("comma") << u"a,b"_qs << u",\"a,b\","_qs;
        QTest::newRow("quote doubled") << u"say \"hi\""_qs << u",\"say \"\"hi\"\"\","_qs;
        QTest::newRow("line break") << u"a\r\nb"_qs << u",\"a\r\nb\","_qs;
        QTest::newRow("blank at an end") << u"　a"_qs << u",\"　a\","_qs;
        QTest::newRow("semicolon and backslash as they are") << u"a;b\\c"_qs << u",a;b\\c,"_qs;
    }
    void quotesCsvCells()
    {
        QFETCH(QString, value);
        QFETCH(QString, cell);
        const QByteArray bytes = exportContacts({withField(19, value)}, ExportFormat::GoogleCsv, {});
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QString csv = QString::fromUtf8(bytes.mid(3));
        const QStringList rows = csv.split(u"\r\n"_qs);
        const qsizetype notes = rows[0].split(u',').indexOf(u"Notes"_qs);
        QVERIFY(notes > 0);
        // The cells before it are empty: the cell follows their commas.
        const QString row = csv.mid(rows[0].size() + 2);
        qsizetype at = -1;
        for (qsizetype i = 0; i < notes; ++i)
            at = row.indexOf(u',', at + 1);
        QVERIFY2(row.mid(at).startsWith(cell), qPrintable(row.mid(at, 40)));
    }

    void csvKeepsSlotsAndCustomFields()
    {
        ContactRecord r = emptyContact();
        r[NameField] = u"山田　太郎"_qs;
        r[Tel2Field] = u"090-1"_qs;
        r[6] = u"東京"_qs;
        const QStringList rows =
            QString::fromUtf8(exportContacts({r}, ExportFormat::GoogleCsv, {}).mid(3)).split(u"\r\n"_qs);
        QCOMPARE(rows.size(), 3); // header, row, nothing after the last CR LF
        const QStringList header = rows[0].split(u',');
        const QStringList cells = rows[1].split(u',');
        QCOMPARE(cells.size(), header.size());
        const auto cell = [&](const char *name) { return cells[header.indexOf(QLatin1StringView(name))]; };
        QCOMPARE(cell("Last Name"), u"山田"_qs);
        QCOMPARE(cell("First Name"), u"太郎"_qs);
        QCOMPARE(cell("Phone 1 - Value"), QString());
        QCOMPARE(cell("Phone 2 - Label"), u"Work"_qs);
        QCOMPARE(cell("Phone 2 - Value"), u"090-1"_qs);
        QCOMPARE(cell("Custom Field 1 - Label"), u"最寄駅"_qs);
        QCOMPARE(cell("Custom Field 1 - Value"), u"東京"_qs);
        QCOMPARE(cell("Custom Field 2 - Label"), QString());
    }
};

QTEST_GUILESS_MAIN(TestWriters)
#include "test_writers.moc"

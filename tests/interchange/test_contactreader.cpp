#include "ScratchData.h"

#include "interchange/ContactReader.h"
#include "interchange/FieldMap.h"
#include "interchange/ReaderSupport.h"
#include "shell/Cp932.h"
#include "shell/FileOps.h"

#include <array>
#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QtTest>

using namespace Interchange;

// A contact as one line a non-blank field ("1=090-…"), then its reading
// parts, its photo and how the list's reading field reads.
static QStringList describe(const IncomingContact &c)
{
    QStringList lines;
    for (int i = 0; i < c.record.size(); ++i)
        if (!c.record[i].isEmpty())
            lines << QString::number(i) + u'=' + c.record[i];
    lines << QStringLiteral("name=%1|%2").arg(c.nameFamily, c.nameGiven);
    lines << QStringLiteral("reading=%1|%2|%3").arg(c.readingFamily, c.readingGiven).arg(c.hasReading);
    if (!c.photo.isEmpty())
        lines << QStringLiteral("photo=%1:%2").arg(c.photoType).arg(c.photo.size());
    return lines;
}

static QString describe(const QMap<QString, int> &leftOut)
{
    QStringList parts;
    for (auto it = leftOut.cbegin(); it != leftOut.cend(); ++it)
        parts << it.key() + u'=' + QString::number(*it);
    return parts.join(u',');
}

static QByteArray sjis(const char *utf8)
{
    return *Cp932::encode(QString::fromUtf8(utf8));
}

// Quoted-printable as phones write it: every byte of a multi-byte
// character escaped, a soft line break after every 24 bytes of output.
static QByteArray qp(const QByteArray &bytes)
{
    QByteArray out;
    int column = 0;
    for (const char c : bytes) {
        const uchar u = uchar(c);
        const QByteArray piece = (u >= 0x80 || c == '=') ? '=' + QByteArray::number(u, 16).toUpper().rightJustified(2, '0')
                                                         : QByteArray(1, c);
        if (column + piece.size() > 24) {
            out += "=\n";
            column = 0;
        }
        out += piece;
        column += int(piece.size());
    }
    return out;
}

static QByteArray crlf(QByteArray text)
{
    return text.replace("\n", "\r\n");
}

// Keeps what a sink is handed, by part, as the import keeps it.
struct RecordingSink final : ContactSink {
    std::array<QStringList, MaxReadParts> parts;
    bool inHalves = false;
    int restarts = 0; // halves read again as one

    void startPart(int part, int count, qsizetype) override
    {
        if (count == 1) {
            restarts += inHalves ? 1 : 0;
            for (QStringList &p : parts)
                p.clear();
        }
        inHalves = count > 1;
        parts[size_t(part)].clear();
    }
    void take(int part, IncomingContact &&contact) override { parts[size_t(part)] << describe(contact); }
    QStringList all() const { return parts[0] + parts[1]; }
};

class TestContactReader : public QObject {
    Q_OBJECT
private slots:
    void readsContacts_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("index");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("leftOut");

        const QString fb = QStringLiteral("\u3000");
        const QByteArray jis = QStringEncoder("ISO-2022-JP").encode(u"大手町");

        const QByteArray phone21 = crlf(
            "BEGIN:VCARD\nVERSION:2.1\n"
            "N;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:" + qp(sjis("山田;太郎;;;")) + "\n"
            "SOUND;X-IRMC-N;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:" + qp(sjis("ﾔﾏﾀﾞ;ﾀﾛｳ;;;")) + "\n"
            "TEL;WORK;VOICE:03-1111-2222\nTEL;CELL:090-1111-2222\nTEL;HOME:045-111-2222\n"
            "TEL;FAX:03-3333-4444\nEMAIL;INTERNET:taro@example.jp\n"
            "ADR;HOME;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:;;" + qp(sjis("千代田1-1;千代田区;東京都;100-0001;")) + "\n"
            "NOTE;CHARSET=SHIFT_JIS:" + sjis("ソフト表示") + "\n"
            "X-TESSALINE-PLACE;CHARSET=ISO-2022-JP:" + jis + "\n"
            "BDAY:19800101\nEND:VCARD\n"
            "BEGIN:VCARD\nVERSION:2.1\nFN;CHARSET=SHIFT_JIS:" + sjis("鈴木 花子") + "\n"
            "SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:" + sjis("ｽｽﾞｷ ﾊﾅｺ;;;;") + "\nEND:VCARD\n");
        QTest::newRow("2.1 Shift_JIS quoted-printable, SOUND")
            << phone21 << int(SourceFormat::VCard) << 0
            << QStringList{"0=山田" + fb + "太郎", "1=090-1111-2222", "2=taro@example.jp",
                           "5=100-0001 東京都 千代田区 千代田1-1", "9=ﾔﾏﾀﾞ" + fb + "ﾀﾛｳ", "10=045-111-2222",
                           "12=03-3333-4444", "18=大手町", "19=ソフト表示", "name=山田|太郎", "reading=ﾔﾏﾀﾞ|ﾀﾛｳ|1"}
            << "BDAY=1,TEL=1";
        QTest::newRow("2.1 whole reading in the first component")
            << phone21 << int(SourceFormat::VCard) << 1
            << QStringList{"0=鈴木 花子", "9=ｽｽﾞｷ ﾊﾅｺ", "name=鈴木|花子", "reading=ｽｽﾞｷ|ﾊﾅｺ|1"} << "BDAY=1,TEL=1";

        QTest::newRow("2.1 photo in an unindented block")
            << crlf("BEGIN:VCARD\nVERSION:2.1\nFN:写真\nPHOTO;ENCODING=BASE64;TYPE=GIF:\nR0lGODlh\nAQABAAAA\n\n"
                    "END:VCARD\n")
            << int(SourceFormat::VCard) << 0 << QStringList{"0=写真", "name=写真|", "reading=||0", "photo=gif:12"} << "";

        QTest::newRow("2.1 quoted-printable ending in = before END")
            << crlf("BEGIN:VCARD\nVERSION:2.1\nN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=E5=B1=B1;=\nEND:VCARD\n")
            << int(SourceFormat::VCard) << 0 << QStringList{"0=山", "name=山|", "reading=||0"} << "";

        // Only a parameter declares an encoding: a name holding its word
        // doesn't make the next line a soft line break's continuation.
        QTest::newRow("an encoding's word in a property name")
            << crlf("BEGIN:VCARD\nVERSION:2.1\nX-QUOTED-PRINTABLE-MEMO:a=\nFN:名前\nEND:VCARD\n")
            << int(SourceFormat::VCard) << 0 << QStringList{"0=名前", "name=名前|", "reading=||0"}
            << "X-QUOTED-PRINTABLE-MEMO=1";

        const QByteArray iphone = crlf(
            "BEGIN:VCARD\nVERSION:3.0\nPRODID:-//Phone//EN\nN:佐藤;花子;;;\nFN:佐藤 花子\n"
            "X-PHONETIC-FIRST-NAME:はなこ\nX-PHONETIC-LAST-NAME:さとう\nSORT-STRING:サトウ ハナコ\n"
            "ORG:テッサ商事;営業部;\nX-PHONETIC-ORG:てっさしょうじ\nTITLE:課長\n"
            "item1.EMAIL;type=INTERNET;type=pref:hanako@example.com\nitem1.X-ABLabel:_$!<Other>!$_\n"
            "TEL;type=WORK;type=VOICE;type=pref:03-5555-6666\n"
            "item2.TEL:080-7777-8888\nitem2.X-ABLabel:_$!<Mobile>!$_\n"
            "item3.URL;type=pref:https://example.com/hanako\n"
            "item4.ADR;type=WORK:;;丸の内1-1;千代田区;東京都;100-0005;\n"
            "ADR;type=HOME:;;横浜1-1;横浜市;神奈川県;220-0001;\n"
            "NOTE:一行目\\n二行目\\, 続き\nNICKNAME:はな\n"
            "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQ\n SkZJRg==\nEND:VCARD\n");
        QTest::newRow("3.0 groups, X-PHONETIC, photo")
            << iphone << int(SourceFormat::VCard) << 0
            << QStringList{"0=佐藤 花子", "1=080-7777-8888", "2=hanako@example.com", "3=テッサ商事", "4=営業部",
                           "5=100-0005 東京都 千代田区 丸の内1-1", "8=課長", "9=さとう" + fb + "はなこ",
                           "10=03-5555-6666", "13=https://example.com/hanako", "19=一行目\n二行目, 続き",
                           "name=佐藤|花子", "reading=さとう|はなこ|1", "photo=jpeg:10"}
            << "ADR=1,NICKNAME=1,X-PHONETIC-ORG=1";

        const QByteArray v4 = crlf(
            "BEGIN:VCARD\nVERSION:4.0\nFN:高橋 一郎\nN;SORT-AS=\"たかはし,いちろう\":高橋;一郎;;;\n"
            "SOUND;X-IRMC-N:ﾀｶﾊｼ;;;;\nORG;SORT-AS=\"てっさ\":テッサ;開発\n"
            "TEL;VALUE=uri;TYPE=\"cell,voice\":tel:+81-90-1234-5678\nX-TESSALINE-STATION:東京\n"
            "PHOTO:https://example.org/ichiro.jpg\nEND:VCARD\n"
            "BEGIN:VCARD\nVERSION:4.0\nN;SORT-AS=\"いとう;じろう\":伊藤;二郎;;;\nSORT-STRING:イトウ\nEND:VCARD\n"
            "BEGIN:VCARD\nVERSION:3.0\nFN:𠮷田 〜−😀\nSORT-STRING:よしだ\nSOUND;X-IRMC-N:ﾖｼﾀﾞ;;;;\n"
            "NOTE:〜 − 𠮷 😀\nEND:VCARD\n");
        QTest::newRow("4.0 SORT-AS with commas")
            << v4 << int(SourceFormat::VCard) << 0
            << QStringList{"0=高橋 一郎", "1=+81-90-1234-5678", "3=テッサ", "4=開発", "6=東京",
                           "9=たかはし" + fb + "いちろう", "14=https://example.org/ichiro.jpg",
                           "name=高橋|一郎", "reading=たかはし|いちろう|1"}
            << "ORG;SORT-AS=1";
        QTest::newRow("4.0 SORT-AS with semicolons")
            << v4 << int(SourceFormat::VCard) << 1
            << QStringList{"0=伊藤" + fb + "二郎", "9=いとう" + fb + "じろう", "name=伊藤|二郎", "reading=いとう|じろう|1"}
            << "ORG;SORT-AS=1";
        QTest::newRow("characters beyond code page 932")
            << v4 << int(SourceFormat::VCard) << 2
            << QStringList{"0=𠮷田 〜−😀", "9=よしだ", "19=〜 − 𠮷 😀", "name=𠮷田|〜−😀", "reading=よしだ||1"} << "ORG;SORT-AS=1";

        const QByteArray google = crlf(
            "First Name,Middle Name,Last Name,Phonetic First Name,Phonetic Middle Name,Phonetic Last Name,"
            "Nickname,Organization Name,Organization Title,Organization Department,Birthday,Notes,Labels,"
            "E-mail 1 - Label,E-mail 1 - Value,Phone 1 - Label,Phone 1 - Value,Phone 2 - Label,Phone 2 - Value,"
            "Address 1 - Label,Address 1 - Formatted,Website 1 - Label,Website 1 - Value,"
            "Custom Field 1 - Label,Custom Field 1 - Value,Custom Field 2 - Label,Custom Field 2 - Value\n"
            "太郎,,山田,たろう,,やまだ,,テッサ,主任,総務,1980-01-01,\"一行目\n\"\"二行目\"\", 続き\","
            "* myContacts,* Home,a@example.jp ::: b@example.jp ::: c@example.jp,Work,03-1111-2222,"
            "Mobile,090-1 ::: 090-2,Home,\"〒100-0001\n東京都千代田区\",,https://e.jp,最寄駅,新宿,好物,りんご\n");
        QTest::newRow("Google CSV")
            << google << int(SourceFormat::GoogleCsv) << 0
            << QStringList{"0=山田" + fb + "太郎", "1=090-1", "2=a@example.jp", "3=テッサ", "4=総務",
                           "5=〒100-0001\n東京都千代田区", "6=新宿", "8=主任", "9=やまだ" + fb + "たろう",
                           "10=090-2", "11=b@example.jp", "13=https://e.jp", "19=一行目\n\"二行目\", 続き",
                           "name=山田|太郎", "reading=やまだ|たろう|1"}
            << "Birthday=1,E-mail 1 - Value=1,Phone 1 - Value=1,好物=1";

        const QByteArray googleOld = crlf(
            "Name,Given Name,Additional Name,Family Name,Yomi Name,Given Name Yomi,Additional Name Yomi,"
            "Family Name Yomi,Notes,Group Membership,E-mail 1 - Type,E-mail 1 - Value,Phone 1 - Type,"
            "Phone 1 - Value,Organization 1 - Type,Organization 1 - Name,Organization 1 - Yomi Name,"
            "Organization 1 - Title,Organization 1 - Department\n"
            "佐藤 花子,花子,,佐藤,,はなこ,,さとう,\"メモ\n二行\",* My Contacts,* Other,h@example.com,"
            "Work Fax,03-9999-0000,,テッサ,てっさ,部長,開発\n");
        QTest::newRow("Google CSV, older")
            << googleOld << int(SourceFormat::GoogleOldCsv) << 0
            << QStringList{"0=佐藤 花子", "2=h@example.com", "3=テッサ", "4=開発", "8=部長",
                           "9=さとう" + fb + "はなこ", "12=03-9999-0000", "19=メモ\n二行",
                           "name=佐藤|花子", "reading=さとう|はなこ|1"}
            << "Organization 1 - Yomi Name=1";

        const QString outlookText = QStringLiteral(
            "Title,First Name,Middle Name,Last Name,Suffix,Given Yomi,Surname Yomi,Company,Company Yomi,"
            "Department,Job Title,Business Street,Business City,Business State,Business Postal Code,"
            "Business Fax,Business Phone,Home Phone,Mobile Phone,Birthday,E-mail Address,E-mail Type,"
            "E-mail Display Name,E-mail 2 Address,Notes,Priority,Sensitivity,Web Page\r\n"
            ",一郎,,高橋,,イチロウ,タカハシ,テッサ,テッサ,開発,係長,丸の内1-1,千代田区,東京都,100-0005,"
            "03-0000-1111,03-0000-2222,,090-0000-3333,0/0/00,i@example.org,SMTP,高橋 一郎,j@example.org,"
            "\"長い\n\nメモ\",Normal,Normal,https://t.example\r\n");
        QTest::newRow("Outlook CSV in UTF-16 with its mark")
            << QByteArray("\xFF\xFE", 2) + QStringEncoder(QStringConverter::Utf16LE).encode(outlookText)
            << int(SourceFormat::OutlookCsv) << 0
            << QStringList{"0=高橋" + fb + "一郎", "1=090-0000-3333", "2=i@example.org", "3=テッサ", "4=開発",
                           "5=100-0005 東京都 千代田区 丸の内1-1", "8=係長", "9=タカハシ" + fb + "イチロウ",
                           "10=03-0000-2222", "11=j@example.org", "12=03-0000-1111", "13=https://t.example",
                           "19=長い\n\nメモ", "name=高橋|一郎", "reading=タカハシ|イチロウ|1"}
            << "Company Yomi=1";
        QTest::newRow("Outlook CSV in code page 932")
            << *Cp932::encode(QStringLiteral("First Name,Last Name,Mobile Phone,Business Phone\r\n"
                                             "一郎,高橋,,03-0000-2222\r\n"))
            << int(SourceFormat::OutlookCsv) << 0
            << QStringList{"0=高橋" + fb + "一郎", "1=03-0000-2222", "name=高橋|一郎", "reading=||0"} << "";
    }

    void readsContacts()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, format);
        QFETCH(int, index);
        QFETCH(QStringList, expected);
        QFETCH(QString, leftOut);

        const ReadOutcome outcome = readContactBytes(bytes);
        QVERIFY2(outcome.ok(), qPrintable(outcome.message));
        QCOMPARE(int(outcome.format), format);
        QVERIFY(index < outcome.contacts.size());
        QCOMPARE(describe(outcome.contacts[index]), expected);
        QCOMPARE(outcome.contacts[index].record.size(), FieldCount);
        QCOMPARE(describe(outcome.leftOut), leftOut);
    }

    void refusesBadInput_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");

        QTest::newRow("binary") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << "バイナリファイル";
        // A long file is read in halves, each checked on its own thread.
        const QByteArray card("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:a\r\nEND:VCARD\r\n");
        for (const bool inFirstHalf : {true, false}) {
            QByteArray cards = card.repeated(40000);
            cards[inFirstHalf ? 100 : cards.size() - 100] = '\0';
            QTest::newRow(inFirstHalf ? "NUL in a long file's first half" : "NUL in a long file's second half")
                << cards << "バイナリファイル";
        }
        // A NUL is found as the lines are cut, so that reading that stops
        // before it (a broken card, the limit) must still look for it.
        QTest::newRow("NUL as the last byte") << card.repeated(3) + '\0' << "バイナリファイル";
        QTest::newRow("NUL after a broken card")
            << "BEGIN:VCARD\r\nFN;CHARSET=UTF-8:\xE3\x81\r\nEND:VCARD\r\n" + card + QByteArray("\0", 1)
            << "バイナリファイル";
        QTest::newRow("NUL after a 10 MB line")
            << "BEGIN:VCARD\r\nNOTE:" + QByteArray(10 * 1024 * 1024, 'a') + "\r\nEND:VCARD\r\n" + QByteArray("\0", 1)
            << "バイナリファイル";
        QTest::newRow("NUL past the limit") << card.repeated(20000) + QByteArray("\0", 1) << "バイナリファイル";
        QTest::newRow("BEGIN without END")
            << QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:a\r\nEND:VCARD\r\nBEGIN:VCARD\r\nFN:b\r\n")
            << "5 行目の「BEGIN:VCARD」に対応する「END:VCARD」がありません";
        QTest::newRow("10 MB line")
            << "BEGIN:VCARD\r\nNOTE:" + QByteArray(10 * 1024 * 1024, 'a') + "\r\nEND:VCARD\r\n" << "長すぎます";
        QTest::newRow("10 MB folded line")
            << "BEGIN:VCARD\r\nNOTE:" + (QByteArray(1000, 'a') + "\r\n ").repeated(10000) + "\r\nEND:VCARD\r\n"
            << "長すぎます";
        QTest::newRow("invalid UTF-8 declared")
            << QByteArray("BEGIN:VCARD\r\nFN;CHARSET=UTF-8:\xE3\x81\r\nEND:VCARD\r\n")
            << "2 行目: UTF-8 と宣言された値に UTF-8 として読めないバイトがあります";
        QTest::newRow("unknown CHARSET")
            << QByteArray("BEGIN:VCARD\r\nFN;CHARSET=X-KLINGON:a\r\nEND:VCARD\r\n")
            << "文字コード「X-KLINGON」は読めません";
        QTest::newRow("CSV with a 10 MB field")
            << "First Name,Last Name,Mobile Phone,Notes\r\na,b,1," + QByteArray(10 * 1024 * 1024, 'x') + "\r\n"
            << "2 行目で始まる行が長すぎます";
        QTest::newRow("CSV with an unbalanced quote")
            << QByteArray("First Name,Last Name,E-mail Address\r\na,b,c\r\n\"d,e,f\r\n")
            << "3 行目で始まる引用符 (\") が閉じていません";
        QTest::newRow("CSV with a header only")
            << QByteArray("First Name,Last Name,Mobile Phone\r\n") << "見出し行だけ";
        QTest::newRow("CSV of another program")
            << QByteArray("id,title\r\n1,x\r\n") << "vCard でも CSV";
    }

    void refusesBadInput()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        const ReadOutcome outcome = readContactBytes(bytes);
        QCOMPARE(outcome.failure, ReadFailure::BadContent);
        QVERIFY2(outcome.message.contains(message), qPrintable(outcome.message));
        QVERIFY(outcome.contacts.isEmpty());
    }

    void stopsPastTheLimit_data()
    {
        QTest::addColumn<QByteArray>("one");
        QTest::addColumn<QByteArray>("header");
        QTest::newRow("vCard") << QByteArray("BEGIN:VCARD\r\nFN:a\r\nEND:VCARD\r\n") << QByteArray();
        QTest::newRow("CSV") << QByteArray("a,b\r\n") << QByteArray("First Name,Last Name,Company\r\n");
    }

    void stopsPastTheLimit()
    {
        QFETCH(QByteArray, one);
        QFETCH(QByteArray, header);
        const ReadOutcome outcome = readContactBytes(header + one.repeated(20000));
        QCOMPARE(outcome.failure, ReadFailure::TooMany);
        QCOMPARE(outcome.message, QStringLiteral("１００００件超えてしまいます。"));
        QCOMPARE(outcome.contacts.size(), qsizetype(MaxContacts + 1));
    }

    // A long file is read in two halves at once: the contacts, what was left
    // out and the failures must be those of reading it in one piece (here:
    // of reading its cards one by one), wherever the cut falls.
    void readsALongFileAsOne_data()
    {
        QTest::addColumn<QList<QByteArray>>("cards");
        QTest::addColumn<int>("stopAfter");
        QTest::addColumn<QString>("failure");

        // Seven lines a card, all of one length.
        const auto card = [](int i) {
            const QByteArray n = QByteArray::number(10000 + i);
            return crlf("BEGIN:VCARD\nVERSION:3.0\nFN:山田 太郎" + n + "\nNICKNAME:t\nTEL;TYPE=CELL:090-0-" + n
                        + "\nNOTE:" + QByteArray(200, 'x') + "\nEND:VCARD\n");
        };
        const auto cards = [&](int from, int count) {
            QList<QByteArray> list;
            for (int i = from; i < from + count; ++i)
                list << card(i);
            return list;
        };
        QTest::newRow("plain cards") << cards(0, 4000) << MaxContacts << "";
        // The middle falls into this card's note, and the first boundary
        // after it lies between two cards nested in it.
        const QByteArray nested = "BEGIN:VCARD\r\nFN:o\r\nNOTE:" + QByteArray(4000, 'n')
            + "\r\nAGENT:\r\nBEGIN:VCARD\r\nFN:x\r\nEND:VCARD\r\nBEGIN:VCARD\r\nFN:y\r\nEND:VCARD\r\n"
              "END:VCARD\r\n";
        QTest::newRow("cut inside a card") << cards(0, 2000) + QList<QByteArray>{nested} + cards(2000, 2000)
                                           << MaxContacts << "";
        QTest::newRow("broken card near the end")
            << cards(0, 3999) + QList<QByteArray>{"BEGIN:VCARD\r\nFN;CHARSET=UTF-8:\xE3\x81\r\nEND:VCARD\r\n"}
            << MaxContacts << QString::number(3999 * 7 + 2) + " 行目: UTF-8 と宣言された値";
        QTest::newRow("past the limit in the halves together") << cards(0, 4000) << 3000 << "１００００件";
    }

    void readsALongFileAsOne()
    {
        QFETCH(QList<QByteArray>, cards);
        QFETCH(int, stopAfter);
        QFETCH(QString, failure);

        const ReadOutcome outcome = readContactBytes(cards.join(), stopAfter);
        // Through a sink, each half's contacts are handed over on the thread
        // that read them; halves that can't make the whole are read again.
        RecordingSink sink;
        const ReadOutcome sunk = readVCard(cards.join(), stopAfter, &sink);
        QCOMPARE(sunk.message, outcome.message);
        QVERIFY(sunk.contacts.isEmpty());
        if (!failure.isEmpty()) {
            QVERIFY2(outcome.message.contains(failure), qPrintable(outcome.message));
            QCOMPARE(sink.restarts, 1);
            if (outcome.failure == ReadFailure::TooMany) {
                QCOMPARE(outcome.contacts.size(), qsizetype(stopAfter + 1));
                QStringList kept;
                for (const IncomingContact &c : outcome.contacts)
                    kept << describe(c);
                QCOMPARE(sink.all(), kept);
            }
            return;
        }
        QCOMPARE(sunk.count, outcome.contacts.size());
        QVERIFY2(outcome.ok(), qPrintable(outcome.message));
        QStringList expected, read;
        QMap<QString, int> expectedLeftOut;
        for (const QByteArray &one : cards) {
            const ReadOutcome alone = readContactBytes(one);
            expected << describe(alone.contacts.front());
            for (auto it = alone.leftOut.cbegin(); it != alone.leftOut.cend(); ++it)
                expectedLeftOut[it.key()] += it.value();
        }
        for (const IncomingContact &c : outcome.contacts)
            read << describe(c);
        QCOMPARE(read, expected);
        QCOMPARE(sink.all(), expected);
        QCOMPARE(describe(outcome.leftOut), describe(expectedLeftOut));
    }

    // The decoder of the cards' values takes what isValidUtf8 takes, and
    // gives what Qt's decoder gives for it, a byte order mark kept.
    void decodesUtf8AsItIsValidated_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ASCII past eight bytes") << QByteArray("0123456789abcdef!");
        QTest::newRow("two, three and four bytes") << QByteArray("\xC3\xA9\xE5\xB1\xB1\xF0\xA0\xAE\xB7" "a");
        QTest::newRow("byte order mark kept") << QByteArray("\xEF\xBB\xBFx");
        QTest::newRow("highest code point") << QByteArray("\xF4\x8F\xBF\xBF");
        QTest::newRow("overlong two bytes") << QByteArray("\xC1\xBF");
        QTest::newRow("overlong three bytes") << QByteArray("\xE0\x9F\xBF");
        QTest::newRow("overlong four bytes") << QByteArray("\xF0\x8F\xBF\xBF");
        QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80");
        QTest::newRow("past U+10FFFF") << QByteArray("\xF4\x90\x80\x80");
        QTest::newRow("cut at the end") << QByteArray("abc\xE5\xB1");
        QTest::newRow("continuation byte alone") << QByteArray("a\x80");
        // ASCII is taken sixteen bytes, then eight, then one at a time: a
        // character or a broken byte at each place of a run.
        for (int at = 0; at < 40; ++at) {
            QByteArray run(40, 'a');
            QTest::addRow("あ at %d of an ASCII run", at) << QByteArray(run).insert(at, "\xE3\x81\x82");
            QTest::addRow("a lone 0x80 at %d of an ASCII run", at) << QByteArray(run).insert(at, "\x80");
        }
    }

    void decodesUtf8AsItIsValidated()
    {
        QFETCH(QByteArray, bytes);
        std::vector<char16_t> out(size_t(bytes.size()) + 8, u'#');
        const char16_t *const end = Detail::decodeUtf8(bytes, out.data());
        QCOMPARE(end != nullptr, isValidUtf8(bytes));
        if (end) {
            QStringDecoder qt(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
            QCOMPARE(QStringView(out.data(), end - out.data()).toString(), QString(qt(bytes)));
            QCOMPARE(out[size_t(end - out.data())], u'#'); // nothing written past the end
        }
    }

    void leavesOutAHugePhoto_data()
    {
        QTest::addColumn<QByteArray>("base64");
        QTest::newRow("one line") << QByteArray(50 * 1024 * 1024, 'A');
        QTest::newRow("folded") << (QByteArray(74, 'A') + "\r\n ").repeated(50 * 1024 * 1024 / 74);
        QTest::newRow("2.1 block") << (QByteArray(76, 'A') + "\r\n").repeated(50 * 1024 * 1024 / 76);
    }

    void leavesOutAHugePhoto()
    {
        QFETCH(QByteArray, base64);
        const QByteArray bytes = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:a\r\nPHOTO;ENCODING=BASE64;TYPE=JPEG:"
            + base64 + "\r\n\r\nNOTE:n\r\nEND:VCARD\r\n";
        const ReadOutcome outcome = readContactBytes(bytes);
        QVERIFY2(outcome.ok(), qPrintable(outcome.message));
        QCOMPARE(outcome.contacts.size(), 1);
        QVERIFY(outcome.contacts[0].photo.isEmpty());
        QCOMPARE(outcome.contacts[0].record[FieldMap::CommentField], QStringLiteral("n"));
        QCOMPARE(outcome.leftOut.value(oversizedPhotoKey()), 1);
    }

    void readsFiles()
    {
        ScratchData data;
        const QString fb = QStringLiteral("\u3000");
        data.write(QStringLiteral("getData"),
                   recordBytes({contact(QStringLiteral("やまだ") + fb + QStringLiteral("たろう"),
                                        QStringLiteral("山田太郎"), QStringLiteral("t"))}));
        ReadOutcome outcome = readContactFile(data.path(QStringLiteral("getData")));
        QVERIFY2(outcome.ok(), qPrintable(outcome.message));
        QCOMPARE(outcome.format, SourceFormat::RecordFile);
        QCOMPARE(outcome.contacts.size(), 1);
        QCOMPARE(outcome.contacts[0].readingGiven, QStringLiteral("たろう"));

        QFile huge(data.path(QStringLiteral("huge.vcf")));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(2ll * 1024 * 1024 * 1024));
        huge.close();
        outcome = readContactFile(huge.fileName());
        QCOMPARE(outcome.failure, ReadFailure::TooLarge);
        QVERIFY2(outcome.message.contains(QStringLiteral("大きすぎます")), qPrintable(outcome.message));

        outcome = readContactFile(data.path(QStringLiteral("missing.vcf")));
        QCOMPARE(outcome.failure, ReadFailure::FileError);
        QVERIFY(!outcome.message.isEmpty());

        data.write(QStringLiteral("cut"), "a\r\nb\r\n");
        outcome = readContactFile(data.path(QStringLiteral("cut")));
        QCOMPARE(outcome.failure, ReadFailure::BadContent);

        // A file that can't be read is a file error, not an empty file.
        data.write(QStringLiteral("unreadable.vcf"), "BEGIN:VCARD\r\nFN:a\r\nEND:VCARD\r\n");
        FileOps::setHook([](const FileOps::Entry &e) { return e.call == FileOps::Call::Read ? EIO : 0; });
        outcome = readContactFile(data.path(QStringLiteral("unreadable.vcf")));
        FileOps::setHook(nullptr);
        QCOMPARE(outcome.failure, ReadFailure::FileError);
        QVERIFY2(outcome.message.contains(QStringLiteral("を読めません")), qPrintable(outcome.message));
    }
};

QTEST_GUILESS_MAIN(TestContactReader)
#include "test_contactreader.moc"

#include "ContactGenerator.h"
#include "CommandRun.h"
#include "ScratchData.h"

#include "cli/CommandLine.h"
#include "contacts/ContactRecord.h"
#include "interchange/FieldMap.h"
#include "shell/AppError.h"
#include "interchange/ContactExport.h"
#include "shell/BasCommn.h"
#include "shell/BasConst.h"
#include "shell/InstanceLock.h"

#include <QDir>
#include <QLockFile>
#include <QProcess>
#include <QtTest>

#include <algorithm>
#include <iterator>

namespace {

QByteArray card(const QString &lines)
{
    return (u"BEGIN:VCARD\r\nVERSION:3.0\r\n"_qs + lines + u"END:VCARD\r\n"_qs).toUtf8();
}

QList<QStringList> listOf(int count)
{
    QList<QStringList> records;
    for (int i = 0; i < count; ++i)
        records << contact(u"よみ%1"_qs.arg(i, 5, 10, QChar(u'0')), u"名前%1"_qs.arg(i), u"t"_qs);
    return records;
}

} // namespace

class TestCommandImport : public QObject {
    Q_OBJECT
private slots:
    void importsOrRefuses_data()
    {
        QTest::addColumn<int>("listed");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said");
        QTest::addColumn<int>("contactsAfter"); // -1: the list unchanged
        const QByteArray two = card(u"FN:鈴木　一郎\r\nSORT-STRING:スズキ イチロウ\r\nBDAY:2000-01-01\r\n"_qs)
            + card(u"FN:名前1\r\nSORT-STRING:よみ00001\r\n"_qs);
        const QString file = u"FILE"_qs;
        QTest::newRow("merged, one replaced")
            << 3 << two << QStringList{file} << ExitCode::Done
            << u"新規 1 件、置換 1 件、読み推定 0 件、取り込まなかった連絡先 0 件、取り込まなかった項目 1 件（BDAY 1）"_qs
            << 4;
        QTest::newRow("into a missing list") << -1 << two << QStringList{file} << ExitCode::Done
                                             << u"新規 2 件"_qs << 2;
        QTest::newRow("no file") << 3 << two << QStringList{} << ExitCode::UsageError << u"ファイルを指定"_qs << -1;
        QTest::newRow("unknown option") << 3 << two << QStringList{u"--force"_qs, file} << ExitCode::UsageError
                                        << u"--force"_qs << -1;
        QTest::newRow("missing file") << 3 << two << QStringList{file, u"/nonexistent.vcf"_qs}
                                      << ExitCode::FileError << u"/nonexistent.vcf"_qs << -1;
        QTest::newRow("binary file") << 3 << QByteArray("\x7F" "ELF\0\0\0", 7) << QStringList{file}
                                     << ExitCode::FileError << u"バイナリファイル"_qs << -1;
        QTest::newRow("no END") << 3 << QByteArray("BEGIN:VCARD\r\nFN:a\r\n") << QStringList{file}
                                << ExitCode::FileError << u"END:VCARD"_qs << -1;
        const QByteArray unstorable = card(u"FN:𠮷田　花子\r\nSORT-STRING:よしだ はなこ\r\nNOTE:😀\r\n"_qs);
        QTest::newRow("unstorable refused with the list")
            << 3 << unstorable << QStringList{file} << ExitCode::Refused
            << u"𠮷田　花子 の氏名「𠮷」"_qs << -1;
        QTest::newRow("unstorable replaced") << 3 << unstorable << QStringList{u"--replace-unstorable"_qs, file}
                                             << ExitCode::Done << u"「〓」に置き換えた連絡先 1 件"_qs << 4;
        QTest::newRow("past the limit") << MaxContacts - 1 << two << QStringList{file} << ExitCode::Refused
                                        << u"１００００件超えてしまいます。"_qs << -1;
    }
    void importsOrRefuses()
    {
        QFETCH(int, listed);
        QFETCH(QByteArray, file);
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        QFETCH(int, contactsAfter);
        ScratchData data;
        const QByteArray before = listed < 0 ? QByteArray() : recordBytes(listOf(listed));
        if (listed >= 0)
            data.write(u"load.txt"_qs, before);
        data.write(u"in.vcf"_qs, file);
        args.replaceInStrings(u"FILE"_qs, data.path(u"in.vcf"_qs));
        const Run run = runTessaline(QStringList{u"import"_qs} + args);
        QVERIFY2(run.exitCode == exitCode, qPrintable(run.err));
        QVERIFY2((run.out + run.err).contains(said), qPrintable(run.out + run.err));
        if (contactsAfter < 0) {
            QCOMPARE(data.read(u"load.txt"_qs), before);
        } else {
            QCOMPARE(data.read(u"load.txt"_qs).count("\r\n"), qsizetype(contactsAfter) * FieldCount);
        }
        QVERIFY(!data.exists(u"loadback.txt"_qs));
    }

    // The lock is taken while the files are read, but its refusal is told
    // first, whatever the files hold.
    void refusesWhileTheWindowRuns_data()
    {
        QTest::addColumn<QByteArray>("cards");
        QTest::newRow("a card") << card(u"FN:一\r\nSORT-STRING:いち\r\n"_qs);
        QTest::newRow("a broken file") << QByteArray("BEGIN:VCARD\r\nFN:一\r\n");
        QTest::newRow("no file") << QByteArray();
    }
    void refusesWhileTheWindowRuns()
    {
        QFETCH(QByteArray, cards);
        ScratchData data;
        data.write(u"load.txt"_qs, recordBytes(listOf(1)));
        if (!cards.isEmpty())
            data.write(u"in.vcf"_qs, cards);
        QLockFile lock(PsLockPass());
        QCOMPARE(lockDataFolder(lock), InstanceLock::Taken);
        const Run run = runTessaline({u"import"_qs, data.path(u"in.vcf"_qs)});
        QCOMPARE(run.exitCode, ExitCode::Refused);
        QVERIFY2(run.err.contains(u"画面を閉じてから"_qs), qPrintable(run.err));
        QCOMPARE(data.read(u"load.txt"_qs), recordBytes(listOf(1)));
    }

    // An embedded photo becomes a file of photos/ named in 顔写真, and the
    // export embeds it again; a refused import leaves no photo behind.
    void savesEmbeddedPhotos()
    {
        ScratchData data;
        const QByteArray jpeg("\xFF\xD8\xFF\xE0photo bytes");
        const QByteArray cards = card(u"FN:写真\r\nSORT-STRING:しゃしん\r\nPHOTO;ENCODING=b;TYPE=JPEG:"_qs
                                      + QString::fromLatin1(jpeg.toBase64()) + u"\r\n"_qs);
        data.write(u"in.vcf"_qs, cards);
        data.write(u"load.txt"_qs, recordBytes(listOf(MaxContacts)));
        QCOMPARE(runTessaline({u"import"_qs, data.path(u"in.vcf"_qs)}).exitCode, ExitCode::Refused);
        QVERIFY(!data.exists(u"photos"_qs));

        data.write(u"load.txt"_qs, QByteArray());
        const Run run = runTessaline({u"import"_qs, data.path(u"in.vcf"_qs)});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QStringList saved = QDir(data.path(u"photos"_qs)).entryList(QDir::Files);
        QCOMPARE(saved.size(), 1);
        QCOMPARE(data.read(u"photos/"_qs + saved.front()), jpeg);
        QVERIFY(QString::fromLatin1(data.read(u"load.txt"_qs)).contains(saved.front()));
        const Run exported = runTessaline({u"export"_qs});
        QVERIFY2(exported.out.contains(QString::fromLatin1(jpeg.toBase64().left(12))), qPrintable(exported.out));
    }

    // A long list is written in two halves at once: standard output gets
    // what the file gets, and a list that can't be read to its end leaves
    // whole cards only, none after the contact that can't be read.
    void exportOfALongListToStandardOutput_data()
    {
        QTest::addColumn<int>("badContact"); // -1: none
        QTest::newRow("whole list") << -1;
        QTest::newRow("bytes that are no text in the first half") << 500;
        QTest::newRow("bytes that are no text in the second half") << 2500;
    }
    void exportOfALongListToStandardOutput()
    {
        QFETCH(int, badContact);
        constexpr int count = 3000;
        ScratchData data;
        QList<ContactRecord> contacts = generateContacts(count, 5);
        if (badContact >= 0)
            contacts[badContact][FieldMap::CommentField] = u"@@@"_qs;
        writeContactFile(data.path(u"load.txt"_qs), contacts);
        data.write(u"load.txt"_qs, data.read(u"load.txt"_qs).replace("@@@", "\x81\x20"));
        const Run run = runTessaline({u"export"_qs});
        if (badContact < 0) {
            const QString file = data.path(u"../export.vcf"_qs);
            QCOMPARE(runTessaline({u"export"_qs, u"--output"_qs, file}).exitCode, 0);
            QCOMPARE(run.exitCode, 0);
            QCOMPARE(run.out.count(u"BEGIN:VCARD"_qs), count);
            QCOMPARE(run.out, QString::fromUtf8(data.read(u"../export.vcf"_qs)));
            return;
        }
        QCOMPARE(run.exitCode, int(ExitCode::FileError));
        QVERIFY2(run.err.contains(u"エラー 1001"_qs), qPrintable(run.err));
        QVERIFY(run.out.isEmpty() || run.out.endsWith(u"END:VCARD\r\n"_qs));
        // Past the middle, every card before that contact is there.
        if (badContact > count / 2)
            QCOMPARE(run.out.count(u"BEGIN:VCARD"_qs), badContact);
        else
            QVERIFY(run.out.count(u"BEGIN:VCARD"_qs) <= badContact);
    }

    // Large photos in the second half make its cards more than the second
    // thread keeps (64 MB): the rest is written after the first half, and
    // standard output still gets every card once, in order, as the file.
    void exportWithLargePhotosInTheSecondHalf()
    {
        constexpr int count = 3000;
        ScratchData data;
        QDir().mkpath(data.path(u"photos"_qs));
        QByteArray jpeg("\xFF\xD8\xFF\xE0");
        jpeg += QByteArray(4 * 1024 * 1024 - jpeg.size(), '\x5A');
        data.write(u"photos/big.jpg"_qs, jpeg);
        QList<ContactRecord> contacts = generateContacts(count, 7);
        for (int i = 2000; i < 2013; ++i)
            contacts[i][FieldMap::PhotoField] = u"big.jpg"_qs;
        writeContactFile(data.path(u"load.txt"_qs), contacts);
        const QString file = data.path(u"../export.vcf"_qs);
        QCOMPARE(runTessaline({u"export"_qs, u"--output"_qs, file}).exitCode, 0);
        QProcess process;
        process.start(QStringLiteral(TESSALINE_BIN), {u"export"_qs});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 0);
        const QByteArray out = process.readAllStandardOutput();
        QCOMPARE(out.count("BEGIN:VCARD"), count);
        QCOMPARE(out.count(jpeg.toBase64().left(40)), 13);
        QVERIFY(out == data.read(u"../export.vcf"_qs));
    }

    // A long list is searched in two halves at once: the answer is the
    // list's search over the whole list, in the list's order. Bytes that
    // are no text in a searched field are reported, in either half; in a
    // field that isn't searched they are never read.
    void queryOfALongList_data()
    {
        QTest::addColumn<QString>("sought");
        QTest::addColumn<int>("badField");
        QTest::addColumn<QByteArray>("badBytes"); // put into contact 2500, or none
        QTest::addColumn<int>("exitCode");
        const int done = ExitCode::Done;
        const int fileError = ExitCode::FileError;
        QTest::newRow("half-width affiliation") << u"ｶﾌﾞｼｷ"_qs << 0 << QByteArray() << done;
        QTest::newRow("mail") << u"EXAMPLE.NE"_qs << 0 << QByteArray() << done;
        QTest::newRow("invalid pair in an affiliation") << u"青木"_qs << 4 << QByteArray("\x81\x20") << fileError;
        QTest::newRow("lead byte cut off in a phone") << u"青木"_qs << int(Tel2Field) << QByteArray("03\x82") << fileError;
        QTest::newRow("NUL in the name") << u"青木"_qs << int(NameField) << QByteArray("a\0b", 3) << fileError;
        // A value of ASCII bytes is only checked when the sought text isn't ASCII.
        QTest::newRow("NUL in a mail") << u"青木"_qs << 11 << QByteArray("a\0@b.jp", 7) << fileError;
        QTest::newRow("invalid pair in a phone, ASCII sought") << u"example"_qs << int(Tel1Field)
                                                              << QByteArray("03\x81\x20") << fileError;
        QTest::newRow("invalid pair in the note") << u"ｶﾌﾞｼｷ"_qs << 19 << QByteArray("\x81\x20") << done;
    }
    void queryOfALongList()
    {
        QFETCH(QString, sought);
        QFETCH(int, badField);
        QFETCH(QByteArray, badBytes);
        QFETCH(int, exitCode);
        constexpr int searched[] = {NameField, ReadingField, 2, 11, 3, 4, Tel1Field, Tel2Field, 12};
        ScratchData data;
        QList<ContactRecord> contacts = generateContacts(3000, 11);
        QStringList expected;
        for (const ContactRecord &r : std::as_const(contacts)) {
            if (std::any_of(std::begin(searched), std::end(searched),
                            [&](int field) { return TextContains(r[field], sought); }))
                expected << r[2].trimmed() << r[11].trimmed();
        }
        expected.removeAll(QString());
        QVERIFY(expected.size() > 10);
        if (!badBytes.isEmpty())
            contacts[2500][badField] = u"@@@"_qs;
        writeContactFile(data.path(u"load.txt"_qs), contacts);
        data.write(u"load.txt"_qs, data.read(u"load.txt"_qs).replace("@@@", badBytes));
        const Run run = runTessaline({u"query"_qs, sought});
        QCOMPARE(run.exitCode, exitCode);
        if (exitCode == ExitCode::FileError) {
            QVERIFY2(run.err.contains(u"エラー 1001"_qs), qPrintable(run.err));
            return;
        }
        QStringList found;
        for (const QString &line : run.out.split(u'\n', Qt::SkipEmptyParts).mid(1))
            found << line.section(u'\t', 0, 0);
        QCOMPARE(found, expected);
    }

    // The command's export then its import into an empty list gives the
    // list file back byte for byte.
    void roundTripThroughTheCommand_data()
    {
        QTest::addColumn<QString>("format");
        QTest::newRow("vCard 3.0") << u"vcard3"_qs;
        QTest::newRow("vCard 4.0") << u"vcard4"_qs;
        QTest::newRow("Google CSV") << u"csv"_qs;
    }
    void roundTripThroughTheCommand()
    {
        QFETCH(QString, format);
        ScratchData data;
        writeContactFile(data.path(u"load.txt"_qs), generateContacts(MaxContacts, 9));
        const QByteArray list = data.read(u"load.txt"_qs);
        const QString file = data.path(u"../export"_qs);
        QCOMPARE(runTessaline({u"export"_qs, u"--format"_qs, format, u"--output"_qs, file}).exitCode, 0);
        data.write(u"load.txt"_qs, QByteArray());
        const Run run = runTessaline({u"import"_qs, file});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY2(run.out.startsWith(u"取り込みました: 新規 10000 件、置換 0 件、読み推定 0 件、"
                                    "取り込まなかった連絡先 0 件、取り込まなかった項目 0 件\n"_qs),
                 qPrintable(run.out));
        QVERIFY(data.read(u"load.txt"_qs) == list);
    }
};

QTEST_GUILESS_MAIN(TestCommandImport)
#include "test_commandimport.moc"

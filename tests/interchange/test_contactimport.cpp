#include "ContactGenerator.h"
#include "ScratchData.h"

#include "contacts/ContactRecord.h"
#include "interchange/ContactExport.h"
#include "interchange/ContactImport.h"
#include "interchange/FieldMap.h"
#include "interchange/ImportDuplicates.h"
#include "shell/RecordFile.h"

#include <QtTest>

#include <sys/stat.h>

using namespace Interchange;

namespace {

ImportPreview previewOf(const QByteArray &bytes, const QList<ContactRecord> &listed = {})
{
    ImportPreview preview;
    const ReadOutcome read = readContactBytes(bytes);
    if (!read.ok())
        qWarning() << read.message;
    addToPreview(preview, read, u"in.vcf"_qs, listed);
    return preview;
}

QByteArray card(const QString &lines)
{
    return (u"BEGIN:VCARD\r\nVERSION:3.0\r\n"_qs + lines + u"END:VCARD\r\n"_qs).toUtf8();
}

mode_t modeOf(const QString &path)
{
    struct stat st {};
    stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 0777;
}

} // namespace

class TestContactImport : public QObject {
    Q_OBJECT
private slots:
    // One incoming card against a list holding 山田 太郎 (key やまだたろう山田太郎,
    // phone 090-1234-5678, mail taro@example.jp): the record as stored, the
    // status and the flags.
    void preparesEachContact_data()
    {
        QTest::addColumn<QString>("lines");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("flags");
        const int New = int(ImportStatus::New);
        QTest::newRow("katakana reading to hiragana")
            << u"FN:鈴木　一郎\r\nX-PHONETIC-LAST-NAME:スズキ\r\nX-PHONETIC-FIRST-NAME:ｲﾁﾛｳ\r\n"_qs
            << ReadingField << u"すずき　いちろう"_qs << New << u""_qs;
        QTest::newRow("same key replaces")
            << u"FN:山田 太郎\r\nSORT-STRING:やまだたろう\r\n"_qs << ReadingField << u"やまだたろう"_qs
            << int(ImportStatus::Replaces) << u""_qs;
        QTest::newRow("same phone in another form")
            << u"FN:別人\r\nSORT-STRING:べつじん\r\nTEL;TYPE=CELL:+81 90 1234 5678\r\n"_qs << Tel1Field
            << u"+81 90 1234 5678"_qs << int(ImportStatus::PossibleDuplicate) << u""_qs;
        QTest::newRow("same mail in another case")
            << u"FN:別人\r\nSORT-STRING:べつじん\r\nEMAIL:Taro@Example.JP\r\n"_qs << FieldMap::Mail1Field
            << u"Taro@Example.JP"_qs << int(ImportStatus::PossibleDuplicate) << u""_qs;
        QTest::newRow("another number with the same tail")
            << u"FN:別人\r\nSORT-STRING:べつじん\r\nTEL:03-1234-5678\r\n"_qs << Tel1Field << u"03-1234-5678"_qs
            << New << u""_qs;
        QTest::newRow("reading guessed")
            << u"FN:山田 花子\r\n"_qs << ReadingField << u"やまだ　はなこ"_qs << New << u"guessed"_qs;
        QTest::newRow("JIS forms mapped as the editor maps them")
            << u"FN:波\u301C線\r\nSORT-STRING:なみ\r\nNOTE:\u22125度\r\n"_qs << FieldMap::CommentField
            << u"\uFF0D5度"_qs << New << u""_qs;
        QTest::newRow("unstorable characters listed once each")
            << u"FN:𠮷田 😀😀\r\nSORT-STRING:よしだ\r\n"_qs << NameField << u"𠮷田 😀😀"_qs << New
            << u"unstorable 0:𠮷😀"_qs;
        QTest::newRow("line breaks become blanks")
            << u"FN:改行\r\nSORT-STRING:かいぎょう\r\nNOTE:一行目\\n二行目\r\n"_qs << FieldMap::CommentField
            << u"一行目 二行目"_qs << New << u""_qs;
        QTest::newRow("too long cut to the field's maximum")
            << u"FN:長い\r\nSORT-STRING:ながい\r\nADR:;;東京都千代田区丸の内一丁目一番一号 東京駅前ビルディング 二十三階;;;;\r\n"_qs
            << FieldMap::AddressField << u"東京都千代田区丸の内一丁目一番一号 東京駅前ビルディング 二"_qs << New
            << u"cut 5"_qs;
    }
    void preparesEachContact()
    {
        QFETCH(QString, lines);
        QFETCH(int, field);
        QFETCH(QString, stored);
        QFETCH(int, status);
        QFETCH(QString, flags);
        ContactRecord listed = emptyContact();
        listed[NameField] = u"山田　太郎"_qs;
        listed[ReadingField] = u"やまだ　たろう"_qs;
        listed[Tel1Field] = u"090-1234-5678"_qs;
        listed[FieldMap::Mail2Field] = u"taro@example.jp"_qs;
        ImportPreview preview = previewOf(card(lines), {listed});
        markPossibleDuplicates(preview, {listed});
        QCOMPARE(preview.candidates.size(), 1);
        const ImportCandidate &c = preview.candidates.front();
        QCOMPARE(c.record[field], stored);
        QCOMPARE(int(c.status), status);
        QCOMPARE(c.listedIndex, status == int(ImportStatus::New) ? -1 : 0);
        QStringList seen;
        if (c.readingGuessed)
            seen << u"guessed"_qs;
        for (const UnstorableField &f : c.unstorable)
            seen << u"unstorable %1:%2"_qs.arg(f.field).arg(f.characters);
        for (const int f : c.cutFields)
            seen << u"cut %1"_qs.arg(f);
        QCOMPARE(seen.join(u' '), flags);
    }

    void namelessContactsAndLeftOutValuesAreCounted()
    {
        const ImportPreview preview =
            previewOf(card(u"ORG:会社だけ\r\n"_qs) + card(u"FN:一\r\nBDAY:2000-01-01\r\nNICKNAME:いち\r\n"_qs));
        QCOMPARE(preview.candidates.size(), 1);
        const ImportBatch batch = chooseImport(preview, {}, UnstorableChoice::LeaveOut);
        const ImportSummary summary = summarise(preview, batch);
        QCOMPARE(summary.leftOutContacts, 1);
        QCOMPARE(summary.leftOutValues, 2);
        QCOMPARE(summary.guessedReadings, 1);
    }

    // Many contacts are prepared on two threads: each must come out as it
    // does alone, in the files' order, the guesses and the counts included.
    void manyContactsArePreparedAsEachAlone()
    {
        const QList<QByteArray> kinds = {
            card(u"FN:鈴木　一郎\r\nX-PHONETIC-LAST-NAME:スズキ\r\nX-PHONETIC-FIRST-NAME:ｲﾁﾛｳ\r\n"_qs),
            card(u"FN:山田 太郎\r\nSORT-STRING:やまだたろう\r\n"_qs),
            card(u"FN:山田 太郎\r\nNICKNAME:たろ\r\n"_qs),
            card(u"ORG:会社だけ\r\n"_qs),
            card(u"FN:𠮷田 😀\r\nSORT-STRING:よしだ\r\nADR:;;"_qs + QString(60, u'東') + u";;;;\r\n"_qs),
        };
        ContactRecord listed = emptyContact();
        listed[NameField] = u"山田　太郎"_qs;
        listed[ReadingField] = u"やまだ　たろう"_qs;
        const auto describe = [](const ImportPreview &preview) {
            QStringList lines;
            for (const ImportCandidate &c : preview.candidates) {
                QString line = c.record.join(u'|') + u" status %1 %2 guessed %3"_qs.arg(int(c.status))
                                                       .arg(c.listedIndex).arg(c.readingGuessed);
                for (const UnstorableField &f : c.unstorable)
                    line += u" unstorable %1:%2"_qs.arg(f.field).arg(f.characters);
                for (const int f : c.cutFields)
                    line += u" cut %1"_qs.arg(f);
                lines << line;
            }
            for (auto it = preview.leftOut.cbegin(); it != preview.leftOut.cend(); ++it)
                lines << it.key() + u'=' + QString::number(*it);
            return lines;
        };
        QByteArray all;
        ImportPreview alone;
        for (int i = 0; i < 2500; ++i) {
            const QByteArray &one = kinds[i % kinds.size()];
            all += one;
            addToPreview(alone, readContactBytes(one), u"in.vcf"_qs, {listed});
        }
        QCOMPARE(describe(previewOf(all, {listed})), describe(alone));
    }

    // Ticks, the unstorable choice, the last of a key winning, the order.
    void choosesWhatTheUserTicked_data()
    {
        QTest::addColumn<QList<bool>>("ticked");
        QTest::addColumn<int>("choice");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<int>("duplicates");
        const int replace = int(UnstorableChoice::ReplaceWithGeta);
        QTest::newRow("all, 〓") << QList<bool>{} << replace
                                 << QStringList{u"あ"_qs, u"い2"_qs, u"う〓"_qs} << 1;
        QTest::newRow("unstorable left out") << QList<bool>{} << int(UnstorableChoice::LeaveOut)
                                             << QStringList{u"あ"_qs, u"い2"_qs} << 1;
        QTest::newRow("last of a key unticked: the first stays")
            << QList<bool>{true, true, true, false} << replace << QStringList{u"あ"_qs, u"い1"_qs, u"う〓"_qs} << 0;
        QTest::newRow("none") << QList<bool>{false, false, false, false} << replace << QStringList{} << 0;
    }
    void choosesWhatTheUserTicked()
    {
        QFETCH(QList<bool>, ticked);
        QFETCH(int, choice);
        QFETCH(QStringList, names);
        QFETCH(int, duplicates);
        // い1 and い2 share the key いい (the name's digits are in the note).
        const ImportPreview preview = previewOf(card(u"FN:う😀\r\nSORT-STRING:う\r\n"_qs)
                                                + card(u"FN:い\r\nSORT-STRING:い\r\nNOTE:1\r\n"_qs)
                                                + card(u"FN:あ\r\nSORT-STRING:あ\r\n"_qs)
                                                + card(u"FN:い\r\nSORT-STRING:い\r\nNOTE:2\r\n"_qs));
        const ImportBatch batch = chooseImport(preview, ticked, UnstorableChoice(choice));
        QStringList got;
        for (const ContactRecord &r : batch.records)
            got << r[NameField] + (r[FieldMap::CommentField].trimmed().isEmpty() ? QString() : r[FieldMap::CommentField]);
        QCOMPARE(got, names);
        QCOMPARE(batch.duplicatesInFiles, duplicates);
    }

    // The photo goes with its contact's record, wherever the list's order
    // puts it (the photos' lists start at the first contact with one).
    void photoStaysWithItsRecord_data()
    {
        QTest::addColumn<QString>("holder");
        for (const QString &name : {u"あ"_qs, u"い"_qs, u"う"_qs})
            QTest::newRow(qPrintable(name)) << name;
    }
    void photoStaysWithItsRecord()
    {
        QFETCH(QString, holder);
        QByteArray cards;
        for (const QString &name : {u"う"_qs, u"い"_qs, u"あ"_qs}) {
            const QString photo = name == holder ? u"PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQ\r\n"_qs : QString();
            cards += card(u"FN:%1\r\nSORT-STRING:%1\r\n"_qs.arg(name) + photo);
        }
        const ImportBatch batch = chooseImport(previewOf(cards), {}, UnstorableChoice::LeaveOut);
        QCOMPARE(batch.records.size(), 3);
        for (qsizetype i = 0; i < batch.records.size(); ++i) {
            const bool holds = batch.records[i][NameField] == holder;
            QCOMPARE(batch.photos.value(i), holds ? QByteArray("\xFF\xD8\xFF\xE0\x00\x10", 6) : QByteArray());
            QCOMPARE(batch.photoTypes.value(i), holds ? u"jpeg"_qs : QString());
        }
    }

    // Export then import gives back every field of every contact.
    void roundTrip_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("vCard 3.0") << int(ExportFormat::VCard3);
        QTest::newRow("vCard 4.0") << int(ExportFormat::VCard4);
        QTest::newRow("Google CSV") << int(ExportFormat::GoogleCsv);
    }
    void roundTrip()
    {
        QFETCH(int, format);
        const QList<ContactRecord> contacts = generateContacts(10000, 20261209);
        ScratchData data;
        const QString file = data.path(u"export.txt"_qs);
        writeFileAtomically(file, exportContacts(contacts, ExportFormat(format), QString()));
        const ImportPreview preview = buildImportPreview({file}, {});
        QVERIFY2(preview.ok(), qPrintable(preview.message));
        QVERIFY(preview.leftOut.isEmpty());
        const ImportBatch batch = chooseImport(preview, {}, UnstorableChoice::LeaveOut);
        QCOMPARE(batch.records.size(), contacts.size());
        for (qsizetype i = 0; i < contacts.size(); ++i)
            for (int f = 0; f < FieldCount; ++f)
                QVERIFY2(batch.records[i][f] == contacts[i][f],
                         qPrintable(u"contact %1 field %2: %3 / %4"_qs.arg(i).arg(f).arg(batch.records[i][f],
                                                                                      contacts[i][f])));
    }

    void photosAreSavedOnceUnderTheirOwnNames()
    {
        ScratchData data;
        const QString folder = data.path(u"photos"_qs);
        const QByteArray jpeg("\xFF\xD8\xFF\xE0 one");
        const QString name = savePhoto(folder, jpeg, u"jpeg"_qs);
        QVERIFY(name.endsWith(u".jpg"_qs));
        QCOMPARE(savePhoto(folder, jpeg, u"jpeg"_qs), name);
        QCOMPARE(modeOf(folder), mode_t(0700));
        QCOMPARE(modeOf(folder + u'/' + name), mode_t(0600));
        // Another photo under that name keeps it and gets a name of its own.
        const QByteArray png("\x89PNG\r\n\x1A\n");
        const QString pngName = savePhoto(folder, png, u"png"_qs);
        QVERIFY(pngName.endsWith(u".png"_qs));
        writeFileAtomically(folder + u'/' + pngName, "other");
        QCOMPARE(savePhoto(folder, png, u"png"_qs), pngName.chopped(4) + u"-2.png"_qs);
        QCOMPARE(readWholeFile(folder + u'/' + pngName), QByteArray("other"));
        // A type that isn't a plain short word never reaches the file name.
        QVERIFY(savePhoto(folder, "raw", u"../x"_qs).endsWith(u".img"_qs));
    }
};

QTEST_GUILESS_MAIN(TestContactImport)
#include "test_contactimport.moc"

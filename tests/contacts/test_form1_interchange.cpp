#include "Form1Driver.h"

#include "contacts/ImportPreview.h"
#include "interchange/ContactExport.h"
#include "interchange/ContactImport.h"
#include "interchange/FieldMap.h"
#include "shell/BasConst.h"
#include "shell/RecordFile.h"
#include "support/MessageLog.h"

#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>

#include <functional>

namespace {

// The listed contacts the cards meet: 山田 太郎 (replaced by a card of the
// same reading and name) and 佐藤 花子 (whose phone another card shares).
QList<QStringList> listedContacts()
{
    QStringList yamada = contact(u"やまだ　たろう"_qs, u"山田　太郎"_qs);
    QStringList sato = contact(u"さとう　はなこ"_qs, u"佐藤　花子"_qs);
    sato[Tel1Field] = u"090-1111-2222"_qs;
    return {yamada, sato};
}

// Four cards: a replacement, a possible duplicate, one with an emoji in its
// note, one plain new contact.
QByteArray cards()
{
    const QString text =
        u"BEGIN:VCARD\r\nVERSION:3.0\r\nFN:山田　太郎\r\nX-PHONETIC-LAST-NAME:ヤマダ\r\n"
        u"X-PHONETIC-FIRST-NAME:タロウ\r\nTEL;TYPE=CELL:03-0000-0001\r\nEND:VCARD\r\n"
        u"BEGIN:VCARD\r\nVERSION:3.0\r\nFN:佐藤　華\r\nX-PHONETIC-LAST-NAME:サトウ\r\n"
        u"X-PHONETIC-FIRST-NAME:ハナ\r\nTEL;TYPE=CELL:+81 90 1111 2222\r\nEND:VCARD\r\n"
        u"BEGIN:VCARD\r\nVERSION:3.0\r\nFN:鈴木　一郎\r\nX-PHONETIC-LAST-NAME:スズキ\r\n"
        u"X-PHONETIC-FIRST-NAME:イチロウ\r\nNOTE:よろしく😀\r\nBDAY:1990-01-01\r\nEND:VCARD\r\n"
        u"BEGIN:VCARD\r\nVERSION:3.0\r\nFN:田中　次郎\r\nX-PHONETIC-LAST-NAME:タナカ\r\n"
        u"X-PHONETIC-FIRST-NAME:ジロウ\r\nEND:VCARD\r\n"_qs;
    return text.toUtf8();
}

// Runs action on the preview once importContactFiles has opened it (it is
// modal, so the action is queued before the call).
void onPreview(Form1 &form, std::function<void(ImportPreviewDialog &)> action)
{
    auto *timer = new QTimer(&form);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, &form, [&form, timer, action] {
        auto *dialog = form.findChild<ImportPreviewDialog *>();
        if (dialog == nullptr || !dialog->isVisible())
            return;
        timer->deleteLater();
        action(*dialog);
    });
    timer->start();
}

QTableWidget *previewTable(ImportPreviewDialog &dialog)
{
    return child<QTableWidget>(dialog, u"GridPreview"_qs);
}

void press(ImportPreviewDialog &dialog, const QString &button)
{
    QTest::mouseClick(child<QPushButton>(dialog, button), Qt::LeftButton);
}

QStringList listedNames(const ScratchData &data)
{
    QStringList names;
    for (const QStringList &r : readRecords(data.path(u"load.txt"_qs), FieldCount))
        names.append(r[NameField]);
    return names;
}

} // namespace

class TestForm1Interchange : public QObject {
    Q_OBJECT
private slots:
    void previewShowsStatusesAndCounts()
    {
        ScratchData data;
        MessageLog log;
        auto form = openForm(data, listedContacts());
        data.write(u"in.vcf"_qs, cards());
        const QByteArray before = data.read(u"load.txt"_qs);
        QStringList statuses, names;
        QString counts, unstorable, leftOut;
        onPreview(*form, [&](ImportPreviewDialog &dialog) {
            QTableWidget *table = previewTable(dialog);
            for (int r = 0; r < table->rowCount(); ++r) {
                statuses.append(table->item(r, 1)->text());
                names.append(table->item(r, 2)->text());
            }
            counts = child<QLabel>(dialog, u"LabCounts"_qs)->text();
            unstorable = child<QPlainTextEdit>(dialog, u"TextUnstorable"_qs)->toPlainText();
            leftOut = child<QLabel>(dialog, u"LabLeftOut"_qs)->text();
            press(dialog, u"CmdImportCancel"_qs);
        });
        form->importContactFiles({data.path(u"in.vcf"_qs)});

        QCOMPARE(names, (QStringList{u"山田　太郎"_qs, u"佐藤　華"_qs, u"鈴木　一郎"_qs, u"田中　次郎"_qs}));
        QCOMPARE(statuses, (QStringList{u"置換"_qs, u"重複の可能性"_qs, u"新規・保存できない文字"_qs, u"新規"_qs}));
        QVERIFY2(counts.startsWith(u"全 4 件（新規 2 件、置換 1 件、重複の可能性 1 件、読み推定 0 件、保存できない文字 1 件）"_qs),
                 qPrintable(counts));
        QVERIFY2(counts.endsWith(u"取り込む連絡先: 4 件"_qs), qPrintable(counts));
        QCOMPARE(unstorable, u"鈴木　一郎: コメント「😀」"_qs);
        QVERIFY2(leftOut.contains(u"BDAY 1 件"_qs), qPrintable(leftOut));
        // キャンセル writes nothing and leaves no backup behind.
        QCOMPARE(data.read(u"load.txt"_qs), before);
        QVERIFY(!QFileInfo::exists(PsLoadBackPass()));
        QVERIFY(log.texts().isEmpty());
    }

    void guessedReadingIsMarked()
    {
        ScratchData data;
        auto form = openForm(data, {});
        data.write(u"in.vcf"_qs, u"BEGIN:VCARD\r\nVERSION:3.0\r\nFN:田中　太郎\r\nEND:VCARD\r\n"_qs.toUtf8());
        QString status, reading;
        onPreview(*form, [&](ImportPreviewDialog &dialog) {
            status = previewTable(dialog)->item(0, 1)->text();
            reading = previewTable(dialog)->item(0, 3)->text();
            press(dialog, u"CmdImportCancel"_qs);
        });
        form->importContactFiles({data.path(u"in.vcf"_qs)});
        QCOMPARE(status, u"新規・読み推定"_qs);
        QVERIFY(!reading.isEmpty());
    }

    // Unticking a contact leaves it out; the characters without a code are
    // replaced by 〓 or their contact left out, as chosen.
    void importsWhatWasChosen_data()
    {
        QTest::addColumn<int>("untick");
        QTest::addColumn<bool>("leaveOut");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("counted");
        QTest::addColumn<QString>("suzukiNote");
        const QStringList all = {u"佐藤　華"_qs, u"佐藤　花子"_qs, u"鈴木　一郎"_qs, u"田中　次郎"_qs, u"山田　太郎"_qs};
        QTest::newRow("all, 〓") << -1 << false << all << u"取り込む連絡先: 4 件"_qs << u"よろしく〓"_qs;
        QStringList noTanaka = all;
        noTanaka.removeOne(u"田中　次郎"_qs);
        QTest::newRow("田中 unticked") << 3 << false << noTanaka << u"取り込む連絡先: 3 件"_qs << u"よろしく〓"_qs;
        QStringList noSuzuki = all;
        noSuzuki.removeOne(u"鈴木　一郎"_qs);
        QTest::newRow("left out") << -1 << true << noSuzuki << u"取り込む連絡先: 3 件"_qs << QString();
    }
    void importsWhatWasChosen()
    {
        QFETCH(int, untick);
        QFETCH(bool, leaveOut);
        QFETCH(QStringList, names);
        QFETCH(QString, counted);
        QFETCH(QString, suzukiNote);
        ScratchData data;
        MessageLog log;
        auto form = openForm(data, listedContacts());
        data.write(u"in.vcf"_qs, cards());
        QString counts;
        onPreview(*form, [&](ImportPreviewDialog &dialog) {
            if (untick >= 0) {
                QTableWidget *table = previewTable(dialog);
                const QRect cell = table->visualRect(table->model()->index(untick, 0));
                // A click on the check box indicator at the cell's left.
                QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, QPoint(cell.left() + 12, cell.center().y()));
            }
            if (leaveOut)
                QTest::mouseClick(child<QRadioButton>(dialog, u"OptLeaveOut"_qs), Qt::LeftButton);
            counts = child<QLabel>(dialog, u"LabCounts"_qs)->text();
            press(dialog, u"CmdImportOk"_qs);
        });
        form->importContactFiles({data.path(u"in.vcf"_qs)});

        QVERIFY2(counts.endsWith(counted), qPrintable(counts));
        QStringList stored = listedNames(data);
        QCOMPARE(QSet<QString>(stored.cbegin(), stored.cend()), QSet<QString>(names.cbegin(), names.cend()));
        QCOMPARE(form->rowCount(), int(names.size()));
        QString note;
        for (const QStringList &r : readRecords(data.path(u"load.txt"_qs), FieldCount))
            if (r[NameField] == u"鈴木　一郎")
                note = r[FieldMap::CommentField];
        QCOMPARE(note, suzukiNote);
        QVERIFY(!QFileInfo::exists(PsLoadBackPass()));
        QCOMPARE(log.texts().size(), 1);
        QVERIFY2(log.texts().first().startsWith(u"取り込みました。\n新規 "_qs), qPrintable(log.texts().first()));
        QVERIFY2(log.texts().first().contains(u"置換 1 件"_qs), qPrintable(log.texts().first()));
    }

    void unreadableFileShowsItsMessage()
    {
        ScratchData data;
        MessageLog log;
        auto form = openForm(data, listedContacts());
        const QByteArray before = data.read(u"load.txt"_qs);
        data.write(u"bad.vcf"_qs, "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:x\r\n");
        form->importContactFiles({data.path(u"bad.vcf"_qs)});
        QCOMPARE(log.texts().size(), 1);
        QVERIFY2(log.texts().first().contains(u"bad.vcf"_qs), qPrintable(log.texts().first()));
        QCOMPARE(data.read(u"load.txt"_qs), before);
    }

    // The checked contacts, or every one when none is checked, in the
    // format asked for: the same bytes as the core's export, the earlier
    // file replaced whole and no temporary file left.
    void exportWritesTheChosenFormat_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<bool>("checkSecond");
        QTest::newRow("vCard 3.0, none checked") << int(ExportFormat::VCard3) << false;
        QTest::newRow("vCard 4.0, one checked") << int(ExportFormat::VCard4) << true;
        QTest::newRow("CSV, none checked") << int(ExportFormat::GoogleCsv) << false;
    }
    void exportWritesTheChosenFormat()
    {
        QFETCH(int, format);
        QFETCH(bool, checkSecond);
        ScratchData data;
        MessageLog log;
        const QList<QStringList> records = numberedContacts(40);
        auto form = openForm(data, records);
        if (checkSecond)
            clickCell(*form, 2, 0);
        const QString out = data.path(u"out/contacts.x"_qs);
        QDir().mkpath(QFileInfo(out).path());
        data.write(u"out/contacts.x"_qs, QByteArray(100000, 'x'));

        QVERIFY(form->exportContactsTo(out, ExportFormat(format)));
        const QList<ContactRecord> expected = checkSecond ? QList<ContactRecord>{records[1]} : records;
        QCOMPARE(data.read(u"out/contacts.x"_qs), exportContacts(expected, ExportFormat(format), Interchange::photoFolder()));
        QCOMPARE(QDir(QFileInfo(out).path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"contacts.x"_qs});
        QCOMPARE(log.texts(), QStringList{u"%1件を書き出しました。"_qs.arg(expected.size())});
    }

    void exportErrorIsReported()
    {
        ScratchData data;
        MessageLog log;
        auto form = openForm(data, numberedContacts(2));
        QVERIFY(!form->exportContactsTo(data.path(u"missing-folder/out.vcf"_qs), ExportFormat::VCard3));
        QCOMPARE(log.reportedRoutine(), u"ExportFiles_Click"_qs);
    }
};

QTEST_MAIN(TestForm1Interchange)
#include "test_form1_interchange.moc"

#include "EditorDriver.h"

#include "contacts/ListChanges.h"

#include "shell/Cp932.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

// A full disk while the contact list file is rewritten: the temporary file
// of load.txt takes a few bytes and then refuses more (linked with --wrap).
static bool diskFullOnListRewrite = false;
static int fullFd = -1;
static bool firstBytesWritten = false;

extern "C" {
int __real_mkostemp(char *tmpl, int flags);
ssize_t __real_write(int fd, const void *buf, size_t count);

int __wrap_mkostemp(char *tmpl, int flags)
{
    const int fd = __real_mkostemp(tmpl, flags);
    if (diskFullOnListRewrite && fd >= 0 && std::strstr(tmpl, "/.load.txt."))
        fullFd = fd;
    return fd;
}

ssize_t __wrap_write(int fd, const void *buf, size_t count)
{
    if (fd >= 0 && fd == fullFd) {
        if (!firstBytesWritten) {
            firstBytesWritten = true;
            return __real_write(fd, buf, std::min<size_t>(count, 16));
        }
        errno = ENOSPC;
        return -1;
    }
    return __real_write(fd, buf, count);
}
}

// Three contacts in the list's order, every field tagged.
static QList<QStringList> threeContacts()
{
    return {contact(QStringLiteral("あおき"), QStringLiteral("青木"), QStringLiteral("a")),
            contact(QStringLiteral("いとう"), QStringLiteral("伊藤"), QStringLiteral("i")),
            contact(QStringLiteral("うえだ"), QStringLiteral("上田"), QStringLiteral("u"))};
}

class TestEditorWrite : public QObject {
    Q_OBJECT
private slots:
    // Checks that refuse the update: the message, the box that gets the
    // focus, and nothing on disk.
    void refused_data()
    {
        QTest::addColumn<QStringList>("edits"); // "field=text"
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("focus");
        const QString longName(12, u'名');
        QTest::newRow("name and reading blank") << QStringList{"0=", "9=  "} << "氏名を入力して下さい" << 0;
        QTest::newRow("name one full-width blank") << QStringList{"0=\u3000"} << "氏名を入力して下さい" << 0;
        QTest::newRow("reading blank") << QStringList{"9=\u3000 "} << "氏名ふりがなを入力して下さい" << 9;
        QTest::newRow("name of 12") << QStringList{"0=" + longName} << "氏名の入力文字数を減らして下さい" << 0;
        QTest::newRow("comment of 34")
            << QStringList{"19=" + QString(34, u'c')} << "コメントの入力文字数を減らして下さい" << 19;
        QTest::newRow("MAIL1 caption, lowest field first")
            << QStringList{"12=" + QString(12, u'9'), "2=" + QString(45, u'm')}
            << "MAIL1の入力文字数を減らして下さい" << 2;
        QTest::newRow("full-width blanks inside count")
            << QStringList{"6=新\u3000\u3000\u3000\u3000\u3000\u3000\u3000\u3000\u3000\u3000宿"}
            << "最寄駅の入力文字数を減らして下さい" << 6;
        QTest::newRow("emoji") << QStringList{"3=会社\U0001F600"} << "所属先1に保存できない文字が含まれています" << 3;
        QTest::newRow("hangul in the name") << QStringList{"0=김"} << "氏名に保存できない文字が含まれています" << 0;
        QTest::newRow("too long before unencodable")
            << QStringList{"0=\U0001F600", "18=" + QString(16, u'p')} << "場所の入力文字数を減らして下さい" << 18;
    }
    void refused()
    {
        QFETCH(QStringList, edits);
        QFETCH(QString, message);
        QFETCH(int, focus);
        EditorSession s(threeContacts(), 2);
        for (const QString &e : edits) {
            const qsizetype eq = e.indexOf(u'=');
            s.type(e.left(eq).toInt(), e.mid(eq + 1));
        }
        s.button("CmdUpdate2")->click();
        QCOMPARE(s.log.texts(), QStringList{message});
        QCOMPARE(s.focusedField(), focus);
        QVERIFY(s.editor->isVisible());
        QCOMPARE(s.data.read(QStringLiteral("load.txt")), s.original);
        QCOMPARE(s.files(), QStringList{"load.txt"});
        QVERIFY(!s.locked());
    }

    void cleanedBoxesShowAfterARefusal()
    {
        EditorSession s(threeContacts(), 2);
        s.type(2, QStringLiteral("  abc  "));
        s.type(4, QString());
        s.type(5, QStringLiteral("\u3000東京\u3000"));
        s.type(19, QString(34, u'x'));
        s.button("CmdUpdate2")->click();
        const QStringList boxes = s.boxes();
        QCOMPARE(boxes[2], QStringLiteral("abc"));
        QCOMPARE(boxes[4], QStringLiteral(" "));
        QCOMPARE(boxes[5], QStringLiteral("東京"));

        // After correcting the reported field the update goes through.
        s.type(19, QString(33, u'x'));
        s.log.clear();
        s.button("CmdUpdate2")->click();
        QCOMPARE(s.log.texts(), QStringList());
        const QStringList saved = s.fileRecords()[1];
        QCOMPARE(saved[2], QStringLiteral("abc"));
        QCOMPARE(saved[19], QString(33, u'x'));
    }

    // Updates that pass the checks: the list file afterwards, in order.
    void updates_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("edits");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("key unchanged: replaced where it stands")
            << 2 << QStringList{"1=03-1111-2222"} << QStringList{"あおき/青木", "いとう/伊藤", "うえだ/上田"};
        QTest::newRow("reading moved to the end")
            << 2 << QStringList{"9=えんどう"} << QStringList{"あおき/青木", "うえだ/上田", "えんどう/伊藤"};
        QTest::newRow("reading moved in front of its old place")
            << 2 << QStringList{"9=あべ"} << QStringList{"あおき/青木", "あべ/伊藤", "うえだ/上田"};
        QTest::newRow("last contact moved to the start")
            << 3 << QStringList{"9=あ"} << QStringList{"あ/上田", "あおき/青木", "いとう/伊藤"};
        QTest::newRow("replaces the contact of the same key, when the user agrees")
            << 1 << QStringList{"9=うえだ", "0=上田"} << QStringList{"いとう/伊藤", "うえだ/上田"};
        QTest::newRow("name of 11 accepted")
            << 1 << QStringList{"0=" + QString(11, u'青')} << QStringList{"あおき/" + QString(11, u'青'), "いとう/伊藤", "うえだ/上田"};
        QTest::newRow("blanks around name and reading trimmed")
            << 3 << QStringList{"0=  上田  ", "9=\u3000うえだ "} << QStringList{"あおき/青木", "いとう/伊藤", "うえだ/上田"};
        QTest::newRow("full-width blank inside the name written half-width")
            << 2 << QStringList{"0=伊藤\u3000一郎"} << QStringList{"あおき/青木", "いとう/伊藤 一郎", "うえだ/上田"};
    }
    void updates()
    {
        QFETCH(int, row);
        QFETCH(QStringList, edits);
        QFETCH(QStringList, expected);
        EditorSession s(threeContacts(), row);
        const QString tag = s.boxes()[1].chopped(1);
        for (const QString &e : edits) {
            const qsizetype eq = e.indexOf(u'=');
            s.type(e.left(eq).toInt(), e.mid(eq + 1));
        }
        const QStringList typed = s.boxes();
        const bool replaces = QByteArray(QTest::currentDataTag()).startsWith("replaces");
        MessageBox::setNextAnswer(MessageBox::Answer::Yes);
        s.button("CmdUpdate2")->click();
        QCOMPARE(s.log.texts(), replaces ? QStringList{replaceQuestion()} : QStringList());
        QVERIFY(!s.editor->isVisible());

        const QList<QStringList> records = s.fileRecords();
        QCOMPARE(readingsAndNames(records), expected);
        QCOMPARE(gridReadingsAndNames(*s.list), expected);
        QCOMPARE(s.list->rowCount(), int(expected.size()));
        QCOMPARE(s.files(), QStringList{"load.txt"}); // backup deleted after the reload

        // The edited contact carries every other value as the boxes held it.
        const QStringList *saved = nullptr;
        for (const QStringList &r : records)
            if (r[3] == tag + u'3')
                saved = &r;
        QVERIFY(saved);
        for (int i : {1, 2, 7, 19})
            QCOMPARE((*saved)[i], typed[i]);
    }

    // The question comes from the file as it is at the click: a contact
    // added since the list was shown is asked about, one deleted is not.
    // いいえ writes nothing and leaves the editor open; はい replaces.
    void questionBeforeReplacingAnotherContact_data()
    {
        QTest::addColumn<QList<QStringList>>("shown");
        QTest::addColumn<QList<QStringList>>("fileAtClick");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<QStringList>("expected");
        const QList<QStringList> three = threeContacts();
        const QList<QStringList> withoutUeda = three.mid(0, 2);
        QTest::newRow("いいえ") << three << three << false << true << QStringList{};
        QTest::newRow("はい") << three << three << true << true << QStringList{"いとう/伊藤", "うえだ/上田"};
        QTest::newRow("other contact added since loading")
            << three.mid(0, 1) << QList<QStringList>{three[0], three[2]} << false << true << QStringList{};
        QTest::newRow("other contact deleted since loading")
            << three << withoutUeda << false << false << QStringList{"いとう/伊藤", "うえだ/上田"};
    }
    void questionBeforeReplacingAnotherContact()
    {
        QFETCH(QList<QStringList>, shown);
        QFETCH(QList<QStringList>, fileAtClick);
        QFETCH(bool, yes);
        QFETCH(bool, asked);
        QFETCH(QStringList, expected);
        EditorSession s(shown, 1);
        const QByteArray atClick = recordBytes(fileAtClick);
        s.data.write(QStringLiteral("load.txt"), atClick);
        s.type(ReadingField, QStringLiteral("うえだ"));
        s.type(NameField, QStringLiteral("上田"));
        MessageBox::setNextAnswer(yes ? MessageBox::Answer::Yes : MessageBox::Answer::No);
        s.button("CmdUpdate2")->click();
        MessageBox::setNextAnswer(MessageBox::Answer::No);
        QCOMPARE(s.log.texts(), asked ? QStringList{replaceQuestion()} : QStringList());
        if (expected.isEmpty()) {
            QCOMPARE(s.data.read(QStringLiteral("load.txt")), atClick);
            QVERIFY(s.editor->isVisible());
            QVERIFY(!s.locked());
            QCOMPARE(s.files(), QStringList{"load.txt"});
        } else {
            QCOMPARE(readingsAndNames(s.fileRecords()), expected);
            QVERIFY(!s.editor->isVisible());
        }
    }

    void halfWidthBlanksInEveryNameAndReading()
    {
        QList<QStringList> records = {
            contact(QStringLiteral("あおき\u3000じろう"), QStringLiteral("青木\u3000次郎"), QStringLiteral("a")),
            contact(QStringLiteral("いとう"), QStringLiteral("伊藤"), QStringLiteral("i")),
        };
        records[0][7] = QStringLiteral("全角\u3000空白");
        EditorSession s(records, 2);
        s.type(0, QStringLiteral("伊藤\u3000一郎"));
        s.button("CmdUpdate2")->click();
        const QList<QStringList> saved = s.fileRecords();
        QCOMPARE(saved[0][NameField], QStringLiteral("青木 次郎"));
        QCOMPARE(saved[0][ReadingField], QStringLiteral("あおき じろう"));
        QCOMPARE(saved[0][7], QStringLiteral("全角\u3000空白"));
        QCOMPARE(saved[1][NameField], QStringLiteral("伊藤 一郎"));
    }

    void typedTwinsAreSavedAsCodePage932()
    {
        EditorSession s({contact(QStringLiteral("なみ"), QStringLiteral("波"))}, 1);
        s.type(0, QStringLiteral("波〜"));       // U+301C as input methods type it
        s.type(5, QStringLiteral("1\u22122"));   // minus sign
        s.button("CmdUpdate2")->click();
        QCOMPARE(s.log.texts(), QStringList());
        const QByteArray bytes = s.data.read(QStringLiteral("load.txt"));
        QVERIFY(bytes.startsWith(*Cp932::encode(u"波") + QByteArray("\x81\x60\r\n")));
        QVERIFY(bytes.contains(QByteArray("1\x81\x7c" "2\r\n")));
        QCOMPARE(s.fileRecords()[0][NameField], QStringLiteral("波\uFF5E"));
    }

    void optionalFieldsWrittenAsOneBlank()
    {
        EditorSession s({contact(QStringLiteral("よみ"), QStringLiteral("名"))}, 1);
        s.type(1, QStringLiteral("  abc  "));
        s.button("CmdUpdate2")->click();
        QByteArray expected = *Cp932::encode(u"名") + "\r\nabc\r\n";
        for (int i = 2; i < FieldCount; ++i)
            expected += (i == ReadingField ? *Cp932::encode(u"よみ") : QByteArray(" ")) + "\r\n";
        QCOMPARE(s.data.read(QStringLiteral("load.txt")), expected);
    }

    void twoRecordsWithTheOldKeyBecomeOne()
    {
        const QList<QStringList> records = {
            contact(QStringLiteral("いとう"), QStringLiteral("伊藤"), QStringLiteral("x")),
            contact(QStringLiteral("い とう"), QStringLiteral("伊藤"), QStringLiteral("y")),
            contact(QStringLiteral("うえだ"), QStringLiteral("上田"), QStringLiteral("u")),
        };
        EditorSession s(records, 1);
        s.type(9, QStringLiteral("えんどう"));
        s.button("CmdUpdate2")->click();
        QCOMPARE(readingsAndNames(s.fileRecords()), (QStringList{"うえだ/上田", "えんどう/伊藤"}));
    }

    void deletes_data()
    {
        QTest::addColumn<QList<QStringList>>("records");
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("one click deletes") << threeContacts() << 2 << QStringList{"あおき/青木", "うえだ/上田"};
        QTest::newRow("the last row") << threeContacts() << 3 << QStringList{"あおき/青木", "いとう/伊藤"};
        QTest::newRow("records differing in blanks share the key")
            << QList<QStringList>{contact("いとう", "伊藤"), contact("い とう", "伊\u3000藤"), contact("うえだ", "上田")}
            << 1 << QStringList{"うえだ/上田"};
        QTest::newRow("the join of reading and name")
            << QList<QStringList>{contact("やま", "だたろう"), contact("やまだ", "たろう"), contact("ん", "z")} << 2
            << QStringList{"ん/z"};
        QTest::newRow("full-width blanks of the others stay")
            << QList<QStringList>{contact("あおき\u3000じろう", "青木\u3000次郎"), contact("いとう", "伊藤")} << 2
            << QStringList{"あおき\u3000じろう/青木\u3000次郎"};
    }
    void deletes()
    {
        QFETCH(QList<QStringList>, records);
        QFETCH(int, row);
        QFETCH(QStringList, expected);
        EditorSession s(records, row);
        s.type(0, QStringLiteral("別人")); // edits are discarded: the contact as opened goes
        s.button("CmdDelete2")->click();
        QCOMPARE(s.log.texts(), QStringList());
        QVERIFY(!s.editor->isVisible());
        QCOMPARE(readingsAndNames(s.fileRecords()), expected);
        QCOMPARE(gridReadingsAndNames(*s.list), expected);
        QCOMPARE(s.files(), QStringList{"load.txt"});
    }

    void deletingTheOnlyContactLeavesAnEmptyFile()
    {
        EditorSession s({contact(QStringLiteral("よみ"), QStringLiteral("名"))}, 1);
        s.button("CmdDelete2")->click();
        QCOMPARE(s.data.read(QStringLiteral("load.txt")), QByteArray());
        QVERIFY(s.data.exists(QStringLiteral("load.txt")));
        QCOMPARE(grid(*s.list)->rows(), 1);
        QCOMPARE(s.list->rowCount(), 0);
        QCOMPARE(s.log.texts(), QStringList());
    }

    // A reload that fails keeps the backup copy; the new list is written.
    void failedReloadKeepsTheBackup_data()
    {
        QTest::addColumn<bool>("update");
        QTest::newRow("update") << true;
        QTest::newRow("delete") << false;
    }
    void failedReloadKeepsTheBackup()
    {
        QFETCH(bool, update);
        EditorSession s(threeContacts(), 2);
        s.reloadFails = true;
        s.type(9, QStringLiteral("えんどう"));
        s.button(update ? "CmdUpdate2" : "CmdDelete2")->click();
        QCOMPARE(s.files(), (QStringList{"cp_load.txt", "load.txt"}));
        QCOMPARE(s.data.read(QStringLiteral("cp_load.txt")), s.original);
        QCOMPARE(s.fileRecords().size(), update ? 3 : 2);
    }

    // Failures of the file layer: the routine's report, the editor locked
    // but for "戻る", and the list file as it was.
    void fileFailures_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<bool>("update");
        QTest::addColumn<QString>("routine");
        QTest::addColumn<QStringList>("filesAfter");
        for (bool update : {true, false}) {
            const QString routine = update ? "CmdUpdate2_Click" : "CmdDelete2_Click";
            const QString name = update ? " on update" : " on delete";
            QTest::newRow(qPrintable("list file removed" + name)) << "removed" << update << routine << QStringList{};
            QTest::newRow(qPrintable("disk full" + name))
                << "full" << update << routine << QStringList{"cp_load.txt", "load.txt"};
            QTest::newRow(qPrintable("record cut short" + name))
                << "short" << update << routine << QStringList{"cp_load.txt", "load.txt"};
        }
    }
    void fileFailures()
    {
        QFETCH(QString, failure);
        QFETCH(bool, update);
        QFETCH(QString, routine);
        QFETCH(QStringList, filesAfter);
        EditorSession s(threeContacts(), 2);
        QByteArray before = s.original;
        if (failure == u"removed") {
            QFile::remove(s.data.path(QStringLiteral("load.txt")));
        } else if (failure == u"short") {
            before.truncate(before.lastIndexOf("\r\n", before.size() - 3) + 2); // the last line
            s.data.write(QStringLiteral("load.txt"), before);
        } else {
            diskFullOnListRewrite = true;
        }
        s.type(1, QStringLiteral("090"));
        s.button(update ? "CmdUpdate2" : "CmdDelete2")->click();
        diskFullOnListRewrite = false;
        fullFd = -1;
        firstBytesWritten = false;

        QCOMPARE(s.log.reportedRoutine(), routine);
        QCOMPARE(s.log.shown.size(), 1);
        QVERIFY(s.locked());
        QVERIFY(s.editor->isVisible());
        QCOMPARE(s.files(), filesAfter);
        if (!filesAfter.isEmpty()) {
            QCOMPARE(s.data.read(QStringLiteral("load.txt")), before);
            QCOMPARE(s.data.read(QStringLiteral("cp_load.txt")), before);
        }
        QCOMPARE(s.list->rowCount(), 3); // the grid wasn't touched

        s.button("CmdExit_Click2")->click();
        QVERIFY(!s.editor->isVisible());
        QCOMPARE(s.files(), filesAfter);
    }
};

QTEST_MAIN(TestEditorWrite)
#include "test_editor_write.moc"

#include "contacts/ContactRecord.h"
#include "contacts/Form1Driver.h"
#include "profile/Form3.h"
#include "profile/Profile.h"
#include "shell/BasCommn.h"
#include "support/FileSizeLimit.h"
#include "support/MessageLog.h"
#include "support/ScratchData.h"
#include "support/WindowControls.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <memory>
#include <sys/resource.h>

namespace {

const QString kProfile = QStringLiteral("myload.txt");
const QString kBackup = QStringLiteral("cp_myload.txt");
const QString kReceived = QStringLiteral("putData");
const QString kCreated = QStringLiteral("該当の取込ファイルがありません。新規作成します。");

QStringList profile(const QString &tag)
{
    QStringList values;
    for (int i = 0; i < ProfileFieldCount; ++i)
        values.append(tag + QString::number(i));
    return values;
}

// The window's controls by name: a field's box and label, a button, the frame.
QLineEdit *box(const Form3 &form, int field)
{
    return child<QLineEdit>(form, QStringLiteral("TexMyData_%1").arg(field));
}

QLabel *label(const Form3 &form, int field)
{
    return child<QLabel>(form, QStringLiteral("LblName_%1").arg(field));
}

QPushButton *button(const Form3 &form, const QString &name)
{
    return child<QPushButton>(form, name);
}

QGroupBox *frame(const Form3 &form)
{
    return child<QGroupBox>(form, QStringLiteral("Frame1"));
}

QStringList boxes(const Form3 &form)
{
    QStringList texts;
    for (int i = 0; i < ProfileFieldCount; ++i)
        texts.append(box(form, i)->text());
    return texts;
}

void type(Form3 &form, const QStringList &values)
{
    for (int i = 0; i < ProfileFieldCount; ++i)
        box(form, i)->setText(values[i]);
}

// Locked: every box and button off except "戻る", labels and frame untouched.
bool isLocked(const Form3 &form)
{
    for (int i = 0; i < ProfileFieldCount; ++i)
        if (box(form, i)->isEnabled())
            return false;
    for (int i = 0; i < ProfileFieldCount; ++i)
        if (!label(form, i)->isEnabled())
            return false;
    return !button(form, "CmdImport3")->isEnabled() && !button(form, "CmdUpdate3")->isEnabled() && !button(form, "CmdDelete3")->isEnabled()
        && button(form, "CmdExit_Click3")->isEnabled() && frame(form)->isEnabled() && form.isEnabled();
}

bool isUnlocked(const Form3 &form)
{
    const QList<QWidget *> controls = form.findChildren<QWidget *>();
    return std::all_of(controls.begin(), controls.end(), [](QWidget *w) { return w->isEnabled(); });
}

QStringList folderEntries(const ScratchData &data)
{
    return QDir(data.folder()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

class TestForm3 : public QObject {
    Q_OBJECT
private slots:
    void firstOpeningCreatesTheBlankProfileOnce()
    {
        ScratchData data;
        MessageLog log;
        {
            Form3 form;
            QCOMPARE(log.texts(), QStringList{kCreated});
            QCOMPARE(data.read(kProfile), QByteArray(" \r\n").repeated(16));
            QCOMPARE(boxes(form), QStringList(16, QString()));
            QVERIFY(isUnlocked(form));
            QCOMPARE(CurrentFormName, QStringLiteral("Form3"));
        }
        log.clear();
        Form3 again;
        QCOMPARE(log.texts(), QStringList());
        QCOMPARE(boxes(again), QStringList(16, QString()));
    }

    void opening_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("reported");
        QTest::newRow("one record") << recordBytes({profile("a")}) << profile("a") << QString();
        QTest::newRow("32 lines: the second record")
            << recordBytes({profile("a"), profile("b")}) << profile("b") << QString();
        QTest::newRow("20 lines: the first record, then the report")
            << recordBytes({profile("a")}) + QByteArray("x\r\ny\r\nz\r\nw\r\n") << profile("a")
            << QStringLiteral("Pf_MyTextRead");
        QTest::newRow("0 bytes: empty boxes") << QByteArray() << QStringList(16, QString()) << QString();
        QStringList blankLine = profile("a");
        blankLine[4] = QString();
        QStringList blanks = profile("a");
        blanks[4] = QStringLiteral(" \u3000 ");
        QTest::newRow("a line of blanks shows empty") << recordBytes({blanks}) << blankLine << QString();
        QTest::newRow("bad bytes: the report")
            << QByteArray("\x82\r\n").repeated(16) << QStringList(16, QString()) << QStringLiteral("Pf_MyTextRead");
    }
    void opening()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, shown);
        QFETCH(QString, reported);
        ScratchData data;
        data.write(kProfile, bytes);
        MessageLog log;
        Form3 form;
        QCOMPARE(boxes(form), shown);
        QCOMPARE(log.reportedRoutine(), reported);
        QCOMPARE(log.shown.size(), reported.isEmpty() ? 0 : 1);
        QVERIFY(reported.isEmpty() ? isUnlocked(form) : isLocked(form));
        QCOMPARE(WorkRecord.mid(0, 16), shown);
        QCOMPARE(data.read(kProfile), bytes);
    }

    void openingEmptiesTheRecordBuffer()
    {
        ScratchData data;
        data.write(kProfile, QByteArray());
        WorkRecord = QStringList(20, QStringLiteral("left over"));
        Form3 form;
        QCOMPARE(WorkRecord, emptyContact());
    }

    void arrangementCaptionsAndNames()
    {
        ScratchData data;
        data.write(kProfile, QByteArray());
        Form3 form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Tessaline"));
        const QStringList captions = {"氏名", "TEL1", "MAIL1", "所属先1", "所属先2", "住所", "最寄駅", "アピール文",
                                      "役職", "氏名ふりがな", "TEL2", "MAIL2", "FAX", "URL", "顔写真", "地図"};
        for (int i = 0; i < 16; ++i) {
            const QRect labelRect = label(form, i)->geometry();
            const QRect boxRect = box(form, i)->geometry();
            QCOMPARE(label(form, i)->text(), captions[i]);
            QCOMPARE(box(form, i)->accessibleName(), captions[i]);
            QCOMPARE(box(form, i)->parentWidget(), frame(form));
            QVERIFY2(labelRect.bottom() < boxRect.top() && labelRect.left() == boxRect.left(), qPrintable(captions[i]));
            if (i % 8 != 0) // each field below the one before, in its column
                QVERIFY(boxRect.top() > box(form, i - 1)->geometry().bottom());
            if (i >= 8) { // the right column, level with its partner
                QCOMPARE(boxRect.top(), box(form, i - 8)->geometry().top());
                QVERIFY(boxRect.left() > box(form, i - 8)->geometry().right());
            }
        }
        const QList<QPushButton *> buttons = {button(form, "CmdImport3"), button(form, "CmdUpdate3"),
                                              button(form, "CmdDelete3"), button(form, "CmdExit_Click3")};
        const QStringList buttonCaptions = {"取込", "更新", "削除", "戻る"};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(buttons[i]->text(), buttonCaptions[i]);
            QCOMPARE(buttons[i]->accessibleName(), buttonCaptions[i]);
            QCOMPARE(buttons[i]->geometry().top(), buttons[0]->geometry().top());
            QVERIFY(buttons[i]->geometry().top() > frame(form)->geometry().bottom());
            QVERIFY(form.rect().contains(buttons[i]->geometry()));
            if (i > 0)
                QVERIFY(buttons[i]->geometry().left() > buttons[i - 1]->geometry().right());
        }
        QVERIFY(button(form, "CmdExit_Click3")->geometry().right() > form.width() * 9 / 10);
        QVERIFY(button(form, "CmdImport3")->geometry().left() > form.width() / 3);
    }

    void tabOrder()
    {
        ScratchData data;
        data.write(kProfile, QByteArray());
        Form3 form;
        QList<QWidget *> expected;
        for (int i = 0; i < ProfileFieldCount; ++i)
            expected << box(form, i);
        expected << button(form, "CmdUpdate3") << button(form, "CmdDelete3") << button(form, "CmdExit_Click3") << button(form, "CmdImport3");
        QList<QWidget *> chain;
        QWidget *w = box(form, 0);
        do {
            if (w->focusPolicy() & Qt::TabFocus)
                chain.append(w);
            w = w->nextInFocusChain();
        } while (w != box(form, 0));
        QCOMPARE(chain, expected);
    }

    void focusSelectsTheWholeText()
    {
        ScratchData data;
        data.write(kProfile, recordBytes({profile("値")}));
        Form3 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTest::keyClick(form.focusWidget(), Qt::Key_Tab);
        QTRY_COMPARE(box(form, 1)->selectedText(), QStringLiteral("値1"));
        QTest::mouseClick(box(form, 12), Qt::LeftButton, {}, QPoint(3, 5));
        QTRY_COMPARE(box(form, 12)->selectedText(), QStringLiteral("値12"));
    }

    void escapeAndEnter()
    {
        ScratchData data;
        data.write(kProfile, recordBytes({profile("a")}));
        Form3 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        box(form, 3)->setFocus();
        box(form, 3)->setText(QStringLiteral("changed"));
        QTest::keyClick(box(form, 3), Qt::Key_Return);
        QVERIFY(form.isVisible()); // Enter in a box saves nothing
        QCOMPARE(data.read(kProfile), recordBytes({profile("a")}));
        QTest::keyClick(box(form, 3), Qt::Key_Escape);
        QVERIFY(!form.isVisible());
        QCOMPARE(data.read(kProfile), recordBytes({profile("a")}));

        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        button(form, "CmdExit_Click3")->setFocus();
        QTest::keyClick(button(form, "CmdExit_Click3"), Qt::Key_Return); // a focused button answers Enter
        QVERIFY(!form.isVisible());
        QCOMPARE(data.read(kProfile), recordBytes({profile("a")}));
    }

    void save_data()
    {
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<int>("focus");        // -1: saved and closed
        QTest::addColumn<QStringList>("shown"); // the boxes afterwards
        QTest::addColumn<QStringList>("written");

        const QStringList base = profile("p");
        auto set = [](QStringList v, std::initializer_list<std::pair<int, QString>> changes) {
            for (const auto &[field, value] : changes)
                v[field] = value;
            return v;
        };
        const QStringList untidy = set(base, {{1, QStringLiteral(" 03 ")}, {10, QString()}});
        const QStringList tidied = set(base, {{1, QStringLiteral("03")}, {10, QStringLiteral(" ")}});

        QTest::newRow("name empty: boxes untouched")
            << set(untidy, {{0, QString()}}) << QStringList{"氏名を入力して下さい"} << 0
            << set(untidy, {{0, QString()}}) << QStringList();
        QTest::newRow("name of blanks")
            << set(untidy, {{0, QStringLiteral(" \u3000")}}) << QStringList{"氏名を入力して下さい"} << 0
            << set(untidy, {{0, QStringLiteral(" \u3000")}}) << QStringList();
        QTest::newRow("reading empty")
            << set(untidy, {{9, QStringLiteral("  ")}}) << QStringList{"氏名ふりがなを入力して下さい"} << 9
            << set(untidy, {{9, QStringLiteral("  ")}}) << QStringList();
        QTest::newRow("name of 11 saved")
            << set(untidy, {{0, QString(11, u'名')}}) << QStringList() << -1
            << set(tidied, {{0, QString(11, u'名')}}) << set(tidied, {{0, QString(11, u'名')}});
        QTest::newRow("name of 12: message after tidying")
            << set(untidy, {{0, QString(12, u'名')}}) << QStringList{"氏名の入力文字数を減らして下さい"} << 0
            << set(tidied, {{0, QString(12, u'名')}}) << QStringList();
        QTest::newRow("appeal of 100 saved")
            << set(untidy, {{7, QString(100, u'a')}}) << QStringList() << -1
            << set(tidied, {{7, QString(100, u'a')}}) << set(tidied, {{7, QString(100, u'a')}});
        QTest::newRow("appeal of 101 refused")
            << set(untidy, {{7, QString(101, u'a')}}) << QStringList{"アピール文の入力文字数を減らして下さい"} << 7
            << set(tidied, {{7, QString(101, u'a')}}) << QStringList();
        QTest::newRow("address and TEL2 too long: only the address")
            << set(untidy, {{5, QString(31, u'a')}, {10, QString(19, u'1')}})
            << QStringList{"住所の入力文字数を減らして下さい"} << 5
            << set(tidied, {{5, QString(31, u'a')}, {10, QString(19, u'1')}}) << QStringList();
        QTest::newRow("emoji refused, nothing written")
            << set(untidy, {{11, QStringLiteral("a\U0001F600")}})
            << QStringList{"MAIL2に保存できない文字が含まれています"} << 11
            << set(tidied, {{11, QStringLiteral("a\U0001F600")}}) << QStringList();
        QTest::newRow("blanks around the name dropped")
            << set(untidy, {{0, QStringLiteral(" 山田 太郎\u3000")}}) << QStringList() << -1
            << set(tidied, {{0, QStringLiteral("山田 太郎")}}) << set(tidied, {{0, QStringLiteral("山田 太郎")}});
        QTest::newRow("full-width blank inside name, reading and address")
            << set(untidy, {{0, QStringLiteral("山田\u3000太郎")}, {9, QStringLiteral("やまだ\u3000たろう")},
                            {5, QStringLiteral("東京都\u3000港区")}})
            << QStringList() << -1
            << set(tidied, {{0, QStringLiteral("山田\u3000太郎")}, {9, QStringLiteral("やまだ\u3000たろう")},
                            {5, QStringLiteral("東京都\u3000港区")}})
            << set(tidied, {{0, QStringLiteral("山田 太郎")}, {9, QStringLiteral("やまだ たろう")},
                            {5, QStringLiteral("東京都\u3000港区")}});
        QTest::newRow("JIS wave dash kept as its twin")
            << set(untidy, {{6, QStringLiteral("品川〜")}}) << QStringList() << -1
            << set(tidied, {{6, QStringLiteral("品川～")}}) << set(tidied, {{6, QStringLiteral("品川～")}});
    }
    void save()
    {
        QFETCH(QStringList, typed);
        QFETCH(QStringList, messages);
        QFETCH(int, focus);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, written);
        ScratchData data;
        const QByteArray before = recordBytes({profile("old")});
        data.write(kProfile, before);
        Form3 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        MessageLog log;
        type(form, typed);
        box(form, 15)->setFocus();
        QTest::mouseClick(button(form, "CmdUpdate3"), Qt::LeftButton);
        QCOMPARE(log.texts(), messages);
        QCOMPARE(boxes(form), shown);
        if (focus < 0) {
            QVERIFY(!form.isVisible());
            QCOMPARE(data.read(kProfile), recordBytes({written}));
        } else {
            QVERIFY(form.isVisible());
            QCOMPARE(form.focusWidget(), box(form, focus));
            QCOMPARE(data.read(kProfile), before);
        }
        QVERIFY(isUnlocked(form));
    }

    void savedProfileShowsOnReopening()
    {
        ScratchData data;
        MessageLog log;
        {
            Form3 form;
            type(form, profile("新"));
            button(form, "CmdUpdate3")->click();
        }
        const QByteArray saved = data.read(kProfile);
        QCOMPARE(saved.count("\r\n"), 16);
        Form3 again;
        QCOMPARE(boxes(again), profile("新"));
        QCOMPARE(log.texts(), QStringList{kCreated});
    }

    // 元に戻す (Ctrl+Z, with the focus on a button): the profile before the
    // last change, shown and said; off once there is nothing to undo.
    void undoWalksBackTheProfile()
    {
        ScratchData data;
        data.write(kProfile, recordBytes({profile("old")}));
        MessageLog log;
        {
            Form3 form;
            type(form, profile("新"));
            button(form, "CmdUpdate3")->click();
        }
        Form3 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        auto *undo = child<QAction>(form, QStringLiteral("ActMyUndo"));
        QVERIFY(undo->isEnabled());
        log.clear();
        button(form, "CmdExit_Click3")->setFocus();
        QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(log.texts(), QStringList{"本人更新を元に戻しました"});
        QCOMPARE(boxes(form), profile("old"));
        QCOMPARE(data.read(kProfile), recordBytes({profile("old")}));
        QVERIFY(!undo->isEnabled());
        QVERIFY(isUnlocked(form));
    }

    void profileRemovedWhileOpen()
    {
        ScratchData data;
        data.write(kProfile, recordBytes({profile("a")}));
        MessageLog log;
        Form3 form;
        QFile::remove(data.path(kProfile));

        button(form, "CmdDelete3")->click();
        QCOMPARE(log.texts(), QStringList{"該当の取込ファイルがありません(PsMyLoadPass)"});
        QVERIFY(!data.exists(kProfile));

        log.clear();
        form.show();
        button(form, "CmdUpdate3")->click();
        QCOMPARE(log.texts(), QStringList{kCreated});
        QCOMPARE(data.read(kProfile), QByteArray());
        QVERIFY(data.exists(kProfile));
        QVERIFY(form.isVisible());

        log.clear();
        button(form, "CmdUpdate3")->click();
        QCOMPARE(log.texts(), QStringList());
        QCOMPARE(data.read(kProfile), recordBytes({profile("a")}));
        QVERIFY(!form.isVisible());
    }

    void deleteWritesTheBlankProfile()
    {
        ScratchData data;
        data.write(kProfile, recordBytes({profile("a"), profile("b")}));
        MessageLog log;
        Form3 form;
        form.show();
        QTest::mouseClick(button(form, "CmdDelete3"), Qt::LeftButton);
        QCOMPARE(data.read(kProfile), QByteArray(" \r\n").repeated(16));
        QVERIFY(!form.isVisible());
        QCOMPARE(boxes(form), profile("b")); // not emptied; the next opening shows the blanks
        QCOMPARE(log.texts(), QStringList());
        Form3 again;
        QCOMPARE(boxes(again), QStringList(16, QString()));
    }

    void failingRewriteLeavesTheProfile_data()
    {
        // The limit leaves room for the backup copy of the profile, not for
        // the new profile.
        QTest::addColumn<QString>("routine");
        QTest::addColumn<int>("limit");
        const int profileSize = int(recordBytes({profile("a")}).size());
        QTest::newRow("save") << QStringLiteral("CmdUpdate3_Click") << profileSize;
        QTest::newRow("delete") << QStringLiteral("CmdDelete3_Click") << 20;
        QTest::newRow("import") << QStringLiteral("CmdImport3_Click") << profileSize;
    }
    void failingRewriteLeavesTheProfile()
    {
        QFETCH(QString, routine);
        QFETCH(int, limit);
        ScratchData data;
        const QByteArray before = recordBytes({profile("a")});
        data.write(kProfile, before);
        data.write(kReceived, recordBytes({profile(QString(40, u'x'))}));
        MessageLog log;
        Form3 form;
        form.show();
        type(form, profile(QStringLiteral("yy")));
        {
            const FileSizeLimit fileSizeLimit{rlim_t(limit)};
            button(form, QString(routine).remove(QStringLiteral("_Click")))->click();
        }
        QCOMPARE(log.reportedRoutine(), routine);
        QVERIFY(log.texts().constFirst().contains(QStringLiteral("(61 ")));
        QCOMPARE(data.read(kProfile), before);
        QVERIFY(isLocked(form));
        QVERIFY(form.isVisible());
        QStringList expectedFiles = {kProfile, kReceived};
        if (routine == QStringLiteral("CmdImport3_Click"))
            expectedFiles.prepend(kBackup); // kept for the user after a failed import
        expectedFiles.sort();
        QCOMPARE(folderEntries(data), expectedFiles);
    }

    void import_data()
    {
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<QByteArray>("profileAfter");
        QTest::addColumn<QStringList>("shown");

        QStringList unchecked = profile("r");
        unchecked[0] = QString(12, u'名'); // the checks apply only when saving
        unchecked[9] = QString();
        unchecked[5] = QStringLiteral("東京\u3000港区");
        QTest::newRow("16 lines") << recordBytes({unchecked}) << recordBytes({unchecked}) << unchecked;
        QTest::newRow("32 lines: the second record")
            << recordBytes({profile("r"), profile("s")}) << recordBytes({profile("s")}) << profile("s");
        QStringList blankLine = profile("r");
        blankLine[3] = QString();
        QTest::newRow("a line of blanks becomes empty")
            << recordBytes({profile("r")}).replace("r3", "   ") << recordBytes({blankLine}) << blankLine;
        QTest::newRow("LF line ends written as CR LF")
            << recordBytes({profile("r")}).replace("\r\n", "\n") << recordBytes({profile("r")}) << profile("r");
        QTest::newRow("0 bytes: the profile as last read")
            << QByteArray() << recordBytes({profile("old")}) << profile("old");
    }
    void import()
    {
        QFETCH(QByteArray, received);
        QFETCH(QByteArray, profileAfter);
        QFETCH(QStringList, shown);
        ScratchData data;
        data.write(kProfile, recordBytes({profile("old")}));
        data.write(kReceived, received);
        MessageLog log;
        Form3 form;
        form.show();
        box(form, 2)->setText(QStringLiteral("typed, not saved"));
        QTest::mouseClick(button(form, "CmdImport3"), Qt::LeftButton);
        QCOMPARE(log.texts(), QStringList());
        QCOMPARE(data.read(kProfile), profileAfter);
        QCOMPARE(boxes(form), shown);
        QCOMPARE(folderEntries(data), QStringList{kProfile});
        QVERIFY(form.isVisible());
        QVERIFY(isUnlocked(form));
    }

    void importRefusals_data()
    {
        QTest::addColumn<bool>("profilePresent");
        QTest::addColumn<QByteArray>("received"); // null: no received file
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("reported");
        QTest::addColumn<QStringList>("filesAfter");
        QTest::newRow("no received file")
            << true << QByteArray() << QStringLiteral("該当の取込ファイルがありません(PsMyImpPass)") << QString()
            << QStringList{kProfile};
        QTest::newRow("20 lines received")
            << true << recordBytes({profile("r")}) + QByteArray("1\r\n2\r\n3\r\n4\r\n") << QString()
            << QStringLiteral("CmdImport3_Click") << QStringList{kBackup, kProfile, kReceived};
        QTest::newRow("profile removed while open")
            << false << recordBytes({profile("r")}) << QString() << QStringLiteral("CmdImport3_Click")
            << QStringList{kReceived};
    }
    void importRefusals()
    {
        QFETCH(bool, profilePresent);
        QFETCH(QByteArray, received);
        QFETCH(QString, message);
        QFETCH(QString, reported);
        QFETCH(QStringList, filesAfter);
        ScratchData data;
        const QByteArray before = recordBytes({profile("old")});
        data.write(kProfile, before);
        if (!received.isNull())
            data.write(kReceived, received);
        MessageLog log;
        Form3 form;
        if (!profilePresent)
            QFile::remove(data.path(kProfile));
        button(form, "CmdImport3")->click();
        QCOMPARE(log.reportedRoutine(), reported);
        if (!message.isEmpty())
            QCOMPARE(log.texts(), QStringList{message});
        QCOMPARE(log.shown.size(), 1);
        QCOMPARE(folderEntries(data), filesAfter);
        if (profilePresent)
            QCOMPARE(data.read(kProfile), before);
        QCOMPARE(boxes(form), profile("old"));
        QVERIFY(reported.isEmpty() ? isUnlocked(form) : isLocked(form));
    }

    void profileButtonOpensTheWindowModally()
    {
        ScratchData data;
        data.write(QStringLiteral("load.txt"), recordBytes({contact(QStringLiteral("あ"), QStringLiteral("亜"))}));
        data.write(kProfile, recordBytes({profile("me")}));
        MessageLog log;
        Form1 list;
        list.show();
        search(list, QStringLiteral("前の検索"), QStringLiteral("氏名"));
        QCOMPARE(list.lastSearchText(), QStringLiteral("前の検索"));
        log.clear(); // its message: nothing found
        QString nameWhileOpen;
        QStringList shownWhileOpen;
        QTimer poll;
        connect(&poll, &QTimer::timeout, &poll, [&] {
            auto *form = qobject_cast<Form3 *>(QApplication::activeModalWidget());
            if (!form)
                return;
            poll.stop();
            nameWhileOpen = CurrentFormName;
            shownWhileOpen = boxes(*form);
            QTest::mouseClick(button(*form, "CmdExit_Click3"), Qt::LeftButton);
        });
        poll.start(10);
        QTest::mouseClick(button(list, QStringLiteral("ComMyData")), Qt::LeftButton);
        QCOMPARE(nameWhileOpen, QStringLiteral("Form3"));
        QCOMPARE(shownWhileOpen, profile("me"));
        QCOMPARE(CurrentFormName, QStringLiteral("Form1"));
        QVERIFY(list.lastSearchText().isEmpty());
        QVERIFY(list.findChildren<Form3 *>().isEmpty()); // gone with its closing
        QCOMPARE(log.texts(), QStringList());
    }
};

QTEST_MAIN(TestForm3)
#include "test_form3.moc"

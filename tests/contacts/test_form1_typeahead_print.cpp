// Type-ahead in the contact grid and 印刷… in the list window.

#include "Form1Driver.h"
#include "support/MessageLog.h"

#include <QAction>
#include <QInputMethodEvent>
#include <QPrinter>
#include <QProcess>
#include <QScrollBar>

namespace {

QList<QStringList> readingOrdered()
{
    return {contact(u"あべ"_qs, u"阿部"_qs), contact(u"いとう"_qs, u"伊藤"_qs),
            contact(u"すみす"_qs, u"Smith"_qs), contact(u"やまぐち"_qs, u"山口"_qs),
            contact(u"やまだ"_qs, u"山田"_qs), contact(u"やまもと"_qs, u"山本"_qs),
            contact(u"わだ"_qs, u"和田"_qs)};
}

// Enough rows below for any row to scroll to the top.
QList<QStringList> longList()
{
    QList<QStringList> records = readingOrdered();
    for (int i = 0; i < 40; ++i)
        records.append(contact(u"わたなべ%1"_qs.arg(i), u"渡辺%1"_qs.arg(i)));
    return records;
}

// Keys: "k:TEXT" typed on the keyboard, "c:TEXT" committed by the input
// method, "w" a pause longer than a second, "d" the down arrow.
void typeInto(ContactGrid *grid, const QStringList &keys)
{
    for (const QString &k : keys) {
        if (k == u"w") {
            QTest::qWait(int(TypeAheadText::PauseMs) + 150);
        } else if (k == u"d") {
            QTest::keyClick(grid, Qt::Key_Down);
        } else if (k.startsWith(u"c:")) {
            QInputMethodEvent e(u"や"_qs, {}); // the pre-edit shows nothing in the grid
            QCoreApplication::sendEvent(grid, &e);
            QInputMethodEvent commit;
            commit.setCommitString(k.mid(2));
            QCoreApplication::sendEvent(grid, &commit);
        } else {
            for (const QChar c : k.mid(2))
                QTest::sendKeyEvent(QTest::Click, grid, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }
}

QString pdfText(const QString &path)
{
    QProcess p;
    p.start(u"pdftotext"_qs, {u"-layout"_qs, path, u"-"_qs});
    p.waitForFinished(30000);
    // Kanji that share a glyph with a radical come out as the radical.
    return QString::fromUtf8(p.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
}

} // namespace

class TestForm1TypeAheadPrint : public QObject {
    Q_OBJECT
private slots:
    void typeAheadMovesTheCurrentRow_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<int>("row");
        QTest::newRow("kana") << QStringList{u"k:や"_qs} << 4;
        QTest::newRow("kana adding up") << QStringList{u"k:やまだ"_qs} << 5;
        QTest::newRow("katakana, half-width") << QStringList{u"k:ﾔﾏﾓ"_qs} << 6;
        QTest::newRow("letters, other case") << QStringList{u"k:sm"_qs} << 3;
        QTest::newRow("kanji by its name") << QStringList{u"k:和"_qs} << 7;
        QTest::newRow("committed by the input method") << QStringList{u"c:やま"_qs, u"c:だ"_qs} << 5;
        QTest::newRow("no match stays") << QStringList{u"k:ぬ"_qs} << 1;
        QTest::newRow("same key after a pause steps on") << QStringList{u"k:や"_qs, u"w"_qs, u"k:や"_qs} << 5;
        QTest::newRow("arrow keys still move") << QStringList{u"k:い"_qs, u"d"_qs} << 3;
    }
    void typeAheadMovesTheCurrentRow()
    {
        QFETCH(QStringList, keys);
        QFETCH(int, row);
        ScratchData data;
        MessageLog log;
        auto form = openForm(data, longList());
        ContactGrid *grid = ::grid(*form);
        clickCell(*form, 2, 0); // a check mark, which type-ahead leaves alone
        clickCell(*form, 1, 1);
        const ContactRows before = grid->contacts();
        grid->setFocus();
        QVERIFY(grid->testAttribute(Qt::WA_InputMethodEnabled));
        typeInto(grid, keys);
        QCOMPARE(grid->row(), row);
        QCOMPARE(grid->currentIndex().row(), row - 1);
        if (!keys.contains(u"d"_qs))
            QCOMPARE(grid->topRow(), row);
        for (std::size_t i = 0; i < before.size(); ++i) {
            QCOMPARE(grid->contacts()[i].check, before[i].check);
            QVERIFY(grid->contacts()[i].colours == before[i].colours);
        }
        QVERIFY(log.shown.isEmpty());
    }

    void tabLeavesTheGrid()
    {
        ScratchData data;
        auto form = openForm(data, readingOrdered());
        ContactGrid *grid = ::grid(*form);
        grid->setFocus();
        QTest::sendKeyEvent(QTest::Click, grid, Qt::Key_unknown, u"や"_qs, Qt::NoModifier);
        QTest::keyClick(grid, Qt::Key_Tab);
        QVERIFY(!grid->hasFocus());
    }

    void printsCheckedOrAll_data()
    {
        QTest::addColumn<QList<int>>("checked");
        QTest::addColumn<QStringList>("printed");
        QTest::newRow("none checked: all") << QList<int>{}
                                           << QStringList{u"阿部"_qs, u"伊藤"_qs, u"Smith"_qs, u"山口"_qs, u"山田"_qs, u"山本"_qs, u"和田"_qs};
        QTest::newRow("the checked") << QList<int>{2, 5} << QStringList{u"伊藤"_qs, u"山田"_qs};
    }
    void printsCheckedOrAll()
    {
        QFETCH(QList<int>, checked);
        QFETCH(QStringList, printed);
        ScratchData data;
        MessageLog log;
        const QString pdf = data.path(u"printed.pdf"_qs);
        bool asked = false;
        Form1::setPrintDialogHook([&](QPrinter &printer, QWidget *) {
            asked = true;
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return true;
        });
        auto form = openForm(data, readingOrdered());
        for (int r : checked)
            clickCell(*form, r, 0);
        QTest::keyClick(form.get(), Qt::Key_P, Qt::ControlModifier);
        Form1::setPrintDialogHook({});
        QVERIFY(asked);
        QVERIFY(log.shown.isEmpty());
        const QString text = pdfText(pdf);
        for (const QStringList &c : readingOrdered())
            QCOMPARE(text.contains(c[NameField]), printed.contains(c[NameField]));
    }

    void cancelledPrintPrintsNothing()
    {
        ScratchData data;
        MessageLog log;
        Form1::setPrintDialogHook([](QPrinter &printer, QWidget *) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(u"/nonexistent/never.pdf"_qs);
            return false;
        });
        auto form = openForm(data, readingOrdered());
        child<QAction>(*form, u"ActPrint"_qs)->trigger();
        Form1::setPrintDialogHook({});
        QVERIFY(log.shown.isEmpty());
        // An empty list has nothing to print and says so.
        auto empty = openForm(data, {});
        child<QAction>(*empty, u"ActPrint"_qs)->trigger();
        QCOMPARE(log.texts(), QStringList{u"印刷できるデータがありません"_qs});
    }
};

QTEST_MAIN(TestForm1TypeAheadPrint)
#include "test_form1_typeahead_print.moc"

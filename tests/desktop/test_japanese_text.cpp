#include "Windows.h"

#include "contacts/ContactGrid.h"
#include "support/MessageLog.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>

namespace {

using Attributes = QList<QInputMethodEvent::Attribute>;

// What an input method sends while the user composes: the text under
// composition with the cursor at its end.
void preedit(QWidget *box, const QString &text)
{
    QInputMethodEvent event(text, {{QInputMethodEvent::Cursor, int(text.size()), 1, QVariant()}});
    QApplication::sendEvent(box, &event);
}

// What it sends when the user accepts the composition.
void commit(QWidget *box, const QString &text, int replaceFrom = 0, int replaceLength = 0)
{
    QInputMethodEvent event;
    event.setCommitString(text, replaceFrom, replaceLength);
    QApplication::sendEvent(box, &event);
}

// The families the windows' font resolves to here: "MS PGothic" where it is
// installed, else Noto Sans CJK JP.
QString expectedFamily()
{
    return QFontDatabase::families().contains(QStringLiteral("MS PGothic")) ? QStringLiteral("MS PGothic")
                                                                            : QStringLiteral("Noto Sans CJK JP");
}

QStringList allTextBoxes()
{
    QStringList names{QStringLiteral("Form1/TextSearch")};
    for (int i = 0; i < FieldCount; ++i)
        names << QStringLiteral("Form2/TexSelData_%1").arg(i);
    for (int i = 0; i < ProfileFieldCount; ++i)
        names << QStringLiteral("Form3/TexMyData_%1").arg(i);
    return names;
}

// Every caption a window shows: its controls' texts and the grid's headings.
QStringList captionsOf(QWidget *window)
{
    QStringList texts{window->windowTitle()};
    for (const QLabel *label : window->findChildren<QLabel *>())
        texts << label->text();
    for (const QAbstractButton *button : window->findChildren<QAbstractButton *>())
        texts << button->text();
    for (const QComboBox *combo : window->findChildren<QComboBox *>())
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
    if (auto *grid = window->findChild<ContactGrid *>())
        for (int c = 1; c < grid->model()->columnCount(); ++c)
            texts << grid->model()->headerData(c, Qt::Horizontal).toString();
    return texts;
}

} // namespace

// Japanese on every window: what an input method composes and commits
// reaches every text box as typed, and every caption is drawn in a Japanese
// font that holds all its characters.
class JapaneseTextTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { setUpLikeTheProgram(); }

    void inputMethodReachesEveryBox_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("box");
        for (const QString &path : allTextBoxes())
            QTest::newRow(qPrintable(path)) << path.section(u'/', 0, 0) << path.section(u'/', 1);
    }

    void inputMethodReachesEveryBox()
    {
        QFETCH(QString, window);
        QFETCH(QString, box);
        ScratchData data;
        MessageLog log;
        auto form = openWindow(window, data);
        auto *edit = child<QLineEdit>(*form, box);
        QVERIFY(edit->isEnabled());

        edit->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents(); // the selection made on focus
        QVERIFY(edit->testAttribute(Qt::WA_InputMethodEnabled));
        QVERIFY(edit->inputMethodQuery(Qt::ImEnabled).toBool());

        // Composing replaces the text selected on focus; the composition
        // itself isn't the box's text until it is committed.
        preedit(edit, QStringLiteral("とうきょう"));
        QCOMPARE(edit->text(), QString());
        commit(edit, QStringLiteral("東京"));
        QCOMPARE(edit->text(), QStringLiteral("東京"));

        preedit(edit, QStringLiteral("〜"));
        QCOMPARE(edit->text(), QStringLiteral("東京"));
        commit(edit, QStringLiteral("\u301C"));
        QCOMPARE(edit->text(), QStringLiteral("東京\u301C"));
        QCOMPARE(edit->cursorPosition(), 3);
        QVERIFY(log.shown.isEmpty());
    }

    void compositionSequences_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        // Each step: "p:" preedit, "c:" commit, "r:N:L:" commit replacing L
        // code units from N before the cursor (a reconversion).
        QTest::addColumn<QStringList>("steps");

        QTest::newRow("full-width blank and wave dash")
            << QString() << QStringLiteral("山田\u3000〜") << QStringList{"p:やまだ", "c:山田", "c:\u3000", "p:〜", "c:〜"};
        QTest::newRow("cancelled composition leaves nothing")
            << QString() << QString() << QStringList{"p:かいしゃ", "p:"};
        QTest::newRow("reconversion replaces the word before the cursor")
            << QStringLiteral("京都") << QStringLiteral("今日と") << QStringList{"r:-2:2:今日と"};
        QTest::newRow("characters beyond the basic plane")
            << QString() << QStringLiteral("𠮷野") << QStringList{"p:よしの", "c:𠮷野"};
        QTest::newRow("half-width kana stay as committed")
            << QString() << QStringLiteral("ﾔﾏﾀﾞ") << QStringList{"p:ﾔﾏﾀﾞ", "c:ﾔﾏﾀﾞ"};
    }

    void compositionSequences()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(QStringList, steps);
        ScratchData data;
        MessageLog log;
        auto form = openWindow(QStringLiteral("Form2"), data);
        auto *edit = child<QLineEdit>(*form, QStringLiteral("TexSelData_%1").arg(NameField));
        edit->setText(before);
        edit->deselect();
        edit->end(false);

        for (const QString &step : steps) {
            const QString text = step.section(u':', -1);
            if (step.startsWith(QLatin1String("p:")))
                preedit(edit, text);
            else if (step.startsWith(QLatin1String("c:")))
                commit(edit, text);
            else
                commit(edit, text, step.section(u':', 1, 1).toInt(), step.section(u':', 2, 2).toInt());
        }
        QCOMPARE(edit->text(), after);
    }

    void windowFontFallsBackToJapanese()
    {
        QCOMPARE(QFontInfo(windowFont()).family(), expectedFamily());
        QCOMPARE(QFontInfo(QApplication::font()).family(), expectedFamily());
        // A message box gets it from the application, with no font of its own.
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Tessaline"),
                        QStringLiteral("該当の取込ファイルがありません。新規作成します。"));
        QCOMPARE(QFontInfo(box.font()).family(), expectedFamily());
    }

    void everyCaptionDrawnInJapaneseFont_data()
    {
        QTest::addColumn<QString>("window");
        for (const char *name : {"Form1", "Form2", "Form3"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void everyCaptionDrawnInJapaneseFont()
    {
        QFETCH(QString, window);
        ScratchData data;
        MessageLog log;
        auto form = openWindow(window, data);

        QList<QWidget *> controls = form->findChildren<QWidget *>();
        controls << form.get();
        for (QWidget *control : controls) {
            if (control->inherits("QScrollBar"))
                continue;
            QVERIFY2(QFontInfo(control->font()).family() == expectedFamily(),
                     qPrintable(control->objectName() + ": " + QFontInfo(control->font()).family()));
        }

        const QFontMetrics metrics(form->font());
        const QStringList captions = captionsOf(form.get());
        QVERIFY(captions.size() > 3);
        for (const QString &caption : captions)
            for (const char32_t c : caption.toUcs4())
                QVERIFY2(metrics.inFontUcs4(c), qPrintable(caption));
    }
};

QTEST_MAIN(JapaneseTextTest)
#include "test_japanese_text.moc"

#include "Windows.h"

#include "support/MessageLog.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionComboBox>

namespace {

// A text in a box: tall kanji and kana, an accented capital, descenders,
// and the wave dash that input methods type.
const QString kSample = QStringLiteral("漢ぎゃÅgjy〜");

// The bounding box of the text's ink in a picture of the control: the dark
// pixels that only the text draws (frames and bevels are lighter; what the
// control leaves unpainted is transparent).
QRect inkOf(QWidget *control)
{
    const QImage image = control->grab().toImage();
    QRect ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (const QRgb p = image.pixel(x, y); qAlpha(p) > 128 && qGray(p) < 64)
                ink |= QRect(x, y, 1, 1);
    return ink;
}

// Whether the control draws its text whole: the ink it shows at its own
// size is the ink it shows with room to spare on every side.
QString cutOff(QWidget *control, bool widthToo)
{
    const QRect shown = inkOf(control);
    const QSize size = control->size();
    control->resize(size + QSize(200, 200));
    const QRect whole = inkOf(control);
    control->resize(size);
    if (whole.isEmpty())
        return QStringLiteral("draws no text");
    if (shown.height() < whole.height())
        return QStringLiteral("shows %1 of %2 pixel rows of its text").arg(shown.height()).arg(whole.height());
    if (widthToo && shown.width() < whole.width())
        return QStringLiteral("shows %1 of %2 pixel columns of its text").arg(shown.width()).arg(whole.width());
    return QString();
}

QString describe(const QWidget *w)
{
    const QRect g = w->geometry();
    return QStringLiteral("%1 (%2,%3 %4×%5)").arg(w->objectName()).arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height());
}

} // namespace

// Every window at the scale it runs with (ctest runs this at scale 1 and,
// through QT_SCALE_FACTOR, at 2): no caption, box or button cut off, none
// overlapping another, none outside its window or frame.
class WindowLayoutTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { setUpLikeTheProgram(); }

    void windows_data()
    {
        QTest::addColumn<QString>("window");
        for (const char *name : {"Form1", "Form2", "Form3", "frmSplash"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void nothingOverlapsOrSticksOut_data() { windows_data(); }
    void nothingOverlapsOrSticksOut()
    {
        QFETCH(QString, window);
        ScratchData data;
        MessageLog log;
        auto form = openWindow(window, data);

        QList<QWidget *> containers{form.get()};
        for (QGroupBox *frame : form->findChildren<QGroupBox *>())
            containers << frame;
        for (QWidget *container : std::as_const(containers)) {
            const QList<QWidget *> children = container->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
            QList<QWidget *> shown;
            for (QWidget *child : children)
                if (child->isVisible())
                    shown << child;
            for (qsizetype i = 0; i < shown.size(); ++i) {
                QVERIFY2(container->rect().contains(shown[i]->geometry()),
                         qPrintable(describe(shown[i]) + " sticks out of " + container->objectName()));
                for (qsizetype j = i + 1; j < shown.size(); ++j)
                    QVERIFY2(!shown[i]->geometry().intersects(shown[j]->geometry()),
                             qPrintable(describe(shown[i]) + " overlaps " + describe(shown[j])));
            }
        }
    }

    void noTextCutOff_data() { windows_data(); }
    void noTextCutOff()
    {
        QFETCH(QString, window);
        ScratchData data;
        MessageLog log;
        auto form = openWindow(window, data);

        for (QLabel *label : form->findChildren<QLabel *>()) {
            if (label->text().isEmpty())
                continue;
            const QString fault = cutOff(label, true);
            QVERIFY2(fault.isEmpty(), qPrintable(describe(label) + " " + fault));
        }
        for (QAbstractButton *button : form->findChildren<QAbstractButton *>()) {
            if (button->text().isEmpty())
                continue;
            const QString fault = cutOff(button, true);
            QVERIFY2(fault.isEmpty(), qPrintable(describe(button) + " " + fault));
        }
        // A text box scrolls sideways; its text must show at its full height.
        for (QLineEdit *box : form->findChildren<QLineEdit *>()) {
            box->setText(kSample);
            box->deselect();
            box->clearFocus(); // the text cursor isn't text
            const QString fault = cutOff(box, false);
            QVERIFY2(fault.isEmpty(), qPrintable(describe(box) + " " + fault));
        }
        for (QComboBox *combo : form->findChildren<QComboBox *>()) {
            QStyleOptionComboBox option;
            option.initFrom(combo);
            const QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                               QStyle::SC_ComboBoxEditField, combo);
            for (int i = 0; i < combo->count(); ++i) {
                combo->setCurrentIndex(i);
                const QString fault = cutOff(combo, false);
                QVERIFY2(fault.isEmpty(), qPrintable(describe(combo) + " " + combo->currentText() + " " + fault));
                QVERIFY2(combo->fontMetrics().horizontalAdvance(combo->currentText()) <= field.width(),
                         qPrintable(describe(combo) + " is too narrow for " + combo->currentText()));
            }
        }
    }
};

QTEST_MAIN(WindowLayoutTest)
#include "test_window_layout.moc"

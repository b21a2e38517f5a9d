#include "shell/Dialogs.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {
class SelectAllOnFocus : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::FocusIn) {
            // The box places its own cursor after the focus arrives (a mouse
            // click does); the selection is made once it has.
            if (auto *box = qobject_cast<QLineEdit *>(watched))
                QTimer::singleShot(0, box, [box] { box->selectAll(); });
        }
        return QObject::eventFilter(watched, event);
    }
};
} // namespace

void selectAllOnFocus(QWidget *window, const QList<QLineEdit *> &boxes)
{
    auto *filter = new SelectAllOnFocus(window);
    for (QLineEdit *box : boxes)
        box->installEventFilter(filter);
}

void setTabOrderChain(const QList<QWidget *> &order)
{
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
}

bool enterPressesFocusedButton(QWidget *window, QKeyEvent *event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return false;
    if (auto *button = qobject_cast<QPushButton *>(window->focusWidget()); button && button->isEnabled())
        button->click();
    event->accept();
    return true;
}

#include "shell/ErrorBoundary.h"

#include <QLineEdit>
#include <QPushButton>

void lockDialog(QWidget *window, QPushButton *exit)
{
    for (QLineEdit *box : window->findChildren<QLineEdit *>())
        box->setEnabled(false);
    for (QPushButton *button : window->findChildren<QPushButton *>())
        button->setEnabled(false);
    window->setEnabled(true);
    exit->setEnabled(true);
}

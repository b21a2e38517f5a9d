// The menu bar above the list window's controls. The window grows by the
// bar's height and every control moves down by it, so the controls keep
// their places relative to each other and to the window's lower edge.

#include "contacts/Form1.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

void Form1::buildMenuBar()
{
    auto *bar = new QMenuBar(this);
    bar->setObjectName(QStringLiteral("MenuBar"));
    fileMenu_ = bar->addMenu(captions().FileMenu);
    fileMenu_->setObjectName(QStringLiteral("FileMenu"));
    editMenu_ = bar->addMenu(captions().EditMenu);
    editMenu_->setObjectName(QStringLiteral("EditMenu"));

    addInterchangeActions(fileMenu_);
    fileMenu_->addSeparator();

    QAction *quit = fileMenu_->addAction(captions().ActQuit, this, &Form1::CmdExit_Click);
    quit->setObjectName(QStringLiteral("ActQuit"));
    addPrintAction();

    const int barHeight = bar->sizeHint().height();
    const QList<QWidget *> controls = findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (QWidget *control : controls)
        if (control != bar)
            control->move(control->x(), control->y() + barHeight);
    bar->setGeometry(0, 0, width(), barHeight);
    setFixedSize(width(), height() + barHeight);
}

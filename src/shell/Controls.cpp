#include "shell/Controls.h"

#include <QPushButton>

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption,
                        const QRect &geometry, EnterPresses enter)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAccessibleName(caption);
    button->setGeometry(geometry);
    button->setAutoDefault(enter == EnterPresses::FocusedButton);
    return button;
}

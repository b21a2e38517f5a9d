#include "shell/frmSplash.h"

#include "shell/Twips.h"

#include <QLabel>
#include <QPixmap>

frmSplash::frmSplash(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    // The picture lives in a static library, whose resources are registered
    // only on request.
    Q_INIT_RESOURCE(shell);
    setObjectName(QStringLiteral("frmSplash"));
    setAccessibleName(QStringLiteral("Tessaline"));
    setFixedSize(twips(6315), twips(3825));
    auto *picture = new QLabel(this);
    picture->setPixmap(QPixmap(QStringLiteral(":/shell/splash.jpg")));
    picture->setScaledContents(true);
    picture->setGeometry(rect());
}

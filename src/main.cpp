#include "shell/BasMain.h"

#include <QApplication>
#include <QStyleFactory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessaline"));
    QApplication::setDesktopFileName(QStringLiteral("tessaline"));
    // One look on every desktop, so that the palette colours show as given.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    return Main(app);
}

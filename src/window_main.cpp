#include "shell/BasMain.h"
#include "shell/Desktop.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessaline"));
    setUpDesktop(app);
    return Main(app);
}

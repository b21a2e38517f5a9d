#include "shell/Desktop.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QStyleFactory>

const QString kAppId = QStringLiteral("org.tessaline.Tessaline");

QFont windowFont()
{
    QFont font(QStringLiteral("MS PGothic"), 9);
    font.setFamilies({QStringLiteral("MS PGothic"), QStringLiteral("Noto Sans CJK JP"),
                      QStringLiteral("Noto Sans CJK SC"), QStringLiteral("sans-serif")});
    return font;
}

void setUpDesktop(QApplication &app)
{
    app.setDesktopFileName(kAppId);
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    // Set on the application, the font reaches the dialogs and message boxes
    // too, not only the windows that ask for it.
    app.setFont(windowFont());
    // The installed icon theme first; the icon built into the program serves
    // when it runs from its build folder.
    QIcon builtIn;
    for (const int size : {16, 32, 48, 256})
        builtIn.addFile(QStringLiteral(":/desktop/tessaline-%1.png").arg(size));
    app.setWindowIcon(QIcon::fromTheme(kAppId, builtIn));
}

#pragma once

// Opens each of the program's windows on a small, real data folder, shown
// and active, for the tests of what every window shares: keyboard, input
// method, fonts and layout.

#include "contacts/ContactRecord.h"
#include "contacts/Form1.h"
#include "editor/Form2.h"
#include "profile/Form3.h"
#include "profile/Profile.h"
#include "shell/Desktop.h"
#include "shell/frmSplash.h"
#include "support/ScratchData.h"
#include "support/WindowControls.h"

#include <QApplication>
#include <QtTest>

#include <memory>

inline void setUpLikeTheProgram()
{
    setUpDesktop(*qobject_cast<QApplication *>(QCoreApplication::instance()));
}

inline QList<QStringList> sampleContacts()
{
    return {contact(QStringLiteral("やまだ たろう"), QStringLiteral("山田 太郎"), QStringLiteral("y")),
            contact(QStringLiteral("すずき はなこ"), QStringLiteral("鈴木 花子"), QStringLiteral("s"))};
}

// The window named "Form1", "Form2", "Form3" or "frmSplash", on the data of
// `data`, shown and active.
inline std::unique_ptr<QWidget> openWindow(const QString &name, const ScratchData &data)
{
    const QList<QStringList> contacts = sampleContacts();
    std::unique_ptr<QWidget> window;
    if (name == QLatin1String("Form1")) {
        data.write(QStringLiteral("load.txt"), recordBytes(contacts));
        window = std::make_unique<Form1>();
    } else if (name == QLatin1String("Form2")) {
        data.write(QStringLiteral("load.txt"), recordBytes(contacts));
        window = std::make_unique<Form2>(contacts.first(), [] { return false; });
    } else if (name == QLatin1String("Form3")) {
        data.write(QStringLiteral("myload.txt"), recordBytes({contacts.first().mid(0, ProfileFieldCount)}));
        window = std::make_unique<Form3>();
    } else {
        window = std::make_unique<frmSplash>();
    }
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window.get()))
        qWarning("the window didn't become active");
    // The windows place their first focus and selection from the event loop.
    QCoreApplication::processEvents();
    return window;
}

#pragma once

// Tests reach a window's controls as a user does, by what they are: a
// control is found by its object name ("CmdImport", "TexSelData_3"), and
// its state read through the control itself.

#include <QString>
#include <QWidget>

// The control of type T named name in window. A control that isn't there
// ends the test run with a fatal failure naming it, rather than leaving a
// null pointer to crash on later.
template <typename T>
T *child(const QWidget &window, const QString &name)
{
    T *control = window.findChild<T *>(name);
    if (control == nullptr)
        qFatal("%s has no %s named %s", qPrintable(window.objectName()), T::staticMetaObject.className(),
               qPrintable(name));
    return control;
}

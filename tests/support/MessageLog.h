#pragma once

#include "shell/MessageBox.h"

#include <QList>
#include <QStringList>

// Records every message box shown while it lives, instead of showing it.
class MessageLog {
public:
    MessageLog();
    ~MessageLog();

    QList<MessageBox::Shown> shown;

    QStringList texts() const;
    // The routine name of the only error report shown, or empty.
    QString reportedRoutine() const;
    void clear() { shown.clear(); }
};

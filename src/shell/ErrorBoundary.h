#pragma once

#include "shell/AppError.h"
#include "shell/ErrorReport.h"

#include <QString>

#include <utility>

class QPushButton;
class QWidget;

// The error boundary of a routine: runs its body, and an AppError or an
// out-of-memory in it is shown in the error report under the routine's name
// and locks the window (lockWindow). Returns true when the body failed.
template <typename Lock, typename Body>
bool runRoutine(const QString &routine, Lock &&lockWindow, Body &&body)
{
    const int error = trapError(std::forward<Body>(body));
    if (error == 0)
        return false;
    ErrorReport(routine, error);
    lockWindow();
    return true;
}

// The same report and lock for an error that arrived as a number (a change
// transaction's failed step).
template <typename Lock>
void reportRoutineError(const QString &routine, int error, Lock &&lockWindow)
{
    ErrorReport(routine, error);
    lockWindow();
}

// For the steps of a routine that skip what fails and carry on.
template <typename Step>
void skipOnError(Step &&step)
{
    (void)trapError(std::forward<Step>(step));
}

// Locks a dialog after an error: every box and button disabled but exit, the
// one button that closes it.
void lockDialog(QWidget *window, QPushButton *exit);

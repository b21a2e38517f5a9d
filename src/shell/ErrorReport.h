#pragma once

#include <QString>

// The one error message box of the program: which window, which routine,
// which error, and the request to contact the administrator.
void ErrorReport(const QString &routineName, int number);

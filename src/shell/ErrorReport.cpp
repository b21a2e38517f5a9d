#include "shell/ErrorReport.h"

#include "shell/BasCommn.h"
#include "shell/MessageBox.h"

void ErrorReport(const QString &routineName, int number)
{
    try {
        MessageBox::show(errorReportText(routineName, number), QStringLiteral("プログラムエラー"),
                         MessageBox::Icon::Critical);
    } catch (...) {
        // The report itself never fails the caller.
    }
}

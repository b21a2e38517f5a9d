// Export of the checked contacts to the export file, in the contact list
// file's format. The rows are counted first; an export of none or of more
// than the limit is refused before anything is written.

#include "contacts/Form1.h"

#include "contacts/ContactGrid.h"
#include "contacts/ListRules.h"
#include "shell/AppError.h"
#include "shell/BasConst.h"
#include "shell/ErrorReport.h"
#include "shell/MessageBox.h"
#include "shell/RecordFile.h"

#include <algorithm>

void Form1::CmdExport_Click()
{
    try {
        int exported = 0;
        {
            const Hourglass hourglass;
            const RedrawOff redrawOff(MSFlexGrid1);
            const int lastRow = lastDataRow();

            int checked = 0;
            for (int r = 1; r <= lastRow; ++r) {
                MSFlexGrid1->setCol(0);
                MSFlexGrid1->setRow(r);
                if (isChecked(MSFlexGrid1->text()))
                    ++checked;
            }
            if (const QString refusal = exportRefusal(checked); !refusal.isEmpty()) {
                MessageBox::show(refusal);
                return;
            }

            // The records are collected first and the file replaced in one
            // step, so a failed export leaves an earlier export file whole.
            QList<ContactRecord> records;
            records.reserve(checked);
            for (int r = 1; r <= lastRow; ++r) {
                MSFlexGrid1->setCol(0);
                MSFlexGrid1->setRow(r);
                if (isChecked(MSFlexGrid1->text())) {
                    Pf_WorkClear();
                    if (Pf_WorkSet(r))
                        return; // Pf_WorkSet has reported
                    records.append(WorkRecord);
                }
            }
            writeRecordsAtomically(PsExpPass(), records);
            exported = int(records.size());
        }
        MessageBox::show(exportDoneMessage(exported));
    } catch (const AppError &e) {
        ErrorReport(QStringLiteral("CmdExport_Click"), e.number);
        Pf_CtlLock();
    } catch (const std::bad_alloc &) {
        ErrorReport(QStringLiteral("CmdExport_Click"), ErrNo::OutOfMemory);
        Pf_CtlLock();
    }
}

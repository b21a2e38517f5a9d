// Export of the checked contacts to the export file, in the contact list
// file's format. The rows are counted first; an export of none or of more
// than the limit is refused before anything is written.

#include "contacts/Form1.h"

#include "contacts/ContactGrid.h"
#include "contacts/ContactList.h"
#include "contacts/ListRules.h"
#include "shell/BasConst.h"
#include "shell/MessageBox.h"
#include "shell/RecordFile.h"

#include <algorithm>

void Form1::CmdExport_Click()
{
    routine(QStringLiteral("CmdExport_Click"), [this] {
        int exported = 0;
        {
            const Hourglass hourglass;
            const RedrawOff redrawOff(MSFlexGrid1);
            const int lastRow = lastDataRow();

            const int checked = checkedCount(MSFlexGrid1->contacts(), lastRow);
            MSFlexGrid1->setCol(0);
            leaveCurrentRowAt(lastRow);
            if (const QString refusal = exportRefusal(checked); !refusal.isEmpty()) {
                MessageBox::show(refusal);
                return;
            }

            // The records are collected first and the file replaced in one
            // step, so a failed export leaves an earlier export file whole.
            const QList<ContactRecord> records = checkedContacts(MSFlexGrid1->contacts(), lastRow);
            // The walk that collected them once ended in the last row's last
            // field when that row was checked.
            if (lastRow >= 1 && isChecked(MSFlexGrid1->contacts()[std::size_t(lastRow - 1)].check))
                MSFlexGrid1->setCol(FieldCount);
            writeRecordsAtomically(PsExpPass(), records);
            exported = int(records.size());
        }
        MessageBox::show(exportDoneMessage(exported));
    });
}

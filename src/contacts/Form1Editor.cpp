#include "contacts/Form1.h"

#include "contacts/ContactGrid.h"
#include "editor/Form2.h"
#include "shell/BasCommn.h"
#include "shell/MessageBox.h"

void Form1::CmdSelect_Click()
{
    SearchText.clear();
    const int r = MSFlexGrid1->row();
    // The header row is current only when the grid has no data rows; a
    // contact whose telephone number reads "TEL1" still opens.
    if (r < 1) {
        MessageBox::show(QStringLiteral("更新できるデータがありません"));
        return;
    }
    Pf_WorkClear();
    // A row that couldn't be copied whole has been reported; an editor on a
    // partial record could save it over the real one.
    if (Pf_WorkSet(r))
        return;

    Form2 editor(WorkRecord, [this] { return Pf_TextRead(); }, this);
    editor.exec();
    CurrentFormName = QStringLiteral("Form1");
}

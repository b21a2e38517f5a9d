// Check marks: a click on a row's check cell toggles it; "全チェック" and
// "全クリア" check or uncheck every row. Only the check cells change; the
// data cells keep their colours, including the search highlight.

#include "contacts/Form1.h"

#include "contacts/ContactGrid.h"
#include "contacts/ContactList.h"
#include "contacts/ListRules.h"
#include "shell/BasCommn.h"


void Form1::MSFlexGrid1_Click()
{
    routine(QStringLiteral("MSFlexGrid1_Click"), [this] {
        const int mouseCol = MSFlexGrid1->mouseCol();
        const int mouseRow = MSFlexGrid1->mouseRow();
        if (MSFlexGrid1->row() == 0)
            return; // no data rows
        if (mouseCol != 0)
            return; // a data cell: the click only moves the selection
        // The header row's check cell is no row to check.
        if (mouseRow < 1)
            return;
        MSFlexGrid1->setCol(0);
        MSFlexGrid1->setRow(mouseRow);
        const bool checked = MSFlexGrid1->text() == CheckOn;
        MSFlexGrid1->setText(checked ? CheckOff : CheckOn);
        MSFlexGrid1->setCellBackColor(checked ? Palette::LightGrey : Palette::LightGreen);
    });
}

void Form1::setEveryCheck(bool checked)
{
    const Hourglass hourglass;
    const RedrawOff redrawOff(MSFlexGrid1);
    const int lastRow = lastDataRow();
    MSFlexGrid1->changeContacts([&](ContactRows &rows) { switchEveryCheck(rows, lastRow, checked); });
    // These buttons skip a step that fails and go on.
    skipOnError([&] {
        MSFlexGrid1->setCol(0);
        leaveCurrentRowAt(lastRow);
    });
}

void Form1::CmdChkAll_Click()
{
    setEveryCheck(true);
}

void Form1::CmdChkClear_Click()
{
    setEveryCheck(false);
}

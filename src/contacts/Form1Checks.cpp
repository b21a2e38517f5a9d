// Check marks: a click on a row's check cell toggles it; "全チェック" and
// "全クリア" check or uncheck every row. Only the check cells change; the
// data cells keep their colours, including the search highlight.

#include "contacts/Form1.h"

#include "contacts/ContactGrid.h"
#include "contacts/ListRules.h"
#include "shell/AppError.h"
#include "shell/BasCommn.h"
#include "shell/ErrorReport.h"

static void markChecked(ContactGrid *grid)
{
    grid->setText(CheckOn);
    grid->setCellBackColor(Palette::LightGreen);
}

static void markUnchecked(ContactGrid *grid)
{
    grid->setText(CheckOff);
    grid->setCellBackColor(Palette::LightGrey);
}

void Form1::MSFlexGrid1_Click()
{
    try {
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
        if (MSFlexGrid1->text() == CheckOn)
            markUnchecked(MSFlexGrid1);
        else
            markChecked(MSFlexGrid1);
    } catch (const AppError &e) {
        ErrorReport(QStringLiteral("MSFlexGrid1_Click"), e.number);
        Pf_CtlLock();
    } catch (const std::bad_alloc &) {
        ErrorReport(QStringLiteral("MSFlexGrid1_Click"), ErrNo::OutOfMemory);
        Pf_CtlLock();
    }
}

// Moves every row whose check cell reads `from` to the other state; rows
// already there are left as they are.
static void switchEveryCheck(ContactGrid *grid, int lastRow, const QString &from, void (*mark)(ContactGrid *))
{
    const Hourglass hourglass;
    const RedrawOff redrawOff(grid);
    for (int r = 1; r <= lastRow; ++r) {
        try {
            grid->setCol(0);
            grid->setRow(r);
            if (trimBlanks(grid->text()) == from)
                mark(grid);
        } catch (const AppError &) {
            // These buttons skip a step that fails and go on.
        }
    }
}

void Form1::CmdChkAll_Click()
{
    switchEveryCheck(MSFlexGrid1, lastDataRow(), CheckOff, markChecked);
}

void Form1::CmdChkClear_Click()
{
    switchEveryCheck(MSFlexGrid1, lastDataRow(), CheckOn, markUnchecked);
}

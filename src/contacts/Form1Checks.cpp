// Check marks: a click on a row's check cell toggles it; "全チェック" and
// "全クリア" check or uncheck every row. Only the check cells change; the
// data cells keep their colours, including the search highlight.

#include "contacts/Form1.h"

#include "contacts/ContactGrid.h"
#include "contacts/ListRules.h"
#include "shell/AppError.h"
#include "shell/BasCommn.h"
#include "shell/ErrorReport.h"

#include <algorithm>

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

void Form1::CmdChkAll_Click()
{
    const Hourglass hourglass;
    const RedrawOff redrawOff(MSFlexGrid1);
    const int lastRow = lastDataRow();
    for (int r = 1; r <= lastRow; ++r) {
        MSFlexGrid1->setCol(0);
        MSFlexGrid1->setRow(r);
        if (trimBlanks(MSFlexGrid1->text()) == CheckOff)
            markChecked(MSFlexGrid1);
    }
}

void Form1::CmdChkClear_Click()
{
    const Hourglass hourglass;
    const RedrawOff redrawOff(MSFlexGrid1);
    const int lastRow = lastDataRow();
    for (int r = 1; r <= lastRow; ++r) {
        MSFlexGrid1->setCol(0);
        MSFlexGrid1->setRow(r);
        if (trimBlanks(MSFlexGrid1->text()) == CheckOn)
            markUnchecked(MSFlexGrid1);
    }
}

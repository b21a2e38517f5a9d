// Search: a find-next over the grid as shown. Each click on "検索" walks down
// from the row below the last hit (or from row 1 for a new search) to the
// first row whose cell in the chosen field contains the search text, ignoring
// blanks, letter case, width and hiragana against katakana. No wrap-around.

#include "contacts/Form1.h"

#include "contacts/ContactGrid.h"
#include "contacts/ListRules.h"
#include "shell/AppError.h"
#include "shell/BasCommn.h"
#include "shell/ErrorReport.h"
#include "shell/MessageBox.h"

#include <QComboBox>
#include <QLineEdit>

#include <algorithm>

void Form1::ComSelect_Click()
{
    // A text that is no entry leaves the chosen field as it was.
    const int column = searchColumn(ComSelect->currentText());
    if (column != 0)
        SearchCol = column;
}

void Form1::CmdSearch_Click()
{
    try {
        if (MSFlexGrid1->row() == 0) {
            MessageBox::show(QStringLiteral("検索できるデータがありません"));
            return;
        }
        if (trimBlanks(TextSearch->text()).isEmpty()) {
            MessageBox::show(QStringLiteral("検索文字列を入力して下さい"));
            if (TextSearch->isEnabled())
                TextSearch->setFocus();
            return;
        }
        if (trimBlanks(ComSelect->currentText()).isEmpty()) {
            MessageBox::show(QStringLiteral("項目が選択されていません"));
            if (ComSelect->isEnabled())
                ComSelect->setFocus();
            return;
        }
        {
            const Hourglass hourglass;
            const RedrawOff redrawOff(MSFlexGrid1);
            const int lastRow = lastDataRow();
            const QString sought = foldForSearch(TextSearch->text());
            const bool continuing = trimBlanks(SearchText) == trimBlanks(TextSearch->text()) && HitRow != 0
                && LastSearchCol == SearchCol;
            int from = HitRow + 1;
            if (!continuing) {
                HitRow = 0;
                MSFlexGrid1->setTopRow(1);
                for (int r = 1; r <= lastRow; ++r)
                    Pf_RowColor(false, r);
                from = 1;
            }
            MSFlexGrid1->setCol(SearchCol);
            for (int r = from; r <= lastRow; ++r) {
                MSFlexGrid1->setRow(r);
                if (foldedContains(MSFlexGrid1->text(), sought)) {
                    HitRow = r;
                    Pf_RowColor(true, r);
                    MSFlexGrid1->setCol(SearchCol);
                    MSFlexGrid1->setFocus();
                    MSFlexGrid1->setTopRow(r);
                    break;
                }
            }
            // A continued search that runs off the end keeps its last hit.
            SearchText = TextSearch->text();
            LastSearchCol = SearchCol;
        }
        if (HitRow == 0) {
            MessageBox::show(QStringLiteral("検索結果は0件です"));
            if (TextSearch->isEnabled())
                TextSearch->setFocus();
        }
    } catch (const AppError &e) {
        ErrorReport(QStringLiteral("CmdSearch_Click"), e.number);
        Pf_CtlLock();
    } catch (const std::bad_alloc &) {
        ErrorReport(QStringLiteral("CmdSearch_Click"), ErrNo::OutOfMemory);
        Pf_CtlLock();
    }
}

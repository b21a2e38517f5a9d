// Search: a find-next over the list as shown. Each click on "検索" walks down
// from the row below the last hit (or from row 1 for a new search) to the
// first row whose cell in the chosen field contains the search text, ignoring
// blanks, letter case, width and hiragana against katakana. No wrap-around.
// The walk is findNext over the grid's rows.

#include "contacts/Form1.h"

#include "contacts/ContactGrid.h"
#include "contacts/ContactList.h"
#include "contacts/ListRules.h"
#include "shell/BasCommn.h"
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
    routine(QStringLiteral("CmdSearch_Click"), [this] {
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
                MSFlexGrid1->changeContacts([&](ContactRows &rows) {
                    for (int r = 1; r <= lastRow; ++r)
                        paintRow(rows[std::size_t(r - 1)], Palette::BrightWhite);
                });
                leaveCurrentRowAt(lastRow);
                from = 1;
            }
            MSFlexGrid1->setCol(SearchCol);
            if (const int hit = findNext(MSFlexGrid1->contacts(), SearchCol, sought, from, lastRow)) {
                HitRow = hit;
                Pf_RowColor(true, hit);
                MSFlexGrid1->setCol(SearchCol);
                MSFlexGrid1->setFocus();
                MSFlexGrid1->setTopRow(hit);
            } else if (from <= lastRow) {
                leaveCurrentRowAt(lastRow);
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
    });
}

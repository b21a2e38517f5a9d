// Print: ファイル › 印刷… (Ctrl+P) prints the checked contacts, or every
// contact when none is checked, in the list's order under the headings of
// the rows of the syllabary (printContacts). The printer comes from Qt's
// print dialog, which also offers printing into a PDF file.

#include "contacts/Form1.h"

#include "contacts/ContactGrid.h"
#include "contacts/ContactList.h"
#include "contacts/ContactPrint.h"
#include "contacts/ListRules.h"
#include "shell/MessageBox.h"

#include <QAction>
#include <QMenu>
#include <QPrintDialog>
#include <QPrinter>

namespace {

Form1::PrintDialogHook &printDialogHook()
{
    static Form1::PrintDialogHook hook;
    return hook;
}

bool askForPrinter(QPrinter &printer, QWidget *parent)
{
    if (const Form1::PrintDialogHook &hook = printDialogHook())
        return hook(printer, parent);
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("印刷"));
    return dialog.exec() == QDialog::Accepted;
}

} // namespace

void Form1::setPrintDialogHook(PrintDialogHook hook)
{
    printDialogHook() = std::move(hook);
}

void Form1::addPrintAction()
{
    // Between the export entries and 終了, set off by separators.
    QAction *quit = nullptr;
    for (QAction *action : fileMenu_->actions())
        if (action->objectName() == QLatin1String("ActQuit"))
            quit = action;
    auto *print = new QAction(captions().ActPrint, fileMenu_);
    print->setObjectName(QStringLiteral("ActPrint"));
    print->setShortcut(QKeySequence::Print);
    connect(print, &QAction::triggered, this, &Form1::printList);
    fileMenu_->insertSeparator(quit);
    fileMenu_->insertAction(quit, print);
    fileMenu_->insertSeparator(quit);
}

void Form1::printList()
{
    routine(QStringLiteral("Pf_Print"), [this] {
        const ContactRows &rows = MSFlexGrid1->contacts();
        const int lastRow = lastDataRow();
        QList<ContactRecord> all, checked;
        all.reserve(lastRow);
        for (int r = 1; r <= lastRow; ++r) {
            const ContactRow &row = rows[std::size_t(r - 1)];
            all.append(row.record);
            if (isChecked(row.check))
                checked.append(row.record);
        }
        if (all.isEmpty()) {
            MessageBox::show(QStringLiteral("印刷できるデータがありません"));
            return;
        }
        QPrinter printer(QPrinter::HighResolution);
        printer.setDocName(QStringLiteral("連絡先一覧"));
        if (!askForPrinter(printer, this))
            return;
        if (printContacts(checked.isEmpty() ? all : checked, printer) == 0)
            MessageBox::show(QStringLiteral("印刷できませんでした"));
    });
}

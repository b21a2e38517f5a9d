// 編集 › 元に戻す: the contact list as it was before its last change, put
// back from the undo history as a change of its own (which keeps the list
// it replaces in the history too, so nothing is lost). Each press walks one
// change further back.

#include "contacts/Form1.h"

#include "contacts/ListChanges.h"
#include "shell/AppError.h"
#include "shell/BasConst.h"
#include "shell/History.h"
#include "shell/MessageBox.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>

void Form1::buildUndoAction()
{
    undoAction_ = editMenu_->addAction(captions().ActUndo, this, &Form1::MnuUndo_Click);
    undoAction_->setObjectName(QStringLiteral("ActUndo"));
    undoAction_->setShortcut(QKeySequence::Undo);
    refreshUndoAction();
}

void Form1::refreshUndoAction()
{
    if (undoAction_)
        undoAction_->setEnabled(lastUndoable(PsLoadPass()).has_value());
}

void Form1::MnuUndo_Click()
{
    const QString routine = QStringLiteral("MnuUndo_Click");
    const auto lock = [this] { Pf_CtlLock(); };
    const std::optional<HistoryVersion> version = lastUndoable(PsLoadPass());
    // A locked window (after an error report) changes nothing more.
    if (!version || !CmdImport->isEnabled())
        return;
    if (clearGridFailed(routine))
        return;
    ChangeTransaction change(undoPlan(updatePlan(), *version));
    const ChangeOutcome outcome = change.apply(restoreChange());
    if (outcome.failed()) {
        reportRoutineError(routine, outcome.error, lock);
        return;
    }
    if (outcome.missingFile(ChangeFile::Backup)) {
        MessageBox::showMissingFile(QStringLiteral("PsLoadBackPass"));
        return;
    }
    if (Pf_TextRead())
        return; // it has reported; the backup copy stays
    MessageBox::show(undoneMessage(*version));
    if (const ChangeOutcome cleaned = change.cleanUp(false); cleaned.failed())
        reportRoutineError(routine, cleaned.error, lock);
}

// The grid is emptied and the search forgotten before the list changes
// under them, as the import does.
bool Form1::clearGridFailed(const QString &name)
{
    return routine(name, [this] {
        SearchText.clear();
        Pf_GridInit();
    });
}

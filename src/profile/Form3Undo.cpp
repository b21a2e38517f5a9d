// 元に戻す in the profile window: the profile as it was before its last
// change, from the undo history, like the list window's 編集 › 元に戻す.
// The window's buttons stay as they are: the command is Ctrl+Z (a box being
// typed in undoes its typing first) and the window's context menu.

#include "profile/Form3.h"

#include "profile/Profile.h"
#include "shell/BasConst.h"
#include "shell/ErrorBoundary.h"
#include "shell/History.h"
#include "shell/MessageBox.h"

#include <QAction>
#include <QPushButton>

void Form3::buildUndoAction()
{
    undoAction_ = new QAction(captions().ActMyUndo, this);
    undoAction_->setObjectName(QStringLiteral("ActMyUndo"));
    undoAction_->setShortcut(QKeySequence::Undo);
    connect(undoAction_, &QAction::triggered, this, &Form3::MnuMyUndo_Click);
    addAction(undoAction_);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    refreshUndoAction();
}

void Form3::refreshUndoAction()
{
    undoAction_->setEnabled(CmdUpdate3->isEnabled() && lastUndoable(PsMyLoadPass()).has_value());
}

void Form3::MnuMyUndo_Click()
{
    const QString routine = QStringLiteral("MnuMyUndo_Click");
    const auto lock = [this] { Pf_MyCtlLock(); };
    const std::optional<HistoryVersion> version = lastUndoable(PsMyLoadPass());
    if (!version || !CmdUpdate3->isEnabled())
        return;
    ChangeTransaction change(undoPlan(profileImportPlan(), *version));
    const ChangeOutcome outcome = change.apply(restoreChange());
    if (outcome.failed()) {
        reportRoutineError(routine, outcome.error, lock);
        refreshUndoAction();
        return;
    }
    if (outcome.missingFile(ChangeFile::Backup)) {
        MessageBox::showMissingFile(QStringLiteral("PsMyLoadBackPass"));
        return;
    }
    Pf_MyClear();
    if (Pf_MyTextRead())
        return; // it has reported; the backup copy stays
    MessageBox::show(undoneMessage(*version));
    if (const ChangeOutcome cleaned = change.cleanUp(false); cleaned.failed())
        reportRoutineError(routine, cleaned.error, lock);
    refreshUndoAction();
}

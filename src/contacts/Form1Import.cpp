#include "contacts/Form1.h"

#include "contacts/ListChanges.h"
#include "shell/ErrorBoundary.h"
#include "shell/MessageBox.h"

// The import of received contacts: getData is merged into load.txt through a
// backup copy, and both copies go only once the new list is in the grid.
void Form1::CmdImport_Click()
{
    const QString routine = QStringLiteral("CmdImport_Click");
    const bool prepared = !runRoutine(routine, [this] { Pf_CtlLock(); }, [this] {
        SearchText.clear();
        Pf_GridInit();
    });
    if (!prepared)
        return;

    ChangeTransaction change(importPlan());
    const ChangeOutcome outcome = change.apply(importChange());
    if (outcome.failed()) {
        // The backup copy is this routine's step; the reading, the merge and
        // the rewrite are Pf_GuWork_Set's.
        reportRoutineError(outcome.step == ChangeStep::Backup ? routine : QStringLiteral("Pf_GuWork_Set"),
                           outcome.error, [this] { Pf_CtlLock(); });
        return;
    }
    if (outcome.missingFile(ChangeFile::Backup)) {
        MessageBox::showMissingFile(QStringLiteral("PsLoadBackPass"));
        return;
    }
    if (outcome.missingFile(ChangeFile::Received)) {
        Pf_TextRead();
        MessageBox::showMissingFile(QStringLiteral("PsImpPass"));
        return;
    }
    // A refusal at the limit is no failure, but it keeps getData, so that the
    // import can be repeated once contacts were deleted.
    const bool refused = outcome.kind == ChangeOutcome::Kind::Refused;
    if (refused)
        MessageBox::show(outcome.reason);
    if (Pf_TextRead())
        return; // it has reported; the backup copy stays
    if (const ChangeOutcome cleaned = change.cleanUp(!refused); cleaned.failed())
        reportRoutineError(routine, cleaned.error, [this] { Pf_CtlLock(); });
}

#include "contacts/Form1.h"

#include "contacts/ImportMerge.h"
#include "shell/AppError.h"
#include "shell/BasConst.h"
#include "shell/ErrorReport.h"
#include "shell/MessageBox.h"
#include "shell/RecordFile.h"

#include <new>

// The import of received contacts: getData is merged into load.txt through a
// backup copy, and both copies go only once the new list is in the grid.
void Form1::CmdImport_Click()
{
    try {
        // A received file larger than 10000 contacts can fill is refused
        // before anything is read or written, and kept.
        if (fileExists(PsImpPass()) && receivedFileTooLarge(PsImpPass(), MaxContacts, FieldCount)) {
            MessageBox::show(receivedFileTooLargeMessage());
            return;
        }
        SearchText.clear();
        Pf_GridInit();
        backUpFile(PsLoadPass(), PsLoadBackPass());
        bool failed = Pf_GuWork_Set();
        // A refusal at the limit is no failure, but it keeps getData, so that
        // the import can be repeated once contacts were deleted.
        const bool refused = BackCount + ImpCount > MaxContacts;
        if (!failed)
            failed = Pf_TextRead();
        if (!failed) {
            removeFile(PsLoadBackPass());
            if (!refused)
                removeFile(PsImpPass());
        }
    } catch (const AppError &e) {
        ErrorReport(QStringLiteral("CmdImport_Click"), e.number);
        Pf_CtlLock();
    } catch (const std::bad_alloc &) {
        ErrorReport(QStringLiteral("CmdImport_Click"), ErrNo::OutOfMemory);
        Pf_CtlLock();
    }
}

// Reads getData and the backup copy completely, refuses a list of more than
// MaxContacts, and otherwise rewrites load.txt with the merge of the two.
// Returns failed unless load.txt was rewritten or the import was refused.
bool Form1::Pf_GuWork_Set()
{
    bool failed = true;
    ImpRecords.clear();
    BackRecords.clear();
    ImpCount = 0;
    BackCount = 0;
    try {
        if (!fileExists(PsLoadBackPass())) {
            MessageBox::show(QStringLiteral("該当の取込ファイルがありません(PsLoadBackPass)"));
            return failed;
        }
        if (!fileExists(PsImpPass())) {
            Pf_TextRead();
            MessageBox::show(QStringLiteral("該当の取込ファイルがありません(PsImpPass)"));
            return failed;
        }

        // Each file is read only until the limit is certainly passed, so a
        // huge received file never fills the memory.
        ImpRecords = readRecords(PsImpPass(), FieldCount, MaxContacts);
        ImpCount = int(ImpRecords.size());
        if (ImpCount <= MaxContacts) {
            BackRecords = readRecords(PsLoadBackPass(), FieldCount, MaxContacts - ImpCount);
            BackCount = int(BackRecords.size());
        }

        if (BackCount + ImpCount > MaxContacts)
            MessageBox::show(QStringLiteral("１００００件超えてしまいます。"));
        else
            writeRecordsAtomically(PsLoadPass(), mergeImport(BackRecords, ImpRecords));
        failed = false;
    } catch (const AppError &e) {
        ErrorReport(QStringLiteral("Pf_GuWork_Set"), e.number);
        Pf_CtlLock();
    } catch (const std::bad_alloc &) {
        ErrorReport(QStringLiteral("Pf_GuWork_Set"), ErrNo::OutOfMemory);
        Pf_CtlLock();
    }
    // The lists served this import alone; the grid holds the list from here.
    ImpRecords.clear();
    BackRecords.clear();
    return failed;
}

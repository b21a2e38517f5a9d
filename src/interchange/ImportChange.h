#pragma once

#include "interchange/ContactImport.h"
#include "shell/ChangeTransaction.h"

// The merge of an import's chosen contacts into the contact list, one more
// change through the change transaction.
namespace Interchange {

// The change of the list: the plan (named "vCard・CSV 取込"; no received
// file, the records come from the batch; refused with
// "１００００件超えてしまいます。" when the list and the batch together pass
// MaxContacts) and the function that merges the batch into the current
// records and saves the photos into photoFolder (mode 0700; each file 0600,
// written atomically under a name of its own, put into 顔写真). The function
// adds the added and replaced counts to summary, which must outlive it. The
// plan points at the batch's encoded records: the batch outlives the change.
ChangePlan fileImportPlan(const ImportBatch &batch);
ChangeFunction fileImportChange(ImportBatch batch, const QString &photoFolder, ImportSummary *summary);

struct ImportResult {
    ChangeOutcome outcome;
    ImportSummary summary;
};

// apply() and cleanUp() of the change in one, for callers that show nothing
// in between (the command line). The window calls apply(), reloads, then
// cleanUp(false) itself.
ImportResult runImport(const ImportBatch &batch, ImportSummary summary);

} // namespace Interchange

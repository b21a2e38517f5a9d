#pragma once

#include "contacts/ContactRecord.h"
#include "shell/ChangeTransaction.h"

// The changes of the contact list file, each run by a ChangeTransaction with
// the list's backup copy.

// データ取込: the received contacts merged into the list. Refused when the
// list would hold more than MaxContacts; the received file is deleted only
// once the merge was shown.
ChangePlan importPlan();
ChangeFunction importChange();

// 更新 and 削除 in the editor: the list rewritten from its backup copy.
ChangePlan updatePlan();
ChangePlan deletePlan();
// The edited contact written at its place; oldKey is the contact's key as
// it was opened.
ChangeFunction updateChange(const ContactRecord &edited, const QString &oldKey);
ChangeFunction deleteChange(const QString &oldKey);

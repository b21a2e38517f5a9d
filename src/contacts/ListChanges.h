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
// it was opened. When the list holds another contact with the edited key,
// which the update would replace, it is refused (ChangeRefusal, reason
// replaceQuestion()) unless replaceAllowed: the window asks the user first.
ChangeFunction updateChange(const ContactRecord &edited, const QString &oldKey, bool replaceAllowed = false);
QString replaceQuestion();
ChangeFunction deleteChange(const QString &oldKey);

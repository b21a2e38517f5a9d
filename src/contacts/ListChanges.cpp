#include "contacts/ListChanges.h"

#include "contacts/ImportMerge.h"
#include "editor/ContactUpdate.h"
#include "shell/BasConst.h"

namespace {
ChangePlan listPlan(const QString &name)
{
    ChangePlan plan;
    plan.name = name;
    plan.target = PsLoadPass();
    plan.linesPerRecord = FieldCount;
    plan.backup = PsLoadBackPass();
    plan.readCurrent = true;
    return plan;
}
} // namespace

ChangePlan importPlan()
{
    ChangePlan plan = listPlan(QStringLiteral("データ取込"));
    plan.received = PsImpPass();
    plan.recordLimit = MaxContacts;
    plan.receivedRecordsAtMost = MaxContacts;
    plan.limitReason = QStringLiteral("１００００件超えてしまいます。");
    return plan;
}

ChangeFunction importChange()
{
    return [](const QList<QStringList> &current, const QList<QStringList> &received) {
        return mergeImport(current, received);
    };
}

ChangePlan updatePlan()
{
    return listPlan(QStringLiteral("更新"));
}

ChangePlan deletePlan()
{
    return listPlan(QStringLiteral("削除"));
}

ChangeFunction updateChange(const ContactRecord &edited, const QString &oldKey)
{
    return [edited, oldKey](const QList<QStringList> &current, const QList<QStringList> &) {
        return mergeEdited(current, edited, oldKey);
    };
}

ChangeFunction deleteChange(const QString &oldKey)
{
    return [oldKey](const QList<QStringList> &current, const QList<QStringList> &) {
        return withoutContact(current, oldKey);
    };
}

#include "contacts/ListChanges.h"

#include "contacts/ImportMerge.h"
#include "editor/ContactUpdate.h"
#include "shell/BasConst.h"

#include <algorithm>

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

QString replaceQuestion()
{
    return QStringLiteral("同じ氏名とふりがなの連絡先があります。置き換えますか？");
}

ChangeFunction updateChange(const ContactRecord &edited, const QString &oldKey, bool replaceAllowed)
{
    return [edited, oldKey, replaceAllowed](const QList<QStringList> &current, const QList<QStringList> &) {
        // Decided on the file as it is now, not on the grid: another window's
        // change since the list was shown counts.
        const QString newKey = recordKey(edited);
        if (!replaceAllowed && newKey != oldKey
            && std::any_of(current.cbegin(), current.cend(), [&](const ContactRecord &r) { return hasKey(r, newKey); }))
            throw ChangeRefusal{replaceQuestion()};
        return mergeEdited(current, edited, oldKey);
    };
}

ChangeFunction deleteChange(const QString &oldKey)
{
    return [oldKey](const QList<QStringList> &current, const QList<QStringList> &) {
        return withoutContact(current, oldKey);
    };
}

#include "interchange/ImportChange.h"

#include "contacts/ImportMerge.h"
#include "interchange/FieldMap.h"
#include "shell/BasConst.h"

#include <algorithm>

namespace Interchange {

namespace {
const QString &limitReason()
{
    static const QString reason = QStringLiteral("１００００件超えてしまいます。");
    return reason;
}
} // namespace

ChangePlan fileImportPlan(const ImportBatch &batch)
{
    ChangePlan plan;
    plan.name = QStringLiteral("vCard・CSV 取込");
    plan.target = PsLoadPass();
    plan.linesPerRecord = FieldCount;
    plan.backup = PsLoadBackPass();
    plan.readCurrent = true;
    // No received file: the transaction counts the listed records alone, so
    // the limit is what the batch leaves of MaxContacts (as データ取込, the
    // list and the incoming records are counted whole, replaced or not).
    plan.recordLimit = int(std::max<qsizetype>(0, MaxContacts - batch.records.size()));
    plan.limitReason = limitReason();
    // The records' bytes made by the preview are copied, not encoded again.
    plan.encodedRecords = &batch.encoded;
    return plan;
}

ChangeFunction fileImportChange(ImportBatch batch, const QString &photoFolder, ImportSummary *summary)
{
    return [batch = std::move(batch), photoFolder, summary](const QList<QStringList> &current,
                                                           const QList<QStringList> &) {
        QList<ContactRecord> records = batch.records;
        // Saved only now: a refused change leaves no photo behind.
        for (qsizetype i = 0; i < records.size(); ++i)
            if (!batch.photos.value(i).isEmpty())
                records[i][FieldMap::PhotoField] = savePhoto(photoFolder, batch.photos[i], batch.photoTypes.value(i));
        QList<ContactRecord> merged = mergeImport(current, records);
        summary->replaced = int(current.size() + records.size() - merged.size());
        summary->added = int(records.size()) - summary->replaced;
        return merged;
    };
}

ImportResult runImport(const ImportBatch &batch, ImportSummary summary)
{
    ImportResult result{{}, summary};
    if (batch.records.size() > MaxContacts) {
        result.outcome.kind = ChangeOutcome::Kind::Refused;
        result.outcome.reason = limitReason();
        return result;
    }
    ChangeTransaction change(fileImportPlan(batch));
    result.outcome = change.apply(fileImportChange(batch, photoFolder(), &result.summary));
    if (result.outcome.done())
        result.outcome = change.cleanUp(false);
    else if (result.outcome.kind == ChangeOutcome::Kind::Refused)
        (void)change.cleanUp(false); // the backup of a refused change goes too
    return result;
}

} // namespace Interchange

#include "profile/Profile.h"

#include "contacts/ContactRecord.h"
#include "shell/BasCommn.h"
#include "shell/BasConst.h"
#include "shell/Cp932.h"
#include "shell/RecordFile.h"

const QStringList &profileCaptions()
{
    static const QStringList captions = fieldCaptions().mid(0, ProfileFieldCount);
    return captions;
}

QStringList blankProfile()
{
    return QStringList(ProfileFieldCount, QStringLiteral(" "));
}

ProfileProblem requiredProblem(const QStringList &values)
{
    if (trimBlanks(values.value(ProfileNameField)).isEmpty())
        return {ProfileProblem::NameMissing, ProfileNameField};
    if (trimBlanks(values.value(ProfileReadingField)).isEmpty())
        return {ProfileProblem::ReadingMissing, ProfileReadingField};
    return {};
}

QStringList tidyProfile(const QStringList &values)
{
    QStringList tidied;
    tidied.reserve(ProfileFieldCount);
    for (int i = 0; i < ProfileFieldCount; ++i)
        tidied.append(BlankToSpace(Cp932::foldJisTwins(trimBlanks(values.value(i)))));
    return tidied;
}

ProfileProblem valueProblem(const QStringList &values)
{
    for (int i = 0; i < ProfileFieldCount; ++i)
        if (FieldTooLong(i, values.value(i).size()))
            return {ProfileProblem::TooLong, i};
    for (int i = 0; i < ProfileFieldCount; ++i)
        if (!Cp932::representable(values.value(i)))
            return {ProfileProblem::Unstorable, i};
    return {};
}

QString problemMessage(const ProfileProblem &problem)
{
    switch (problem.kind) {
    case ProfileProblem::NameMissing:
        return QStringLiteral("氏名を入力して下さい");
    case ProfileProblem::ReadingMissing:
        return QStringLiteral("氏名ふりがなを入力して下さい");
    case ProfileProblem::TooLong:
        return profileCaptions().value(problem.field) + QStringLiteral("の入力文字数を減らして下さい");
    case ProfileProblem::Unstorable:
        return profileCaptions().value(problem.field) + QStringLiteral("に保存できない文字が含まれています");
    case ProfileProblem::None:
        break;
    }
    return {};
}

QStringList profileToWrite(const QStringList &tidied)
{
    QStringList record = tidied.mid(0, ProfileFieldCount);
    for (int field : {ProfileNameField, ProfileReadingField})
        record[field].replace(FullBlank, HalfBlank);
    return record;
}

void writeProfile(const QString &path, const QStringList &values)
{
    writeRecordsAtomically(path, {values.mid(0, ProfileFieldCount)});
}

namespace {
ChangePlan profilePlan(const QString &name)
{
    ChangePlan plan;
    plan.name = name;
    plan.target = PsMyLoadPass();
    plan.linesPerRecord = ProfileFieldCount;
    return plan;
}
} // namespace

ChangePlan profileSavePlan()
{
    ChangePlan plan = profilePlan(QStringLiteral("本人更新"));
    plan.whenTargetMissing = ChangePlan::WhenTargetMissing::CreateEmpty;
    return plan;
}

ChangePlan profileBlankPlan()
{
    ChangePlan plan = profilePlan(QStringLiteral("本人削除"));
    plan.whenTargetMissing = ChangePlan::WhenTargetMissing::Stop;
    return plan;
}

ChangePlan profileImportPlan()
{
    ChangePlan plan = profilePlan(QStringLiteral("本人取込"));
    plan.backup = PsMyLoadBackPass();
    plan.received = PsMyImpPass();
    return plan;
}

ChangeFunction profileWriteChange(const QStringList &record)
{
    return [record](const QList<QStringList> &, const QList<QStringList> &) {
        return QList<QStringList>{record.mid(0, ProfileFieldCount)};
    };
}

ChangeFunction profileImportChange(const QStringList &work)
{
    return [work](const QList<QStringList> &, const QList<QStringList> &received) {
        QStringList record = work.mid(0, ProfileFieldCount);
        if (record.size() < ProfileFieldCount)
            record.resize(ProfileFieldCount);
        if (!received.isEmpty())
            for (int i = 0; i < ProfileFieldCount; ++i)
                record[i] = received.last().value(i);
        return QList<QStringList>{record};
    };
}

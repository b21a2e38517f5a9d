#include "shell/History.h"

#include "shell/AppError.h"
#include "shell/BasConst.h"
#include "shell/RecordFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

QString historyFolder()
{
    return QDir(dataFolder()).filePath(QStringLiteral("history"));
}

QString historyStemFor(const QString &target)
{
    if (target == PsLoadPass() || target == PsMyLoadPass())
        return QFileInfo(target).completeBaseName();
    return {};
}

QList<HistoryVersion> historyVersions(const QString &target)
{
    const QString stem = historyStemFor(target);
    QList<HistoryVersion> versions;
    if (stem.isEmpty())
        return versions;
    const QDir folder(historyFolder());
    const QString prefix = stem + u'.';
    for (const QString &name : folder.entryList({prefix + QStringLiteral("*.txt")}, QDir::Files)) {
        // <stem>.<number>.<change>.txt; anything else there is not ours.
        const QString rest = name.mid(prefix.size()).chopped(4);
        const qsizetype dot = rest.indexOf(u'.');
        bool isNumber = false;
        const int number = rest.left(dot).toInt(&isNumber);
        if (dot <= 0 || !isNumber || number <= 0)
            continue;
        versions.append({folder.filePath(name), number, rest.mid(dot + 1)});
    }
    std::sort(versions.begin(), versions.end(),
              [](const HistoryVersion &a, const HistoryVersion &b) { return a.number < b.number; });
    return versions;
}

std::optional<HistoryVersion> lastUndoable(const QString &target)
{
    const QList<HistoryVersion> versions = historyVersions(target);
    for (auto v = versions.crbegin(); v != versions.crend(); ++v)
        if (v->changeName != QStringView(UndoChangeName))
            return *v;
    return std::nullopt;
}

QString keepVersion(const ChangePlan &plan)
{
    if (historyStemFor(plan.target).isEmpty() || !fileExists(plan.target))
        return {};
    ensureFolder(historyFolder());
    const QList<HistoryVersion> versions = historyVersions(plan.target);
    // A change stopped between its link and its rename (a kill, a power cut)
    // left a version that is still the live file: it goes, so that no
    // history file is ever written through the live name.
    for (const HistoryVersion &v : versions)
        if (sameFile(v.path, plan.target))
            removeFile(v.path);
    const int number = versions.isEmpty() ? 1 : versions.last().number + 1;
    QString change = plan.name;
    change.replace(u'/', u'_');
    const QString kept = QDir(historyFolder()).filePath(QStringLiteral("%1.%2.%3.txt")
                                                            .arg(historyStemFor(plan.target))
                                                            .arg(number, 6, 10, QLatin1Char('0'))
                                                            .arg(change));
    if (!linkPrivateFile(plan.target, kept))
        backUpFile(plan.target, kept);
    return kept;
}

void dropVersion(const QString &kept, const QString &target)
{
    // Only while the link is the live file: once the rename went through
    // (its folder sync failed), the version is the one name of the old list.
    if (!kept.isEmpty() && sameFile(kept, target))
        removeFile(kept);
}

void settleHistory(const ChangePlan &plan)
{
    if (historyStemFor(plan.target).isEmpty())
        return;
    if (!plan.restoredVersion.isEmpty()) {
        // The restored version is the live list now; were it left, the next
        // undo would restore it again.
        removeFile(plan.restoredVersion);
        syncFolderNames(historyFolder());
    }
    const QList<HistoryVersion> versions = historyVersions(plan.target);
    for (qsizetype i = 0; i + HistoryDepth < versions.size(); ++i)
        removeFile(versions[i].path);
}

void removeStaleHistoryTemporaries()
{
    static const QRegularExpression temporary(QStringLiteral("^\\.(my)?load\\.[0-9]+\\..*\\.txt\\.[A-Za-z0-9]{6}$"));
    const QDir folder(historyFolder());
    for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (temporary.match(name).hasMatch())
            trapError([&] { removeFile(folder.filePath(name)); });
}

ChangePlan undoPlan(ChangePlan like, const HistoryVersion &version)
{
    like.name = QString::fromUtf16(UndoChangeName);
    like.readCurrent = false;
    like.received.clear();
    like.recordLimit = -1;
    like.restoredVersion = version.path;
    return like;
}

ChangeFunction restoreChange()
{
    return [](const QList<QStringList> &, const QList<QStringList> &) { return QList<QStringList>(); };
}

QString undoneMessage(const HistoryVersion &version)
{
    return version.changeName + QStringLiteral("を元に戻しました");
}

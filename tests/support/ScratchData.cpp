#include "ScratchData.h"

#include "contacts/ContactRecord.h"
#include "shell/BasConst.h"
#include "shell/RecordFile.h"

#include <QDir>
#include <QFile>

ScratchData::ScratchData()
{
    qputenv("XDG_DATA_HOME", dir_.filePath(QStringLiteral("data")).toLocal8Bit());
    const QString runtime = dir_.filePath(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    ensureFolder(dataFolder());
}

ScratchData::~ScratchData()
{
    // Folders made read-only by a test must not outlive it.
    QFile::setPermissions(folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QString ScratchData::folder() const
{
    return dataFolder();
}

QString ScratchData::path(const QString &name) const
{
    return QDir(folder()).filePath(name);
}

void ScratchData::write(const QString &name, const QByteArray &bytes) const
{
    QFile file(path(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path(name)));
}

QByteArray ScratchData::read(const QString &name) const
{
    QFile file(path(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool ScratchData::exists(const QString &name) const
{
    return QFile::exists(path(name));
}

QByteArray recordBytes(const QList<QStringList> &records)
{
    return encodeRecords(records);
}

QStringList contact(const QString &reading, const QString &name, const QString &tag)
{
    QStringList record = emptyContact();
    for (int i = 0; i < FieldCount; ++i)
        record[i] = tag.isEmpty() ? QString() : tag + QString::number(i);
    record[ReadingField] = reading;
    record[NameField] = name;
    return record;
}

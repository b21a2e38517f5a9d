#include "BenchData.h"

#include "ContactGenerator.h"
#include "shell/BasConst.h"
#include "shell/RecordFile.h"

BenchData::BenchData(int contacts, quint32 seed)
{
    qputenv("XDG_DATA_HOME", dir_.filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", dir_.path().toLocal8Bit());
    ensureFolder(dataFolder());
    writeContactFile(PsLoadPass(), generateContacts(contacts, seed));
}

QString BenchData::folder() const
{
    return dataFolder();
}

#include "shell/BasConst.h"

#include <QDir>
#include <QStandardPaths>

QString dataFolder()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(base).filePath(QStringLiteral("Tessaline/Data"));
}

static QString inData(const char *name)
{
    return QDir(dataFolder()).filePath(QString::fromLatin1(name));
}

QString PsLoadPass() { return inData("load.txt"); }
QString PsLoadBackPass() { return inData("cp_load.txt"); }
QString PsImpPass() { return inData("getData"); }
QString PsExpPass() { return inData("pcData"); }
QString PsMyLoadPass() { return inData("myload.txt"); }
QString PsMyLoadBackPass() { return inData("cp_myload.txt"); }
QString PsMyImpPass() { return inData("putData"); }
QString PsLockPass() { return inData("tessaline.lock"); }

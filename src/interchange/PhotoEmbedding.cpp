#include "interchange/PhotoEmbedding.h"

#include "shell/AppError.h"
#include "shell/FileOps.h"
#include "shell/RecordFile.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <sys/stat.h>

static bool isPlainFileName(QStringView name)
{
    if (name.isEmpty() || name.startsWith(u'.'))
        return false;
    for (const QChar c : name) {
        if (c == u'/' || c == u'\\' || c.unicode() < 0x20)
            return false;
    }
    return true;
}

bool mayNamePhotoFile(const QString &folder, QStringView fileName)
{
    return !folder.isEmpty() && isPlainFileName(fileName);
}

std::optional<EmbeddedPhoto> embeddablePhoto(const QString &folder, QStringView fileName)
{
    if (!mayNamePhotoFile(folder, fileName))
        return std::nullopt;
    const QString path = QDir(folder).filePath(fileName.toString());
    struct stat st;
    if (FileOps::stat(QFile::encodeName(path).constData(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return std::nullopt;
        throw AppError{errorNumberFromErrno(errno)};
    }
    if (!S_ISREG(st.st_mode) || st.st_size > MaxEmbeddedPhotoBytes)
        return std::nullopt;
    QByteArray bytes = readWholeFile(path);
    if (bytes.startsWith("\xFF\xD8\xFF"))
        return EmbeddedPhoto{std::move(bytes), "JPEG", "image/jpeg"};
    if (bytes.startsWith("\x89PNG\r\n\x1A\n"))
        return EmbeddedPhoto{std::move(bytes), "PNG", "image/png"};
    if (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a"))
        return EmbeddedPhoto{std::move(bytes), "GIF", "image/gif"};
    return std::nullopt;
}

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>

// A photo file that a vCard carries inside itself.
struct EmbeddedPhoto {
    QByteArray bytes;
    const char *typeName;  // vCard 3.0 TYPE: JPEG, PNG, GIF
    const char *mediaType; // image/jpeg, image/png, image/gif
};

// Photos larger than this stay a file name: phones and Google refuse cards
// of several megabytes.
constexpr qint64 MaxEmbeddedPhotoBytes = 4 * 1024 * 1024;

// The photo named by a 顔写真 value: a plain file name (no folder part) of a
// regular JPEG, PNG or GIF file in folder, at most MaxEmbeddedPhotoBytes.
// Nothing when the value names no such file; throws AppError when the file
// is there but can't be read.
std::optional<EmbeddedPhoto> embeddablePhoto(const QString &folder, QStringView fileName);

// Whether embeddablePhoto looks for a file at all: a folder is given and the
// value is a plain file name.
bool mayNamePhotoFile(const QString &folder, QStringView fileName);

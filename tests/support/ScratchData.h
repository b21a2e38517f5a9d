#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A fresh, empty data location for one test: XDG_DATA_HOME and
// XDG_RUNTIME_DIR point into a temporary folder that goes with the object.
class ScratchData {
public:
    ScratchData();
    ~ScratchData();

    // The program's data folder, created (mode 0700).
    QString folder() const;
    QString path(const QString &name) const;

    void write(const QString &name, const QByteArray &bytes) const;
    QByteArray read(const QString &name) const;
    bool exists(const QString &name) const;

private:
    QTemporaryDir dir_;
};

// Bytes of a record file built from records of values, written with CR LF.
QByteArray recordBytes(const QList<QStringList> &records);

// A contact with the given reading and name and every other field filled
// from a tag, so that records are told apart in assertions.
QStringList contact(const QString &reading, const QString &name, const QString &tag = QString());

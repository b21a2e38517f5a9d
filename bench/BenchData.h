#pragma once

#include <QString>
#include <QTemporaryDir>

// A data folder of its own for a benchmark, holding a generated list file of
// the given size.
class BenchData {
public:
    explicit BenchData(int contacts, quint32 seed = 20261208);
    QString folder() const;

private:
    QTemporaryDir dir_;
};

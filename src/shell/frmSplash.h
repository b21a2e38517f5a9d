#pragma once

#include <QWidget>

// The picture shown while the program starts; no controls, no input.
class frmSplash : public QWidget {
    Q_OBJECT
public:
    explicit frmSplash(QWidget *parent = nullptr);
};

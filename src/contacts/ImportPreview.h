#pragma once

#include "interchange/ContactImport.h"

#include <QDialog>
#include <QList>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;

// The preview of a vCard/CSV import: every incoming contact with its status
// and a check box, the counts, the contacts and fields with characters that
// code page 932 can't store with the choice of what to do with them, what
// the list can't hold, and 取り込む / キャンセル. It only asks: the caller
// merges what ticked() and unstorableChoice() say once it is accepted.
class ImportPreviewDialog : public QDialog {
    Q_OBJECT
public:
    ImportPreviewDialog(const Interchange::ImportPreview &preview, const QList<ContactRecord> &listed,
                        QWidget *parent = nullptr);

    QList<bool> ticked() const;
    Interchange::UnstorableChoice unstorableChoice() const;

    // The status text of a candidate: its status, then 読み推定 and
    // 保存できない文字 where they apply, joined by "・".
    static QString statusText(const Interchange::ImportCandidate &candidate);

private:
    void fillTable(const QList<ContactRecord> &listed);
    void updateCounts();

    const Interchange::ImportPreview &preview_;
    QTableWidget *table_ = nullptr;
    QLabel *counts_ = nullptr;
    QPlainTextEdit *unstorableList_ = nullptr;
    QRadioButton *replaceWithGeta_ = nullptr;
    QRadioButton *leaveOut_ = nullptr;
    QPushButton *importButton_ = nullptr;
    QPushButton *cancelButton_ = nullptr;
};

#pragma once

#include "contacts/ContactRecord.h"
#include "shell/ChangeTransaction.h"

#include <QDialog>
#include <QList>

#include <array>
#include <functional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class ReadingAutoFill;

// The contact editor: the contact it is opened on, shown in twenty labelled
// boxes, updated or deleted in the contact list file.
class Form2 : public QDialog {
    Q_OBJECT
public:
    // reloadList rebuilds the contact list window's grid from the file and
    // returns true when that failed.
    Form2(const ContactRecord &contact, std::function<bool()> reloadList, QWidget *parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Every caption of the window: its title, the field labels and the buttons.
    struct Captions {
        QString windowTitle = QStringLiteral("Tessaline");
        QStringList LblName = fieldCaptions();
        QString CmdUpdate2 = QStringLiteral("更新");
        QString CmdDelete2 = QStringLiteral("削除");
        QString CmdExit_Click2 = QStringLiteral("戻る");
    };
    static const Captions &captions();

    void Form_Load(const ContactRecord &contact);
    void CmdUpdate2_Click();
    void CmdDelete2_Click();
    void CmdExit_Click2_Click();
    void Pf_SelCtlLock();

    QGroupBox *Frame1;
    std::array<QLineEdit *, FieldCount> TexSelData;
    std::array<QLabel *, FieldCount> LblName;
    QPushButton *CmdUpdate2;
    QPushButton *CmdDelete2;
    QPushButton *CmdExit_Click2;

    // Reading and name of the contact as it was opened; the key by which the
    // update and the delete find it.
    QString sFullName;

    void refuse(int field, const QString &message);
    // askConsent, for a change refused until the user agrees: asks, and
    // returns the change to run then, or none.
    void rewriteList(const QString &routine, const ChangePlan &plan, const ChangeFunction &rewrite,
                     const std::function<ChangeFunction()> &askConsent = {});

    std::function<bool()> reloadList_;
    // 氏名ふりがな filled from what is typed into 氏名.
    ReadingAutoFill *readingFill_ = nullptr;
};

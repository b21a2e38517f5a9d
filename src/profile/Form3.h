#pragma once

#include "profile/Profile.h"
#include "shell/ChangeTransaction.h"

#include <QDialog>
#include <QList>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class ReadingAutoFill;

// The own-profile window: the user's own record in 16 boxes, saved with
// "更新", blanked with "削除", replaced by a received profile with "取込".
// It is created anew for every opening and loads the profile file then.
class Form3 : public QDialog {
    Q_OBJECT
public:
    explicit Form3(QWidget *parent = nullptr);

    // Escape and the window's close box leave like "戻る".
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Every caption of the window: its title, the field labels, the buttons
    // and the undo command.
    struct Captions {
        QString windowTitle = QStringLiteral("Tessaline");
        QStringList LblName = profileCaptions();
        QString CmdImport3 = QStringLiteral("取込");
        QString CmdUpdate3 = QStringLiteral("更新");
        QString CmdDelete3 = QStringLiteral("削除");
        QString CmdExit_Click3 = QStringLiteral("戻る");
        QString ActMyUndo = QStringLiteral("元に戻す");
    };
    static const Captions &captions();

    void Form_Load();
    bool Pf_MyTextRead();
    void Pf_MyClear();
    void Pf_MyCtlLock();

    void CmdImport3_Click();
    void CmdUpdate3_Click();
    void CmdDelete3_Click();
    void CmdExit_Click3_Click();

    QGroupBox *Frame1;
    QList<QLabel *> LblName;
    QList<QLineEdit *> TexMyData;
    QPushButton *CmdImport3;
    QPushButton *CmdUpdate3;
    QPushButton *CmdDelete3;
    QPushButton *CmdExit_Click3;

    // 元に戻す (Form3Undo.cpp): Ctrl+Z and the context menu, enabled while
    // the history holds a profile change to undo.
    void buildUndoAction();
    void refreshUndoAction();
    void MnuMyUndo_Click();
    QAction *undoAction_ = nullptr;

    QStringList boxTexts() const;
    void setBoxTexts(const QStringList &values);
    // Runs a profile change and tells its outcome; true when it was done.
    bool writeProfileChange(const QString &routine, const ChangePlan &plan, const ChangeFunction &write);

    // 氏名ふりがな filled from what is typed into 氏名.
    ReadingAutoFill *readingFill_ = nullptr;
};

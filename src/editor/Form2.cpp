#include "editor/Form2.h"

#include "contacts/ListChanges.h"
#include "editor/ContactUpdate.h"
#include "editor/ReadingAutoFill.h"
#include "shell/AppError.h"
#include "shell/BasCommn.h"
#include "shell/BasConst.h"
#include "shell/Controls.h"
#include "shell/Dialogs.h"
#include "shell/ErrorBoundary.h"
#include "shell/MessageBox.h"
#include "shell/RecordFile.h"
#include "shell/Twips.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

Form2::Form2(const ContactRecord &contact, std::function<bool()> reloadList, QWidget *parent)
    : QDialog(parent)
    , reloadList_(std::move(reloadList))
{
    setObjectName(QStringLiteral("Form2"));
    const Captions &caption = captions();
    setWindowTitle(caption.windowTitle);
    setAccessibleName(caption.windowTitle);
    setAttribute(Qt::WA_WindowPropagation); // the contact list window's font
    setFixedSize(twips(12270), twips(8625));

    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twipsRect(120, 120, 12015, 7575));

    for (int i = 0; i < FieldCount; ++i) {
        const int left = i < 10 ? 120 : 6120;
        const int top = 600 + 720 * (i % 10);

        LblName[i] = new QLabel(caption.LblName[i], Frame1);
        LblName[i]->setObjectName(QStringLiteral("LblName_%1").arg(i));
        LblName[i]->setGeometry(twipsRect(left, top - 360, 5775, 255));

        TexSelData[i] = new QLineEdit(Frame1);
        TexSelData[i]->setObjectName(QStringLiteral("TexSelData_%1").arg(i));
        TexSelData[i]->setAccessibleName(caption.LblName[i]);
        // 345 twips high rather than 270: a Japanese font's line needs the
        // room, and the box still ends above the next label.
        TexSelData[i]->setGeometry(twipsRect(left, top, 5775, 345));
        LblName[i]->setBuddy(TexSelData[i]);
    }

    CmdUpdate2 = makeButton(this, "CmdUpdate2", caption.CmdUpdate2, twipsRect(8160, 7920, 1215, 495), EnterPresses::Nothing);
    CmdDelete2 = makeButton(this, "CmdDelete2", caption.CmdDelete2, twipsRect(9480, 7920, 1215, 495), EnterPresses::Nothing);
    CmdExit_Click2 = makeButton(this, "CmdExit_Click2", caption.CmdExit_Click2, twipsRect(10800, 7920, 1215, 495), EnterPresses::Nothing);

    // Tab order: the left column downwards, the right column downwards, then
    // update, delete, back.
    QList<QWidget *> tabOrder(TexSelData.begin(), TexSelData.end());
    tabOrder << CmdUpdate2 << CmdDelete2 << CmdExit_Click2;
    setTabOrderChain(tabOrder);
    selectAllOnFocus(this, QList<QLineEdit *>(TexSelData.begin(), TexSelData.end()));

    connect(CmdUpdate2, &QPushButton::clicked, this, &Form2::CmdUpdate2_Click);
    connect(CmdDelete2, &QPushButton::clicked, this, &Form2::CmdDelete2_Click);
    connect(CmdExit_Click2, &QPushButton::clicked, this, &Form2::CmdExit_Click2_Click);

    Form_Load(contact);
    // After the load: the contact's own name and reading are where it starts.
    readingFill_ = new ReadingAutoFill(TexSelData[NameField], TexSelData[ReadingField],
                                       ReadingAutoFill::windowGuesser(), this);
    TexSelData[NameField]->setFocus();
}

const Form2::Captions &Form2::captions()
{
    static const Captions table;
    return table;
}

void Form2::Form_Load(const ContactRecord &contact)
{
    runRoutine(QStringLiteral("Form_Load"), [this] { Pf_SelCtlLock(); }, [&] {
        CurrentFormName = QStringLiteral("Form2");
        sFullName.clear();
        sFullName = trimBlanks(contact.value(ReadingField)) + trimBlanks(contact.value(NameField));
        for (int i = 0; i < FieldCount; ++i)
            TexSelData[i]->setText(trimBlanks(contact.value(i)));
    });
}

void Form2::CmdExit_Click2_Click()
{
    reject();
}

void Form2::Pf_SelCtlLock()
{
    lockDialog(this, CmdExit_Click2);
}

void Form2::refuse(int field, const QString &message)
{
    MessageBox::show(message);
    TexSelData[field]->setFocus();
}

void Form2::CmdUpdate2_Click()
{
    if (trimBlanks(TexSelData[NameField]->text()).isEmpty()) {
        refuse(NameField, QStringLiteral("氏名を入力して下さい"));
        return;
    }
    if (trimBlanks(TexSelData[ReadingField]->text()).isEmpty()) {
        refuse(ReadingField, QStringLiteral("氏名ふりがなを入力して下さい"));
        return;
    }

    ContactRecord edited;
    for (int i = 0; i < FieldCount; ++i) {
        TexSelData[i]->setText(cleanValue(TexSelData[i]->text()));
        edited.append(TexSelData[i]->text());
    }

    if (const int i = firstTooLongField(edited); i >= 0) {
        refuse(i, LblName[i]->text() + QStringLiteral("の入力文字数を減らして下さい"));
        return;
    }
    // A character without a code would be written as a substitute and lost.
    if (const int i = firstUnencodableField(edited); i >= 0) {
        refuse(i, LblName[i]->text() + QStringLiteral("に保存できない文字が含まれています"));
        return;
    }

    const QString oldKey = recordKey(sFullName, QString());
    rewriteList(QStringLiteral("CmdUpdate2_Click"), updatePlan(), updateChange(edited, oldKey), [&] {
        // The file holds another contact with the new reading and name.
        if (MessageBox::ask(replaceQuestion()) != MessageBox::Answer::Yes)
            return ChangeFunction();
        return updateChange(edited, oldKey, true);
    });
}

void Form2::CmdDelete2_Click()
{
    rewriteList(QStringLiteral("CmdDelete2_Click"), deletePlan(), deleteChange(recordKey(sFullName, QString())));
}

// The list rewritten through its backup copy; then the editor closes, the
// grid is reloaded, and the backup copy goes only once the reload succeeded.
void Form2::rewriteList(const QString &routine, const ChangePlan &plan, const ChangeFunction &rewrite,
                        const std::function<ChangeFunction()> &askConsent)
{
    const auto lock = [this] { Pf_SelCtlLock(); };
    ChangeTransaction change(plan);
    ChangeOutcome outcome = change.apply(rewrite);
    if (outcome.kind == ChangeOutcome::Kind::Refused && askConsent) {
        // Asked with nothing written; then run again on the file as it is
        // then, or, on いいえ, the backup goes and the editor stays open.
        const ChangeFunction consented = askConsent();
        if (!consented) {
            if (const ChangeOutcome cleaned = change.cleanUp(false); cleaned.failed())
                reportRoutineError(routine, cleaned.error, lock);
            return;
        }
        outcome = change.apply(consented);
    }
    if (outcome.failed()) {
        reportRoutineError(routine, outcome.error, lock);
        return;
    }
    if (outcome.missingFile(ChangeFile::Backup)) {
        MessageBox::showMissingFile(QStringLiteral("PsLoadBackPass"));
        return;
    }
    CmdExit_Click2_Click();
    if (reloadList_())
        return;
    if (const ChangeOutcome cleaned = change.cleanUp(false); cleaned.failed())
        reportRoutineError(routine, cleaned.error, lock);
}

void Form2::keyPressEvent(QKeyEvent *event)
{
    if (!enterPressesFocusedButton(this, event))
        QDialog::keyPressEvent(event);
}

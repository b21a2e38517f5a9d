#include "profile/Form3.h"

#include "contacts/ContactGrid.h"
#include "contacts/ContactRecord.h"
#include "editor/ReadingAutoFill.h"
#include "profile/Profile.h"
#include "shell/AppError.h"
#include "shell/BasCommn.h"
#include "shell/BasConst.h"
#include "shell/Controls.h"
#include "shell/Dialogs.h"
#include "shell/Desktop.h"
#include "shell/ErrorBoundary.h"
#include "shell/MessageBox.h"
#include "shell/RecordFile.h"
#include "shell/Twips.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

namespace {

// Measures in twips. Two columns of eight fields, each label just above its
// box; the buttons in one row under the frame, flush with its right edge.
constexpr int kFrameLeft = 120, kFrameTop = 60, kFrameWidth = 8760, kFrameHeight = 5790;
constexpr int kColumnLeft[2] = {240, 4500};
constexpr int kBoxWidth = 4020;
constexpr int kFirstRowTop = 150, kRowPitch = 690;
constexpr int kLabelHeight = 270, kBoxHeight = 345;
constexpr int kButtonTop = 5970, kButtonWidth = 1215, kButtonHeight = 495, kButtonPitch = 1305;
constexpr int kFormWidth = 9000, kFormHeight = 6600;

const QString kCreatedMessage = QStringLiteral("該当の取込ファイルがありません。新規作成します。");

QPushButton *placeButton(QWidget *parent, const char *name, const QString &caption, int slot)
{
    // No button is the default: Enter in a box must not save (see keyPressEvent).
    const int right = kFrameLeft + kFrameWidth;
    return makeButton(parent, name, caption,
                      twipsRect(right - kButtonWidth - (3 - slot) * kButtonPitch, kButtonTop, kButtonWidth,
                                kButtonHeight),
                      EnterPresses::Nothing);
}

} // namespace

Form3::Form3(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form3"));
    const Captions &caption = captions();
    setWindowTitle(caption.windowTitle);
    setAccessibleName(caption.windowTitle);
    setFont(windowFont());
    setFixedSize(twips(kFormWidth), twips(kFormHeight));

    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twipsRect(kFrameLeft, kFrameTop, kFrameWidth, kFrameHeight));

    for (int i = 0; i < ProfileFieldCount; ++i) {
        const int left = kColumnLeft[i / 8];
        const int top = kFirstRowTop + (i % 8) * kRowPitch;

        auto *label = new QLabel(caption.LblName[i], Frame1);
        label->setObjectName(QStringLiteral("LblName_%1").arg(i));
        label->setGeometry(twipsRect(left, top, kBoxWidth, kLabelHeight));
        LblName.append(label);

        auto *box = new QLineEdit(Frame1);
        box->setObjectName(QStringLiteral("TexMyData_%1").arg(i));
        box->setAccessibleName(caption.LblName[i]);
        box->setGeometry(twipsRect(left, top + kLabelHeight, kBoxWidth, kBoxHeight));
        label->setBuddy(box);
        TexMyData.append(box);
    }

    CmdImport3 = placeButton(this, "CmdImport3", caption.CmdImport3, 0);
    CmdUpdate3 = placeButton(this, "CmdUpdate3", caption.CmdUpdate3, 1);
    CmdDelete3 = placeButton(this, "CmdDelete3", caption.CmdDelete3, 2);
    CmdExit_Click3 = placeButton(this, "CmdExit_Click3", caption.CmdExit_Click3, 3);

    // Tab order: the boxes by field, then save, delete, back, and import last.
    QList<QWidget *> tabOrder(TexMyData.cbegin(), TexMyData.cend());
    tabOrder << CmdUpdate3 << CmdDelete3 << CmdExit_Click3 << CmdImport3;
    setTabOrderChain(tabOrder);
    selectAllOnFocus(this, TexMyData);

    connect(CmdImport3, &QPushButton::clicked, this, &Form3::CmdImport3_Click);
    connect(CmdUpdate3, &QPushButton::clicked, this, &Form3::CmdUpdate3_Click);
    connect(CmdDelete3, &QPushButton::clicked, this, &Form3::CmdDelete3_Click);
    connect(CmdExit_Click3, &QPushButton::clicked, this, &Form3::CmdExit_Click3_Click);

    Form_Load();
    buildUndoAction();
    // After the load: the profile's own name and reading are where it starts.
    readingFill_ = new ReadingAutoFill(TexMyData[NameField], TexMyData[ReadingField], ReadingAutoFill::windowGuesser(), this);
    TexMyData[0]->setFocus();
}

const Form3::Captions &Form3::captions()
{
    static const Captions table;
    return table;
}

void Form3::Form_Load()
{
    runRoutine(QStringLiteral("Form_Load"), [this] { Pf_MyCtlLock(); }, [this] {
        CurrentFormName = QStringLiteral("Form3");
        Pf_MyClear();
        Pf_MyTextRead();
    });
}

bool Form3::Pf_MyTextRead()
{
    bool failed = true;
    runRoutine(QStringLiteral("Pf_MyTextRead"), [this] { Pf_MyCtlLock(); }, [&] {
        if (!fileExists(PsMyLoadPass())) {
            writeProfile(PsMyLoadPass(), blankProfile());
            MessageBox::show(kCreatedMessage);
            return;
        }
        RecordReader reader(PsMyLoadPass(), ProfileFieldCount);
        const Hourglass hourglass;
        QStringList record;
        while (reader.next(record)) {
            for (int i = 0; i < ProfileFieldCount; ++i)
                WorkRecord[i] = record[i];
            setBoxTexts(WorkRecord.mid(0, ProfileFieldCount));
        }
        failed = false;
    });
    return failed;
}

void Form3::Pf_MyClear()
{
    for (QLineEdit *box : std::as_const(TexMyData))
        skipOnError([&] { box->clear(); });
    skipOnError([] { Pf_WorkClear(); });
}

void Form3::Pf_MyCtlLock()
{
    lockDialog(this, CmdExit_Click3);
}

QStringList Form3::boxTexts() const
{
    QStringList values;
    for (const QLineEdit *box : TexMyData)
        values.append(box->text());
    return values;
}

void Form3::setBoxTexts(const QStringList &values)
{
    {
        // A loaded name is no typing: nothing is guessed for it.
        const QSignalBlocker quiet(TexMyData[NameField]);
        for (int i = 0; i < ProfileFieldCount; ++i)
            TexMyData[i]->setText(values[i]);
    }
    if (readingFill_)
        readingFill_->reset();
}

void Form3::CmdUpdate3_Click()
{
    const QString routine = QStringLiteral("CmdUpdate3_Click");
    QStringList values;
    const bool failed = runRoutine(routine, [this] { Pf_MyCtlLock(); }, [&] {
        if (const ProfileProblem problem = requiredProblem(boxTexts())) {
            MessageBox::show(problemMessage(problem));
            TexMyData[problem.field]->setFocus();
            return;
        }
        const QStringList tidied = tidyProfile(boxTexts());
        setBoxTexts(tidied);
        if (const ProfileProblem problem = valueProblem(tidied)) {
            MessageBox::show(problemMessage(problem));
            TexMyData[problem.field]->setFocus();
            return;
        }
        values = tidied;
    });
    if (failed || values.isEmpty())
        return;
    // The file went missing while the window was open: an empty one is made,
    // and the next click saves into it.
    if (writeProfileChange(routine, profileSavePlan(), profileWriteChange(profileToWrite(values))))
        CmdExit_Click3_Click();
}

void Form3::CmdDelete3_Click()
{
    if (writeProfileChange(QStringLiteral("CmdDelete3_Click"), profileBlankPlan(), profileWriteChange(blankProfile())))
        CmdExit_Click3_Click();
}

bool Form3::writeProfileChange(const QString &routine, const ChangePlan &plan, const ChangeFunction &write)
{
    const ChangeOutcome outcome = ChangeTransaction(plan).apply(write);
    if (outcome.failed())
        reportRoutineError(routine, outcome.error, [this] { Pf_MyCtlLock(); });
    else if (outcome.missingFile(ChangeFile::Target) && plan.whenTargetMissing == ChangePlan::WhenTargetMissing::CreateEmpty)
        MessageBox::show(kCreatedMessage);
    else if (outcome.missingFile(ChangeFile::Target))
        MessageBox::showMissingFile(QStringLiteral("PsMyLoadPass"));
    return outcome.done();
}

void Form3::CmdImport3_Click()
{
    const QString routine = QStringLiteral("CmdImport3_Click");
    const auto lock = [this] { Pf_MyCtlLock(); };
    ChangeTransaction change(profileImportPlan());
    ChangeOutcome outcome;
    {
        const Hourglass hourglass;
        // Written exactly as received: the checks apply when the user saves.
        outcome = change.apply(profileImportChange(WorkRecord));
    }
    if (outcome.failed()) {
        reportRoutineError(routine, outcome.error, lock);
        return;
    }
    if (outcome.missingFile(ChangeFile::Backup)) {
        MessageBox::showMissingFile(QStringLiteral("PsMyLoadBackPass"));
        return;
    }
    const bool received = !outcome.missingFile(ChangeFile::Received);
    if (!received)
        MessageBox::showMissingFile(QStringLiteral("PsMyImpPass"));
    else if (Pf_MyTextRead())
        return; // it has reported; the backup and the received file stay
    if (const ChangeOutcome cleaned = change.cleanUp(received); cleaned.failed())
        reportRoutineError(routine, cleaned.error, lock);
    refreshUndoAction();
}

void Form3::CmdExit_Click3_Click()
{
    QDialog::reject();
}

void Form3::reject()
{
    CmdExit_Click3_Click();
}

void Form3::keyPressEvent(QKeyEvent *event)
{
    if (!enterPressesFocusedButton(this, event))
        QDialog::keyPressEvent(event);
}

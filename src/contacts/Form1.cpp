#include "contacts/Form1.h"

#include "contacts/ContactGrid.h"
#include "shell/BasCommn.h"
#include "shell/BasConst.h"
#include "shell/Controls.h"
#include "shell/Desktop.h"
#include "shell/Dialogs.h"
#include "shell/ErrorBoundary.h"
#include "shell/MessageBox.h"
#include "shell/RecordFile.h"
#include "shell/Twips.h"

#include <QAction>
#include <QMenu>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

const QString kGridFormat = QStringLiteral(
    "      |氏名|TEL1|Mail1|所属先1|所属先2|住所|最寄駅|アピール文|役職|氏名ふりがな|TEL2|"
    "Mail2|FAX|URL|顔写真|地図|イベント名|日付|場所|コメント");

const int kGridColumnTwips[21] = {600,  2100, 1800, 4100, 2000, 2000, 2800,
                                  1500, 8300, 1300, 3850, 1800, 4100, 1100,
                                  4100, 4100, 4100, 2500, 1800, 2500, 3000};

const QStringList kSearchFields = {
    QStringLiteral("氏名"),     QStringLiteral("TEL1"),     QStringLiteral("MAIL1"),
    QStringLiteral("所属先1"),  QStringLiteral("所属先2"),  QStringLiteral("アピール文"),
    QStringLiteral("TEL2"),     QStringLiteral("MAIL2"),    QStringLiteral("イベント"),
    QStringLiteral("日付"),     QStringLiteral("場所")};

Form1::Form1(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Form1"));
    const Captions &caption = captions();
    setWindowTitle(caption.windowTitle);
    setAccessibleName(caption.windowTitle);
    setFixedSize(twips(12810), twips(9000));
    setFont(windowFont());

    MSFlexGrid1 = new ContactGrid(this);
    MSFlexGrid1->setObjectName(QStringLiteral("MSFlexGrid1"));
    MSFlexGrid1->setAccessibleName(caption.MSFlexGrid1);
    MSFlexGrid1->setGeometry(twipsRect(150, 120, 12495, 7815));

    CmdChkAll = makeButton(this, "CmdChkAll", caption.CmdChkAll, twipsRect(240, 8250, 1035, 315), EnterPresses::FocusedButton);
    CmdChkClear = makeButton(this, "CmdChkClear", caption.CmdChkClear, twipsRect(240, 8580, 1035, 315), EnterPresses::FocusedButton);
    ComMyData = makeButton(this, "ComMyData", caption.ComMyData, twipsRect(1680, 8280, 1215, 615), EnterPresses::FocusedButton);
    CmdImport = makeButton(this, "CmdImport", caption.CmdImport, twipsRect(3630, 8280, 1215, 615), EnterPresses::FocusedButton);
    CmdExport = makeButton(this, "CmdExport", caption.CmdExport, twipsRect(4920, 8280, 1215, 615), EnterPresses::FocusedButton);

    TextSearch = new QLineEdit(this);
    TextSearch->setObjectName(QStringLiteral("TextSearch"));
    TextSearch->setAccessibleName(caption.TextSearch);
    // 345 twips high rather than 270: a Japanese font's line needs the room,
    // and it still ends above the field selector.
    TextSearch->setGeometry(twipsRect(7080, 8280, 1455, 345));
    selectAllOnFocus(this, {TextSearch});

    // A drop-down list that can't be typed into: a search never runs on a
    // column that wasn't chosen.
    ComSelect = new QComboBox(this);
    ComSelect->setObjectName(QStringLiteral("ComSelect"));
    ComSelect->setAccessibleName(caption.ComSelect);
    ComSelect->setEditable(false);
    ComSelect->setGeometry(twipsRect(7080, 8640, 1455, 300));

    CmdSearch = makeButton(this, "CmdSearch", caption.CmdSearch, twipsRect(8640, 8280, 1215, 615), EnterPresses::FocusedButton);
    CmdSelect = makeButton(this, "CmdSelect", caption.CmdSelect, twipsRect(9960, 8280, 1215, 615), EnterPresses::FocusedButton);
    CmdExit = makeButton(this, "CmdExit", caption.CmdExit, twipsRect(11250, 8280, 1215, 615), EnterPresses::FocusedButton);

    // Tab order: import, export, search text, field, search, editor, exit,
    // profile, check all, clear all, grid.
    setTabOrderChain({CmdImport, CmdExport, TextSearch, ComSelect, CmdSearch, CmdSelect, CmdExit, ComMyData,
                      CmdChkAll, CmdChkClear, MSFlexGrid1});
    // Tab leaves the grid for the next control instead of walking its cells,
    // so the keyboard never gets stuck in it.
    MSFlexGrid1->setTabKeyNavigation(false);

    connect(CmdExit, &QPushButton::clicked, this, &Form1::CmdExit_Click);
    connect(CmdSelect, &QPushButton::clicked, this, &Form1::CmdSelect_Click);
    connect(ComMyData, &QPushButton::clicked, this, &Form1::ComMyData_Click);
    connect(MSFlexGrid1, &ContactGrid::cellClicked, this, &Form1::MSFlexGrid1_Click);
    connect(CmdChkAll, &QPushButton::clicked, this, &Form1::CmdChkAll_Click);
    connect(CmdChkClear, &QPushButton::clicked, this, &Form1::CmdChkClear_Click);
    connect(ComSelect, &QComboBox::activated, this, &Form1::ComSelect_Click);
    connect(CmdSearch, &QPushButton::clicked, this, &Form1::CmdSearch_Click);
    connect(CmdExport, &QPushButton::clicked, this, &Form1::CmdExport_Click);
    connect(CmdImport, &QPushButton::clicked, this, &Form1::CmdImport_Click);

    buildMenuBar();
    buildUndoAction();
    Form_Load();
    QTimer::singleShot(0, CmdImport, qOverload<>(&QWidget::setFocus));
}

const Form1::Captions &Form1::captions()
{
    static const Captions table;
    return table;
}

void Form1::Form_Load()
{
    routine(QStringLiteral("Form_Load"), [this] {
        Pf_GridInit();
        Pf_TextRead();
    });
}

void Form1::Pf_GridInit()
{
    ContactGrid *grid = MSFlexGrid1;
    skipOnError([&] {
        grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        grid->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    });
    skipOnError([&] { grid->setRows(1); });
    skipOnError([&] { grid->setFormatString(kGridFormat); });
    skipOnError([&] { grid->setWordWrap(true); });
    skipOnError([&] {
        QPalette pal = grid->palette();
        pal.setColor(QPalette::Highlight, Palette::Black);
        pal.setColor(QPalette::HighlightedText, Palette::LightYellow);
        pal.setColor(QPalette::Base, Palette::BrightWhite);
        grid->setPalette(pal);
    });
    for (int c = 0; c < 21; ++c)
        skipOnError([&] { grid->setColWidth(c, kGridColumnTwips[c]); });
    TextSearch->clear();
    ComSelect->clear();
    ComSelect->addItems(kSearchFields);
    ComSelect->setCurrentIndex(-1);
}

bool Form1::Pf_TextRead()
{
    bool failed = true;
    MSFlexGrid1->setRows(1);
    RowCount = 0;
    routine(QStringLiteral("Pf_TextRead"), [&] {
        if (!fileExists(PsLoadPass())) {
            MessageBox::show(QStringLiteral("該当の取込ファイルがありません"));
            return;
        }
        RecordReader reader(PsLoadPass(), FieldCount);
        const Hourglass hourglass;
        const RedrawOff redrawOff(MSFlexGrid1);
        while (reader.next(WorkRecord)) {
            MSFlexGrid1->setRows(MSFlexGrid1->rows() + 1);
            RowCount = RowCount + 1;
            if (Pf_GridSet(RowCount))
                return;
        }
        failed = false;
    });
    refreshUndoAction();
    return failed;
}

bool Form1::Pf_GridSet(int row)
{
    return routine(QStringLiteral("Pf_GridSet"), [&] {
        MSFlexGrid1->setRow(row);
        MSFlexGrid1->setRowHeight(row, 450);
        MSFlexGrid1->setCol(0);
        MSFlexGrid1->setText(QStringLiteral("OFF"));
        for (int c = 1; c <= FieldCount; ++c) {
            MSFlexGrid1->setCol(c);
            MSFlexGrid1->setText(WorkRecord.value(c - 1));
        }
    });
}

bool Form1::Pf_WorkSet(int row)
{
    return routine(QStringLiteral("Pf_WorkSet"), [&] {
        MSFlexGrid1->setRow(row);
        for (int c = 1; c <= FieldCount; ++c) {
            MSFlexGrid1->setCol(c);
            WorkRecord[c - 1] = BlankToSpace(MSFlexGrid1->text());
        }
    });
}

void Form1::Pf_RowColor(bool highlight, int row)
{
    const QRgb color = highlight ? Palette::LightCyan : Palette::BrightWhite;
    skipOnError([&] { MSFlexGrid1->setRow(row); });
    for (int c = 1; c <= FieldCount; ++c) {
        skipOnError([&] {
            MSFlexGrid1->setCol(c);
            MSFlexGrid1->setCellBackColor(color);
        });
    }
}

void Form1::Pf_CtlLock()
{
    const QList<QWidget *> inputs = {MSFlexGrid1, CmdChkAll, CmdChkClear, TextSearch, ComSelect, CmdSearch,
                                     CmdSelect,   ComMyData, CmdImport,   CmdExport};
    for (QWidget *control : inputs)
        control->setEnabled(false);
    // Of the menus' commands only 終了 still works, like the button.
    const QList<QAction *> actions = findChildren<QAction *>();
    for (QAction *action : actions)
        if (!action->menu())
            action->setEnabled(action->objectName() == QLatin1String("ActQuit"));
    setEnabled(true);
    CmdExit->setEnabled(true);
}

const ContactRows &Form1::contacts() const
{
    return MSFlexGrid1->contacts();
}

void Form1::leaveCurrentRowAt(int lastRow)
{
    if (lastRow >= 1)
        MSFlexGrid1->setRow(lastRow);
}

int Form1::lastDataRow() const
{
    return std::min(RowCount, MSFlexGrid1->rows() - 1);
}

void Form1::CmdExit_Click()
{
    close();
}

void Form1::keyPressEvent(QKeyEvent *event)
{
    if (!enterPressesFocusedButton(this, event))
        QWidget::keyPressEvent(event);
}

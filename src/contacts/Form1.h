#pragma once

#include "contacts/ContactList.h"
#include "contacts/ContactRecord.h"
#include "interchange/ContactExport.h"
#include "shell/ErrorBoundary.h"

#include <QList>
#include <QWidget>

#include <functional>

class ContactGrid;
class QAction;
class QComboBox;
class QLineEdit;
class QMenu;
class QPrinter;
class QPushButton;

// The contact list window: the grid of every contact, the check marks, the
// search, the import and export, and the buttons that open the editor and
// the own-profile window.
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(QWidget *parent = nullptr);

    // Reads the contact list file into the grid again; true when that failed
    // (it has been reported). The editor is given it as its reload.
    bool Pf_TextRead();

    // The contacts as the list shows them, for the features that read the
    // whole list (type-ahead, print, export).
    const ContactRows &contacts() const;
    // The number of contacts the last read of the list file put in the grid.
    int rowCount() const { return RowCount; }
    // The search as it stands: the row of the last hit (0: none), the text
    // the last search ran with (empty: the next one starts at row 1 again),
    // and the grid column of the field chosen for the next one (0: none yet),
    // which stays chosen when the selector is refilled.
    int searchHitRow() const { return HitRow; }
    const QString &lastSearchText() const { return SearchText; }
    int chosenSearchColumn() const { return SearchCol; }

    // vCard and CSV exchange (ファイル menu and dropped files).
    // importContactFiles reads the files, shows the preview and merges what
    // the user chose; exportContactsTo writes the checked contacts (every
    // contact when none is checked) to path, replacing it atomically.
    void importContactFiles(const QStringList &files);
    bool exportContactsTo(const QString &path, ExportFormat format);

    // Asks for the printer and returns false when the user cancelled. Qt's
    // print dialog unless a hook is set (window tests set one that prints
    // to a PDF); an empty hook brings the dialog back.
    using PrintDialogHook = std::function<bool(QPrinter &printer, QWidget *parent)>;
    static void setPrintDialogHook(PrintDialogHook hook);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // Every caption of the window's buttons, menus and commands, and the
    // names by which assistive technology reads its controls.
    struct Captions {
        QString windowTitle = QStringLiteral("Tessaline");
        QString MSFlexGrid1 = QStringLiteral("連絡先一覧");
        QString CmdChkAll = QStringLiteral("全チェック");
        QString CmdChkClear = QStringLiteral("全クリア");
        QString ComMyData = QStringLiteral("本人画面");
        QString CmdImport = QStringLiteral("データ取込");
        QString CmdExport = QStringLiteral("データ出力");
        QString TextSearch = QStringLiteral("検索文字列");
        QString ComSelect = QStringLiteral("検索項目");
        QString CmdSearch = QStringLiteral("検索");
        QString CmdSelect = QStringLiteral("更新画面");
        QString CmdExit = QStringLiteral("終了");
        QString FileMenu = QStringLiteral("ファイル(&F)");
        QString EditMenu = QStringLiteral("編集(&E)");
        QString ActImportFiles = QStringLiteral("vCard・CSV を取り込む…");
        QString ActExportVCard = QStringLiteral("vCard で書き出す…");
        QString ActExportCsv = QStringLiteral("CSV で書き出す…");
        QString ActPrint = QStringLiteral("印刷…");
        QString ActQuit = QStringLiteral("終了");
        QString ActUndo = QStringLiteral("元に戻す");
    };
    static const Captions &captions();

    // Load and grid set-up.
    void Form_Load();
    void Pf_GridInit();
    void Pf_RowColor(bool highlight, int row);
    void Pf_CtlLock();

    // The grid rows and the work record.
    bool Pf_GridSet(int row);
    bool Pf_WorkSet(int row);

    // Check marks.
    void MSFlexGrid1_Click();
    void CmdChkAll_Click();
    void CmdChkClear_Click();

    // Search.
    void ComSelect_Click();
    void CmdSearch_Click();

    // Import and export.
    void CmdImport_Click();
    void CmdExport_Click();

    // The editor and the own-profile window.
    void CmdSelect_Click();
    void ComMyData_Click();

    void CmdExit_Click();

    ContactGrid *MSFlexGrid1;
    QPushButton *CmdChkAll;
    QPushButton *CmdChkClear;
    QLineEdit *TextSearch;
    QComboBox *ComSelect;
    QPushButton *CmdSearch;
    QPushButton *CmdSelect;
    QPushButton *ComMyData;
    QPushButton *CmdImport;
    QPushButton *CmdExport;
    QPushButton *CmdExit;

    // The number of data rows, also the index of the last one.
    int RowCount = 0;

    // Search state.
    QString SearchText;
    int SearchCol = 0;
    int LastSearchCol = 0;
    int HitRow = 0;

    // The menu bar above the controls: ファイル and 編集. Features add their
    // actions to these menus.
    void buildMenuBar();
    QMenu *fileMenu_ = nullptr;
    QMenu *editMenu_ = nullptr;

    // Print (ファイル › 印刷…, Ctrl+P): the checked contacts, or all of them
    // when none is checked, through the print dialog (a printer or a PDF).
    void printList();
    void addPrintAction();

    // The last row that the row loops may visit: RowCount, or fewer when the
    // grid was cut back and not reloaded (an import that stopped early).
    int lastDataRow() const;
    // The walks over the rows that search, check-all and export once made left
    // the current cell on the last row they visited; the selection still
    // ends there.
    void leaveCurrentRowAt(int lastRow);
    void setEveryCheck(bool checked);

    // vCard and CSV exchange: the ファイル menu's actions, dropped files.
    void ImportFiles_Click();
    void ExportVCard_Click();
    void ExportCsv_Click();
    void addInterchangeActions(QMenu *menu);
    void askExportPath(ExportFormat preferred);
    // 編集 › 元に戻す (Form1Undo.cpp): enabled while the history holds a
    // change to undo; refreshed whenever the list is read.
    void buildUndoAction();
    void refreshUndoAction();
    void MnuUndo_Click();
    bool clearGridFailed(const QString &name);
    QAction *undoAction_ = nullptr;

    // The error boundary of this window's routines: an error is reported
    // under the routine's name and locks the window. True when it failed.
    template <typename Body>
    bool routine(const QString &name, Body &&body)
    {
        return runRoutine(name, [this] { Pf_CtlLock(); }, std::forward<Body>(body));
    }
};

// The header format text and widths of the contact grid, and the entries of
// the search field selector.
extern const QString kGridFormat;
extern const int kGridColumnTwips[21];
extern const QStringList kSearchFields;

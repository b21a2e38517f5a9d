// The list window's side of the vCard and CSV exchange: the ファイル menu's
// import and exports, and files dropped on the window. The import reads the
// files, shows every incoming contact in the preview and merges what the user
// chose through the change transaction; the export writes the checked
// contacts (every contact when none is checked) in one atomic replace.

#include "contacts/Form1.h"

#include "contacts/ContactGrid.h"
#include "contacts/ContactList.h"
#include "contacts/ImportPreview.h"
#include "contacts/ListRules.h"
#include "interchange/ContactImport.h"
#include "interchange/ImportChange.h"
#include "interchange/ImportDuplicates.h"
#include "shell/BasConst.h"
#include "shell/FileOps.h"
#include "shell/MessageBox.h"
#include "shell/RecordFile.h"

#include <QAction>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>

using namespace Interchange;

namespace {

const QString kImportRoutine = QStringLiteral("ImportFiles_Click");
const QString kExportRoutine = QStringLiteral("ExportFiles_Click");

// The save dialog's filters; the one chosen decides the format.
struct ExportFilter {
    ExportFormat format;
    QString filter;
    QString suffix;
};

const QList<ExportFilter> &exportFilters()
{
    static const QList<ExportFilter> filters = {
        {ExportFormat::VCard3, QStringLiteral("vCard 3.0 (*.vcf)"), QStringLiteral("vcf")},
        {ExportFormat::VCard4, QStringLiteral("vCard 4.0 (*.vcf)"), QStringLiteral("vcf")},
        {ExportFormat::GoogleCsv, QStringLiteral("Google CSV (*.csv)"), QStringLiteral("csv")},
    };
    return filters;
}

bool isContactFile(const QUrl &url)
{
    const QString suffix = QFileInfo(url.toLocalFile()).suffix().toLower();
    return url.isLocalFile() && (suffix == u"vcf" || suffix == u"vcard" || suffix == u"csv");
}

QStringList droppedContactFiles(const QMimeData *mime)
{
    QStringList files;
    if (mime == nullptr || !mime->hasUrls())
        return files;
    for (const QUrl &url : mime->urls())
        if (isContactFile(url))
            files.append(url.toLocalFile());
    return files;
}

QString summaryMessage(const ImportSummary &s, const ImportBatch &batch, const ImportPreview &preview)
{
    QStringList lines = {QStringLiteral("取り込みました。"),
                         QStringLiteral("新規 %1 件、置換 %2 件、読み推定 %3 件").arg(s.added).arg(s.replaced).arg(s.guessedReadings)};
    if (s.leftOutContacts > 0)
        lines.append(QStringLiteral("取り込まなかった連絡先 %1 件").arg(s.leftOutContacts));
    if (batch.replacedCharacters > 0)
        lines.append(QStringLiteral("「〓」に置き換えた連絡先 %1 件").arg(batch.replacedCharacters));
    QStringList leftOut;
    for (auto it = preview.leftOut.cbegin(); it != preview.leftOut.cend(); ++it)
        leftOut.append(QStringLiteral("%1 %2 件").arg(it.key()).arg(it.value()));
    if (!leftOut.isEmpty())
        lines.append(QStringLiteral("一覧に入らず取り込まなかった項目: ") + leftOut.join(QStringLiteral("、")));
    if (s.cutValues > 0)
        lines.append(QStringLiteral("長すぎて切り詰めた項目 %1 件").arg(s.cutValues));
    return lines.join(u'\n');
}

} // namespace

void Form1::addInterchangeActions(QMenu *menu)
{
    // Queued: the dialogs they open are modal, and an accessibility client
    // that triggered the action waits for its reply until the slot returns.
    const auto add = [this, menu](const QString &text, const QString &name, void (Form1::*slot)()) {
        QAction *action = menu->addAction(text);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, slot, Qt::QueuedConnection);
        return action;
    };
    add(captions().ActImportFiles, QStringLiteral("ActImportFiles"), &Form1::ImportFiles_Click)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    add(captions().ActExportVCard, QStringLiteral("ActExportVCard"), &Form1::ExportVCard_Click);
    add(captions().ActExportCsv, QStringLiteral("ActExportCsv"), &Form1::ExportCsv_Click);
    setAcceptDrops(true);
}

void Form1::ImportFiles_Click()
{
    // Qt's own dialog, so that it is reachable over the accessibility bus.
    QFileDialog dialog(this, QStringLiteral("vCard・CSV を取り込む"));
    dialog.setObjectName(QStringLiteral("ImportFileDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setDirectory(QDir::homePath());
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters({QStringLiteral("vCard・CSV (*.vcf *.vcard *.csv)"), QStringLiteral("vCard (*.vcf *.vcard)"),
                           QStringLiteral("CSV (*.csv)"), QStringLiteral("すべてのファイル (*)")});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    importContactFiles(dialog.selectedFiles());
}

void Form1::importContactFiles(const QStringList &files)
{
    QList<ContactRecord> listed;
    ImportPreview preview;
    const bool failed = routine(kImportRoutine, [&] {
        const Hourglass hourglass;
        if (fileExists(PsLoadPass()))
            listed = readRecords(PsLoadPass(), FieldCount, MaxContacts);
        preview = buildImportPreview(files, listed);
        if (preview.ok())
            markPossibleDuplicates(preview, listed);
    });
    if (failed)
        return;
    if (!preview.ok()) {
        MessageBox::show(preview.message);
        return;
    }
    if (preview.candidates.isEmpty()) {
        MessageBox::show(QStringLiteral("取り込める連絡先がありません。"));
        return;
    }

    ImportPreviewDialog dialog(preview, listed, this);
    if (dialog.exec() != QDialog::Accepted)
        return; // nothing written

    const ImportBatch batch = chooseImport(preview, dialog.ticked(), dialog.unstorableChoice());
    ImportSummary summary = summarise(preview, batch);
    if (batch.records.isEmpty()) {
        MessageBox::show(QStringLiteral("取り込む連絡先がありません。"));
        return;
    }
    if (batch.records.size() > MaxContacts) {
        MessageBox::show(QStringLiteral("１００００件超えてしまいます。"));
        return;
    }

    ChangeTransaction change(fileImportPlan(batch));
    const ChangeOutcome outcome = change.apply(fileImportChange(batch, photoFolder(), &summary));
    if (outcome.failed()) {
        reportRoutineError(kImportRoutine, outcome.error, [this] { Pf_CtlLock(); });
        return;
    }
    if (outcome.kind == ChangeOutcome::Kind::MissingFile) {
        MessageBox::showMissingFile(outcome.missing == ChangeFile::Backup ? QStringLiteral("PsLoadBackPass")
                                                                          : QStringLiteral("PsLoadPass"));
        return;
    }
    const bool refused = outcome.kind == ChangeOutcome::Kind::Refused;
    if (refused)
        MessageBox::show(outcome.reason);
    SearchText.clear();
    Pf_GridInit();
    if (Pf_TextRead())
        return; // it has reported; the backup copy stays
    if (const ChangeOutcome cleaned = change.cleanUp(false); cleaned.failed()) {
        reportRoutineError(kImportRoutine, cleaned.error, [this] { Pf_CtlLock(); });
        return;
    }
    if (!refused)
        MessageBox::show(summaryMessage(summary, batch, preview));
}

void Form1::ExportVCard_Click()
{
    askExportPath(ExportFormat::VCard3);
}

void Form1::ExportCsv_Click()
{
    askExportPath(ExportFormat::GoogleCsv);
}

void Form1::askExportPath(ExportFormat preferred)
{
    const bool csv = preferred == ExportFormat::GoogleCsv;
    QList<ExportFilter> offered;
    for (const ExportFilter &f : exportFilters())
        if ((f.format == ExportFormat::GoogleCsv) == csv)
            offered.append(f);
    QStringList filters;
    for (const ExportFilter &f : offered)
        filters.append(f.filter);

    // Qt's own dialog, so that it is reachable over the accessibility bus.
    QFileDialog dialog(this, csv ? QStringLiteral("CSV で書き出す") : QStringLiteral("vCard で書き出す"));
    dialog.setObjectName(QStringLiteral("ExportFileDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setDirectory(QDir::homePath());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.first());
    dialog.setDefaultSuffix(offered.first().suffix);
    dialog.selectFile(QStringLiteral("連絡先.") + offered.first().suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    ExportFormat format = offered.first().format;
    for (const ExportFilter &f : offered)
        if (f.filter == dialog.selectedNameFilter())
            format = f.format;
    exportContactsTo(dialog.selectedFiles().first(), format);
}

bool Form1::exportContactsTo(const QString &path, ExportFormat format)
{
    int written = 0;
    const bool failed = routine(kExportRoutine, [&] {
        const Hourglass hourglass;
        const ContactRows &rows = contacts();
        const int lastRow = lastDataRow();
        const bool anyChecked = checkedCount(rows, lastRow) > 0;
        QList<ContactRecord> records;
        for (int r = 1; r <= lastRow; ++r)
            if (!anyChecked || isChecked(rows[std::size_t(r - 1)].check))
                records.append(rows[std::size_t(r - 1)].record);
        writeFileAtomically(path, exportContacts(records, format, photoFolder()));
        written = int(records.size());
    });
    if (failed)
        return false;
    MessageBox::show(QStringLiteral("%1件を書き出しました。").arg(written));
    return true;
}

void Form1::dragEnterEvent(QDragEnterEvent *event)
{
    // A locked window takes no files, as its import command is disabled.
    const QAction *import = findChild<QAction *>(QStringLiteral("ActImportFiles"));
    if (import != nullptr && import->isEnabled() && !droppedContactFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent *event)
{
    const QStringList files = droppedContactFiles(event->mimeData());
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    // The preview is modal: it opens once the drop has returned to the
    // dragging program.
    QMetaObject::invokeMethod(this, [this, files] { importContactFiles(files); }, Qt::QueuedConnection);
}

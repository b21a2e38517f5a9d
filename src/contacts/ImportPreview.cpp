#include "contacts/ImportPreview.h"

#include "interchange/FieldMap.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace Interchange;

namespace {

// The preview table's columns: the check box, the status, the fields the
// user tells contacts apart by, the listed contact it meets, the file.
enum Column { TickColumn, StatusColumn, NameColumn, ReadingColumn, PhoneColumn, MailColumn, CompanyColumn,
              ListedColumn, FileColumn, ColumnCount };

const QStringList &columnCaptions()
{
    static const QStringList captions = {
        QStringLiteral("取込"),   QStringLiteral("状態"),   QStringLiteral("氏名"),
        QStringLiteral("氏名ふりがな"), QStringLiteral("TEL1"), QStringLiteral("Mail1"),
        QStringLiteral("所属先1"), QStringLiteral("一覧の連絡先"), QStringLiteral("ファイル")};
    return captions;
}

QString mainStatusText(ImportStatus status)
{
    switch (status) {
    case ImportStatus::New:
        return QStringLiteral("新規");
    case ImportStatus::Replaces:
        return QStringLiteral("置換");
    case ImportStatus::PossibleDuplicate:
        return QStringLiteral("重複の可能性");
    }
    return {};
}

} // namespace

QString ImportPreviewDialog::statusText(const ImportCandidate &candidate)
{
    QStringList parts = {mainStatusText(candidate.status)};
    if (candidate.readingGuessed)
        parts.append(QStringLiteral("読み推定"));
    if (!candidate.unstorable.isEmpty())
        parts.append(QStringLiteral("保存できない文字"));
    return parts.join(u'・');
}

ImportPreviewDialog::ImportPreviewDialog(const ImportPreview &preview, const QList<ContactRecord> &listed,
                                         QWidget *parent)
    : QDialog(parent), preview_(preview)
{
    setObjectName(QStringLiteral("ImportPreview"));
    setWindowTitle(QStringLiteral("取り込む連絡先の確認"));
    setModal(true);
    resize(900, 560);

    auto *layout = new QVBoxLayout(this);
    counts_ = new QLabel(this);
    counts_->setObjectName(QStringLiteral("LabCounts"));
    counts_->setWordWrap(true);
    layout->addWidget(counts_);

    table_ = new QTableWidget(int(preview.candidates.size()), ColumnCount, this);
    table_->setObjectName(QStringLiteral("GridPreview"));
    table_->setAccessibleName(QStringLiteral("取り込む連絡先"));
    table_->setHorizontalHeaderLabels(columnCaptions());
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->verticalHeader()->setVisible(false);
    layout->addWidget(table_, 1);
    fillTable(listed);

    // What the list can't hold, so that nothing is left out unseen.
    QStringList leftOut;
    for (auto it = preview.leftOut.cbegin(); it != preview.leftOut.cend(); ++it)
        leftOut.append(QStringLiteral("%1 %2 件").arg(it.key()).arg(it.value()));
    int cut = 0;
    for (const ImportCandidate &c : preview.candidates)
        cut += int(c.cutFields.size());
    QStringList notes;
    if (!leftOut.isEmpty())
        notes.append(QStringLiteral("一覧に入らないため取り込まない項目: ") + leftOut.join(QStringLiteral("、")));
    if (cut > 0)
        notes.append(QStringLiteral("長すぎて切り詰める項目: %1 件").arg(cut));
    if (!preview.guessError.isEmpty())
        notes.append(preview.guessError);
    auto *leftOutLabel = new QLabel(notes.join(u'\n'), this);
    leftOutLabel->setObjectName(QStringLiteral("LabLeftOut"));
    leftOutLabel->setWordWrap(true);
    leftOutLabel->setVisible(!notes.isEmpty());
    layout->addWidget(leftOutLabel);

    // The characters without a code: each contact and field, and the choice.
    QStringList unstorable;
    const QStringList &captions = fieldCaptions();
    for (const ImportCandidate &c : preview.candidates)
        for (const UnstorableField &f : c.unstorable)
            unstorable.append(QStringLiteral("%1: %2「%3」").arg(c.record[NameField], captions.value(f.field), f.characters));
    auto *unstorableLabel = new QLabel(QStringLiteral("Shift_JIS (コードページ 932) で保存できない文字のある連絡先:"), this);
    unstorableList_ = new QPlainTextEdit(unstorable.join(u'\n'), this);
    unstorableList_->setObjectName(QStringLiteral("TextUnstorable"));
    unstorableList_->setAccessibleName(unstorableLabel->text());
    unstorableList_->setReadOnly(true);
    unstorableList_->setMaximumHeight(90);
    replaceWithGeta_ = new QRadioButton(QStringLiteral("「〓」に置き換えて取り込む"), this);
    replaceWithGeta_->setObjectName(QStringLiteral("OptReplaceGeta"));
    replaceWithGeta_->setChecked(true);
    leaveOut_ = new QRadioButton(QStringLiteral("その連絡先を取り込まない"), this);
    leaveOut_->setObjectName(QStringLiteral("OptLeaveOut"));
    auto *choice = new QHBoxLayout;
    choice->addWidget(replaceWithGeta_);
    choice->addWidget(leaveOut_);
    choice->addStretch();
    layout->addWidget(unstorableLabel);
    layout->addWidget(unstorableList_);
    layout->addLayout(choice);
    const bool anyUnstorable = !unstorable.isEmpty();
    for (QWidget *w : {static_cast<QWidget *>(unstorableLabel), static_cast<QWidget *>(unstorableList_),
                       static_cast<QWidget *>(replaceWithGeta_), static_cast<QWidget *>(leaveOut_)})
        w->setVisible(anyUnstorable);

    importButton_ = new QPushButton(QStringLiteral("取り込む"), this);
    importButton_->setObjectName(QStringLiteral("CmdImportOk"));
    importButton_->setDefault(true);
    cancelButton_ = new QPushButton(QStringLiteral("キャンセル"), this);
    cancelButton_->setObjectName(QStringLiteral("CmdImportCancel"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(importButton_);
    buttons->addWidget(cancelButton_);
    layout->addLayout(buttons);

    connect(importButton_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
    connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        if (item->column() == TickColumn)
            updateCounts();
    });
    connect(leaveOut_, &QRadioButton::toggled, this, &ImportPreviewDialog::updateCounts);
    updateCounts();
}

void ImportPreviewDialog::fillTable(const QList<ContactRecord> &listed)
{
    const QSignalBlocker blocker(table_);
    for (int row = 0; row < preview_.candidates.size(); ++row) {
        const ImportCandidate &c = preview_.candidates[row];
        auto *tick = new QTableWidgetItem;
        tick->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        tick->setCheckState(Qt::Checked);
        table_->setItem(row, TickColumn, tick);
        const QString listedName = c.listedIndex >= 0 && c.listedIndex < listed.size()
                                       ? listed[c.listedIndex][NameField]
                                       : QString();
        const QStringList texts = {statusText(c),
                                   c.record[NameField],
                                   c.record[ReadingField],
                                   c.record[Tel1Field],
                                   c.record[FieldMap::Mail1Field],
                                   c.record[FieldMap::Affiliation1Field],
                                   listedName,
                                   QFileInfo(c.sourceFile).fileName()};
        for (int col = StatusColumn; col < ColumnCount; ++col)
            table_->setItem(row, col, new QTableWidgetItem(texts[col - StatusColumn]));
    }
    table_->resizeColumnsToContents();
}

QList<bool> ImportPreviewDialog::ticked() const
{
    QList<bool> result;
    for (int row = 0; row < table_->rowCount(); ++row)
        result.append(table_->item(row, TickColumn)->checkState() == Qt::Checked);
    return result;
}

UnstorableChoice ImportPreviewDialog::unstorableChoice() const
{
    return leaveOut_->isChecked() ? UnstorableChoice::LeaveOut : UnstorableChoice::ReplaceWithGeta;
}

void ImportPreviewDialog::updateCounts()
{
    int added = 0, replacing = 0, duplicates = 0, guessed = 0, unstorable = 0, chosen = 0;
    const QList<bool> ticks = ticked();
    const bool leaveOut = unstorableChoice() == UnstorableChoice::LeaveOut;
    for (qsizetype i = 0; i < preview_.candidates.size(); ++i) {
        const ImportCandidate &c = preview_.candidates[i];
        added += c.status == ImportStatus::New;
        replacing += c.status == ImportStatus::Replaces;
        duplicates += c.status == ImportStatus::PossibleDuplicate;
        guessed += c.readingGuessed;
        unstorable += !c.unstorable.isEmpty();
        chosen += ticks[i] && !(leaveOut && !c.unstorable.isEmpty());
    }
    counts_->setText(QStringLiteral("全 %1 件（新規 %2 件、置換 %3 件、重複の可能性 %4 件、読み推定 %5 件、"
                                    "保存できない文字 %6 件）　取り込む連絡先: %7 件")
                         .arg(preview_.candidates.size())
                         .arg(added)
                         .arg(replacing)
                         .arg(duplicates)
                         .arg(guessed)
                         .arg(unstorable)
                         .arg(chosen));
    importButton_->setEnabled(chosen > 0);
}

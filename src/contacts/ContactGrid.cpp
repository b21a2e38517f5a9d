#include "contacts/ContactGrid.h"

#include "shell/AppError.h"
#include "shell/Twips.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

void throwNoSuchCell()
{
    throw AppError{ErrNo::NoSuchCell};
}

namespace {
void requireCell(bool ok)
{
    if (!ok)
        throwNoSuchCell();
}
} // namespace

// ---------------------------------------------------------------- model

int ContactGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || structureChanged_ ? 0 : int(rows_.size());
}

int ContactGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() || structureChanged_ ? 0 : std::clamp(gridCols() - 1, 0, FieldCount);
}

QVariant ContactGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(rows_.size()) || index.column() >= columnCount())
        return {};
    const ContactRow &row = rows_[std::size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return row.record[index.column()];
    case Qt::BackgroundRole:
        if (const QRgb rgb = row.colours[std::size_t(index.column() + 1)])
            return QColor::fromRgb(rgb);
        return {};
    default:
        return {};
    }
}

QVariant ContactGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal) {
        if (role == Qt::DisplayRole && section + 1 < headings_.size())
            return headings_[section + 1];
        return {};
    }
    if (section < 0 || section >= int(rows_.size()) || gridCols() == 0)
        return {};
    const ContactRow &row = rows_[std::size_t(section)];
    if (role == Qt::DisplayRole)
        return row.check;
    if (role == Qt::BackgroundRole && row.colours[0])
        return QColor::fromRgb(row.colours[0]);
    return {};
}

void ContactGridModel::setGridRows(int count)
{
    requireCell(count >= 1);
    const int want = count - 1;
    const int have = int(rows_.size());
    if (want == have)
        return;
    if (suspended_) {
        structureChanged_ = true;
    } else if (want > have) {
        beginInsertRows({}, have, want - 1);
    } else {
        beginRemoveRows({}, want, have - 1);
    }
    // Rows come one at a time while the list loads: the vector's own growth
    // keeps that linear.
    rows_.resize(std::size_t(want));
    if (!suspended_) {
        if (want > have)
            endInsertRows();
        else
            endRemoveRows();
    }
}

void ContactGridModel::setHeadings(const QStringList &headings)
{
    if (!suspended_)
        beginResetModel();
    headings_ = headings;
    if (suspended_)
        structureChanged_ = true;
    else
        endResetModel();
}

QColor ContactGridModel::background(int row, int col) const
{
    requireCellAt(row, col, 1);
    const QRgb rgb = rows_[std::size_t(row - 1)].colours[std::size_t(col)];
    return rgb ? QColor::fromRgb(rgb) : QColor();
}

void ContactGridModel::announce(int row, int col)
{
    if (row == 0)
        emit headerDataChanged(Qt::Horizontal, col - 1, col - 1);
    else if (col == 0)
        emit headerDataChanged(Qt::Vertical, row - 1, row - 1);
    else
        emit dataChanged(index(row - 1, col - 1), index(row - 1, col - 1));
}

void ContactGridModel::announceAll()
{
    if (!rows_.empty()) {
        emit dataChanged(index(0, 0), index(int(rows_.size()) - 1, columnCount() - 1));
        emit headerDataChanged(Qt::Vertical, 0, int(rows_.size()) - 1);
    }
    emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

void ContactGridModel::suspend()
{
    suspended_ = true;
}

void ContactGridModel::resume()
{
    if (!suspended_)
        return;
    suspended_ = false;
    if (structureChanged_) {
        // The view saw no rows while suspended; one reset announces them all.
        beginResetModel();
        structureChanged_ = false;
        cellsChanged_ = false;
        endResetModel();
    } else if (cellsChanged_) {
        cellsChanged_ = false;
        announceAll();
    }
}

// ---------------------------------------------------------------- check column

CheckColumnHeader::CheckColumnHeader(QWidget *parent)
    : QHeaderView(Qt::Vertical, parent)
{
    setSectionsClickable(false);
    setSectionResizeMode(QHeaderView::Fixed);
    setDefaultAlignment(Qt::AlignCenter);
}

void CheckColumnHeader::paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const
{
    const QVariant bg = model()->headerData(logicalIndex, Qt::Vertical, Qt::BackgroundRole);
    if (!bg.isValid()) {
        QHeaderView::paintSection(painter, rect, logicalIndex);
        return;
    }
    painter->save();
    painter->fillRect(rect, bg.value<QColor>());
    painter->setPen(palette().color(QPalette::Mid));
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    painter->drawLine(rect.topRight(), rect.bottomRight());
    painter->setPen(Qt::black);
    painter->drawText(rect, Qt::AlignCenter,
                      model()->headerData(logicalIndex, Qt::Vertical, Qt::DisplayRole).toString());
    painter->restore();
}

void CheckColumnHeader::mousePressEvent(QMouseEvent *event)
{
    // A click on a check cell toggles it; it doesn't select the row.
    const int section = logicalIndexAt(event->position().toPoint());
    if (section >= 0 && event->button() == Qt::LeftButton)
        emit checkCellClicked(section);
}

// ---------------------------------------------------------------- grid

ContactGrid::ContactGrid(QWidget *parent)
    : QTableView(parent)
    , model_(new ContactGridModel(this))
    , checkColumn_(new CheckColumnHeader(this))
{
    setVerticalHeader(checkColumn_);
    setModel(model_);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setDefaultSectionSize(twips(450));
    verticalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setMinimumSectionSize(1);

    // Kana typed through the input method reach keyboardSearch as commits.
    setAttribute(Qt::WA_InputMethodEnabled);
    typeAheadClock_.start();

    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) { takeCurrentFromView(current); });
    connect(this, &QTableView::clicked, this,
            [this](const QModelIndex &index) { clickedAt(index.row() + 1, index.column() + 1); });
    connect(checkColumn_, &CheckColumnHeader::checkCellClicked, this,
            [this](int modelRow) { clickedAt(modelRow + 1, 0); });
    connect(horizontalHeader(), &QHeaderView::sectionPressed, this,
            [this](int section) { clickedAt(0, section + 1); });
}

void ContactGrid::clickedAt(int row, int col)
{
    mouseRow_ = row;
    mouseCol_ = col;
    emit cellClicked();
}

void ContactGrid::takeCurrentFromView(const QModelIndex &current)
{
    if (!redraw_ || !current.isValid())
        return;
    row_ = current.row() + 1;
    col_ = current.column() + 1;
}

void ContactGrid::setRows(int count)
{
    model_->setGridRows(count);
    if (row_ >= count)
        row_ = count - 1;
    if (model_->gridRows() == 1)
        row_ = 0;
    if (topRow_ >= count)
        topRow_ = 1;
}

void ContactGrid::showCurrentCell()
{
    if (row_ < 1 || model_->rowCount() == 0)
        return;
    const QModelIndex index = model_->index(row_ - 1, std::max(col_, 1) - 1);
    const int keepCol = col_;
    const QSignalBlocker block(selectionModel());
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    col_ = keepCol;
    viewport()->update();
}

void ContactGrid::setFormatString(const QString &format)
{
    model_->setHeadings(format.split(u'|'));
    colWidthTwips_.assign(std::size_t(cols()), 0);
}

void ContactGrid::setColWidth(int col, int twipsWidth)
{
    requireCell(col >= 0 && col < cols());
    colWidthTwips_[std::size_t(col)] = twipsWidth;
    if (col == 0)
        checkColumn_->setFixedWidth(twips(twipsWidth));
    else
        setColumnWidth(col - 1, twips(twipsWidth));
}

int ContactGrid::colWidthTwips(int col) const
{
    requireCell(col >= 0 && col < cols());
    return colWidthTwips_[std::size_t(col)];
}

void ContactGrid::setRowHeight(int row, int twipsHeight)
{
    requireCell(row >= 0 && row < rows());
    // Asking the screen costs more than the rest of a row's filling; every
    // row asks for the same height.
    if (twipsHeight != rowHeightTwips_) {
        rowHeightTwips_ = twipsHeight;
        rowHeightPx_ = twips(twipsHeight);
    }
    const int px = rowHeightPx_;
    // Every data row has the same height, which the header keeps as its
    // default; only a different height costs a section of its own.
    if (row == 0)
        horizontalHeader()->setFixedHeight(px);
    else if (px != verticalHeader()->defaultSectionSize())
        verticalHeader()->resizeSection(row - 1, px);
}

void ContactGrid::setTopRow(int row)
{
    requireCell(row >= 1 && row < std::max(rows(), 2));
    topRow_ = row;
    if (redraw_)
        applyTopRow();
}

int ContactGrid::topRow() const
{
    return redraw_ ? verticalScrollBar()->value() + 1 : topRow_;
}

void ContactGrid::applyTopRow()
{
    updateGeometries();
    verticalScrollBar()->setValue(topRow_ - 1);
    topRow_ = verticalScrollBar()->value() + 1;
}

void ContactGrid::setRedraw(bool on)
{
    if (on == redraw_)
        return;
    if (!on) {
        topRow_ = topRow();
        redraw_ = false;
        model_->suspend();
        viewport()->setUpdatesEnabled(false);
        return;
    }
    redraw_ = true;
    model_->resume();
    viewport()->setUpdatesEnabled(true);
    applyTopRow();
    showCurrentCell();
    viewport()->update();
    checkColumn_->viewport()->update();
}

void ContactGrid::keyboardSearch(const QString &typed)
{
    const QString text = typeAhead_.add(typed, typeAheadClock_.elapsed());
    if (row_ < 1)
        return;
    // While the text grows the current contact may still match; a new text
    // looks from the next contact on, so typing a letter again steps on.
    const int start = typeAhead_.continued() ? row_ - 1 : row_;
    const int found = typeAheadRow(contacts(), text, start);
    if (found < 0)
        return;
    setRow(found + 1);
    setTopRow(found + 1);
}

void ContactGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    setAttribute(Qt::WA_InputMethodEnabled);
}

void ContactGrid::inputMethodEvent(QInputMethodEvent *event)
{
    // The grid shows no pre-edit; only what is committed is looked for.
    if (!event->commitString().isEmpty())
        keyboardSearch(event->commitString());
    event->accept();
}

Hourglass::Hourglass()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

Hourglass::~Hourglass()
{
    QApplication::restoreOverrideCursor();
}

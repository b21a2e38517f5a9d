#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QTableView>

#include "contacts/ContactList.h"
#include "readings/TypeAhead.h"

#include <vector>

// A cell or row that the grid doesn't have: "subscript out of range".
[[noreturn]] void throwNoSuchCell();

// The contact list behind the contact grid: it owns the rows (records,
// check cells, cell colours) and shows them. Grid row 0 is the header row and
// grid column 0 the check column; model row r - 1 holds grid row r, model
// column c - 1 holds grid column c, and the check cells are the vertical
// header.
class ContactGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    int gridRows() const { return int(rows_.size()) + 1; }
    int gridCols() const { return int(headings_.size()); }
    void setGridRows(int count);
    void setHeadings(const QStringList &headings);
    QString text(int row, int col) const
    {
        requireCellAt(row, col, 0);
        return row == 0 ? headings_[col] : cell(row, col);
    }
    // Inline: a reload writes 210000 cells.
    void setText(int row, int col, const QString &text)
    {
        requireCellAt(row, col, 0);
        if (row == 0)
            headings_[col] = text;
        else
            cell(row, col) = text;
        changed(row, col);
    }
    QColor background(int row, int col) const; // invalid: the normal colour
    // 0: the normal colour.
    void setBackground(int row, int col, QRgb color)
    {
        requireCellAt(row, col, 1);
        rows_[std::size_t(row - 1)].colours[std::size_t(col)] = color;
        changed(row, col);
    }

    const ContactRows &contacts() const { return rows_; }
    // Changes the rows in place (not their number) and shows the change.
    template <typename Change>
    void changeContacts(Change &&change)
    {
        change(rows_);
        if (suspended_)
            cellsChanged_ = true;
        else
            announceAll();
    }

    // While suspended, changes are kept and announced at once on resume.
    void suspend();
    void resume();

private:
    // Inline: every cell access checks; only a failure leaves the line.
    void requireCellAt(int row, int col, int firstRow) const
    {
        if (row < firstRow || row >= gridRows() || col < 0 || col >= gridCols() || col > FieldCount)
            throwNoSuchCell();
    }
    const QString &cell(int row, int col) const
    {
        const ContactRow &r = rows_[std::size_t(row - 1)];
        return col == 0 ? r.check : r.record[col - 1];
    }
    QString &cell(int row, int col)
    {
        ContactRow &r = rows_[std::size_t(row - 1)];
        return col == 0 ? r.check : r.record[col - 1];
    }
    // Inline for the same reason: while suspended, a change is only noted.
    void changed(int row, int col)
    {
        if (suspended_)
            cellsChanged_ = true;
        else
            announce(row, col);
    }
    void announce(int row, int col);
    void announceAll();

    QStringList headings_;
    ContactRows rows_;
    bool suspended_ = false;
    bool structureChanged_ = false;
    bool cellsChanged_ = false;
};

// The check column: the vertical header, painted in each check cell's colour.
class CheckColumnHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit CheckColumnHeader(QWidget *parent = nullptr);

signals:
    void checkCellClicked(int modelRow);

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent *event) override;
};

// The contact grid, with the operations that the contact list window uses:
// a current cell that it moves and reads or writes through, headings from a
// format text, sizes in twips, redraw off and on, and the cell under the last
// click.
class ContactGrid : public QTableView {
    Q_OBJECT
public:
    explicit ContactGrid(QWidget *parent = nullptr);

    int rows() const { return model_->gridRows(); }
    void setRows(int count);
    int cols() const { return model_->gridCols(); }

    int row() const { return row_; }
    int col() const { return col_; }
    void setRow(int row)
    {
        if (row < 0 || row >= rows())
            throwNoSuchCell();
        row_ = row;
        if (redraw_)
            showCurrentCell();
    }
    void setCol(int col)
    {
        if (col < 0 || col >= cols())
            throwNoSuchCell();
        col_ = col;
        if (redraw_)
            showCurrentCell();
    }

    QString text() const { return model_->text(row_, col_); }
    void setText(const QString &text) { model_->setText(row_, col_, text); }
    QString textAt(int row, int col) const { return model_->text(row, col); }
    void setCellBackColor(QRgb color) { model_->setBackground(row_, col_, color); }
    QColor cellBackColorAt(int row, int col) const { return model_->background(row, col); }

    // The contacts as the grid shows them, for reading.
    const ContactRows &contacts() const { return model_->contacts(); }
    template <typename Change>
    void changeContacts(Change &&change) { model_->changeContacts(std::forward<Change>(change)); }

    void setFormatString(const QString &format);
    void setColWidth(int col, int twipsWidth);
    int colWidthTwips(int col) const;
    void setRowHeight(int row, int twipsHeight);
    void setTopRow(int row);
    int topRow() const;

    void setRedraw(bool on);
    bool redraw() const { return redraw_; }

    int mouseRow() const { return mouseRow_; }
    int mouseCol() const { return mouseCol_; }

    // Moves the view's own current cell to the grid's current cell.
    void showCurrentCell();

signals:
    // A click on a cell, after mouseRow and mouseCol were set.
    void cellClicked();

protected:
    // Type-ahead: keys and input method commits typed within a second of
    // each other move the current row to the first contact whose reading
    // (kana typed) or name (anything else) starts with them, scrolled to the
    // top. Check marks, colours and the search stay as they are.
    void keyboardSearch(const QString &typed) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    // The view turns input methods off on cells that can't be edited; the
    // grid keeps them on for type-ahead.
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
    void takeCurrentFromView(const QModelIndex &current);
    void applyTopRow();
    void clickedAt(int row, int col);

    ContactGridModel *model_;
    CheckColumnHeader *checkColumn_;
    int row_ = 0;
    int col_ = 0;
    int topRow_ = 1;
    int rowHeightTwips_ = -1;
    int rowHeightPx_ = 0;
    int mouseRow_ = 0;
    int mouseCol_ = 0;
    bool redraw_ = true;
    std::vector<int> colWidthTwips_;
    TypeAheadText typeAhead_;
    QElapsedTimer typeAheadClock_;
};

// Switches the grid's redraw off for a scope and back on at every way out.
class RedrawOff {
public:
    explicit RedrawOff(ContactGrid *grid) : grid_(grid) { grid_->setRedraw(false); }
    ~RedrawOff() { grid_->setRedraw(true); }
    RedrawOff(const RedrawOff &) = delete;
    RedrawOff &operator=(const RedrawOff &) = delete;

private:
    ContactGrid *grid_;
};

// Shows the hourglass for a scope.
class Hourglass {
public:
    Hourglass();
    ~Hourglass();
    Hourglass(const Hourglass &) = delete;
    Hourglass &operator=(const Hourglass &) = delete;
};

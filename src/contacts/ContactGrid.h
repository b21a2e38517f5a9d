#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QHeaderView>
#include <QTableView>

#include <vector>

// A cell or row that the grid doesn't have: "subscript out of range".
[[noreturn]] void throwNoSuchCell();

// The colours of the classic 16-colour palette that the program uses.
namespace Palette {
constexpr QRgb Black = qRgb(0, 0, 0);
constexpr QRgb LightGrey = qRgb(192, 192, 192);
constexpr QRgb LightGreen = qRgb(0, 255, 0);
constexpr QRgb LightCyan = qRgb(0, 255, 255);
constexpr QRgb LightYellow = qRgb(255, 255, 0);
constexpr QRgb BrightWhite = qRgb(255, 255, 255);
} // namespace Palette

// The cells behind the contact grid. Grid row 0 is the header row and grid
// column 0 the check column; model row r - 1 holds grid row r, model column
// c - 1 holds grid column c, and the check cells are the vertical header.
class ContactGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    int gridRows() const { return dataRows_ + 1; }
    int gridCols() const { return int(headings_.size()); }
    void setGridRows(int count);
    void setHeadings(const QStringList &headings);
    QString text(int row, int col) const;
    // Inline: a reload writes 210000 cells.
    void setText(int row, int col, const QString &text)
    {
        if (row < 0 || row >= gridRows() || col < 0 || col >= gridCols())
            throwNoSuchCell();
        if (row == 0)
            headings_[col] = text;
        else
            cells_[at(row, col)] = text;
        changed(row, col);
    }
    QColor background(int row, int col) const; // invalid: the normal colour
    // 0: the normal colour. Inline: a search paints 200000 cells at a time.
    void setBackground(int row, int col, QRgb color)
    {
        if (row < 1 || row >= gridRows() || col < 0 || col >= gridCols())
            throwNoSuchCell();
        colors_[at(row, col)] = color;
        changed(row, col);
    }

    // While suspended, changes are kept and announced at once on resume.
    void suspend();
    void resume();

private:
    // Where a data row's cell lies in cells_ and colors_.
    std::size_t at(int row, int col) const { return std::size_t(row - 1) * std::size_t(gridCols()) + std::size_t(col); }
    // Inline for the same reason: while suspended, a change is only noted.
    void changed(int row, int col)
    {
        if (suspended_)
            cellsChanged_ = true;
        else
            announce(row, col);
    }
    void announce(int row, int col);

    QStringList headings_;
    // The data rows' cells row by row, grid columns 0 .. cols - 1 each: one
    // allocation for the whole list instead of two a row.
    int dataRows_ = 0;
    std::vector<QString> cells_;
    std::vector<QRgb> colors_; // 0: the normal colour
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

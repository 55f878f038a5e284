#pragma once
#include <QAbstractTableModel>
#include <QHeaderView>
#include <QTableView>
#include <functional>

class QKeyEvent;
class QFocusEvent;

class TImportTable;

// The roster table as a virtual model: only the rows the grid shows are asked for.
class TImportGridModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit TImportGridModel(QObject *parent = nullptr) : QAbstractTableModel(parent) {}

    void SetTable(const TImportTable *table);
    void Refresh();   // the table's rows, columns or header flag changed

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const TImportTable *FTable = nullptr;
};

// Owner-drawn grid: a title row (the horizontal header) over the data rows. Every cell,
// titles included, is drawn by the owner's DrawCell with grid row 0 for the title row and
// r + 1 for data row r. Mouse presses and releases are reported in grid coordinates.
class TImportGrid : public QTableView
{
    Q_OBJECT
public:
    using DrawCellFn = std::function<void(QPainter *painter, const QRect &rect, int col, int row)>;
    using MouseFn = std::function<void(const QPoint &gridPos)>;
    using ColumnFn = std::function<void(int col)>;

    explicit TImportGrid(QWidget *parent = nullptr);

    static constexpr int RowHeight = 20;

    DrawCellFn DrawCell;
    MouseFn MouseDown;
    MouseFn MouseUp;
    // The keyboard's way to a column's title: Space, Enter, F2, F4, Alt+Down, the menu key or
    // Shift+F10 on the focused column asks for its field list.
    ColumnFn OpenColumn;

    // The column the keyboard is on (Left/Right, Home/End); marked on its title while the
    // grid has the focus. -1 while the grid has no columns.
    int FocusColumn() const;
    void SetFocusColumn(int col);

    // Column under x (grid coordinates), counting scrolled-out columns; the column count
    // when x lies right of the last column.
    int ColumnAt(int x) const;
    // Bottom of the title row in grid coordinates (exclusive).
    int TitleBottom() const;
    // Grid coordinates of a point of the title row / of a data cell, for tests and hit tests.
    QPoint TitlePoint(int col) const;
    QPoint CellPoint(int col, int dataRow) const;

    // Measures, in the grid's font, the widest text of each column: the cells longest in
    // characters and those of the first rows (upper-case letters are wider than the average
    // character, so the count alone does not tell). Run after the table's rows change.
    void MeasureCells(const TImportTable *table);
    // Pixels a column needs to show its widest cell and its title whole, and never less than
    // minimum (the width in characters at 7 pixels each).
    int FittingWidth(int col, const QString &title, int minimum) const;

    static constexpr int SampleRows = 100;      // rows measured from the top
    static constexpr int LongestCells = 8;      // longest cells measured per column
    static constexpr int TextIndent = 2;        // cells draw their text 2 pixels in

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void UpdateFocusMark();
    int FFocusColumn = 0;
    QList<int> FCellWidths;   // per column, pixels of its widest measured cell
};

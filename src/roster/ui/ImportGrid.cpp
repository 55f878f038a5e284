#include "ImportGrid.h"

#include "roster/ImportTable.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

void TImportGridModel::SetTable(const TImportTable *table)
{
    beginResetModel();
    FTable = table;
    endResetModel();
}

void TImportGridModel::Refresh()
{
    beginResetModel();
    endResetModel();
}

int TImportGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !FTable ? 0 : FTable->RowCount();
}

int TImportGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() || !FTable ? 0 : FTable->FieldCount();
}

QVariant TImportGridModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !FTable || !index.isValid())
        return {};
    try {
        return FTable->GetCell(index.row(), index.column());
    } catch (...) {
        return {};   // nothing may escape into the view's event handling
    }
}

QVariant TImportGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || !FTable ||
        section >= FTable->FieldCount())
        return {};
    try {
        return FTable->GetFieldTitle(section);
    } catch (...) {
        return {};
    }
}

namespace {

// Painting must never throw into Qt's event dispatch; a cell that cannot be drawn stays blank.
void SafeDraw(const TImportGrid::DrawCellFn &draw, QPainter *painter, const QRect &rect, int col, int row)
{
    if (!draw)
        return;
    painter->save();
    try {
        draw(painter, rect, col, row);
    } catch (...) {
    }
    painter->restore();
}

class TGridHeader : public QHeaderView
{
public:
    explicit TGridHeader(TImportGrid *grid) : QHeaderView(Qt::Horizontal, grid), FGrid(grid) {}

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override
    {
        SafeDraw(FGrid->DrawCell, painter, rect, logicalIndex, 0);
    }
    void paintEvent(QPaintEvent *event) override
    {
        // The part right of the last column shows the window colour, as the grid's body.
        QPainter painter(viewport());
        painter.fillRect(viewport()->rect(), palette().color(QPalette::Base));
        painter.end();
        QHeaderView::paintEvent(event);
    }

private:
    TImportGrid *FGrid;
};

class TGridDelegate : public QStyledItemDelegate
{
public:
    explicit TGridDelegate(TImportGrid *grid) : QStyledItemDelegate(grid), FGrid(grid) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        SafeDraw(FGrid->DrawCell, painter, option.rect, index.column(), index.row() + 1);
    }

private:
    TImportGrid *FGrid;
};

} // namespace

TImportGrid::TImportGrid(QWidget *parent) : QTableView(parent)
{
    auto *header = new TGridHeader(this);
    setHorizontalHeader(header);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(1);
    header->setFixedHeight(RowHeight);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(RowHeight);
    setItemDelegate(new TGridDelegate(this));
    setShowGrid(false);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setWordWrap(false);
    header->viewport()->installEventFilter(this);
    viewport()->installEventFilter(this);
}

int TImportGrid::ColumnAt(int x) const
{
    const int col = horizontalHeader()->logicalIndexAt(x - horizontalHeader()->x());
    return col < 0 ? (model() ? model()->columnCount() : 0) : col;
}

int TImportGrid::TitleBottom() const { return horizontalHeader()->geometry().bottom() + 1; }

QPoint TImportGrid::TitlePoint(int col) const
{
    const QHeaderView *h = horizontalHeader();
    return QPoint(h->x() + h->sectionViewportPosition(col) + h->sectionSize(col) / 2,
                  h->y() + h->height() / 2);
}

QPoint TImportGrid::CellPoint(int col, int dataRow) const
{
    const QRect r = visualRect(model()->index(dataRow, col));
    return viewport()->mapTo(this, r.center());
}

void TImportGrid::MeasureCells(const TImportTable *table)
{
    FCellWidths.clear();
    if (!table)
        return;
    const int columns = table->FieldCount();
    const int rows = table->RowCount();
    const QFontMetrics metrics(font());
    FCellWidths.fill(0, columns);
    try {
        for (int c = 0; c < columns; ++c) {
            // The longest cells by characters: a short ranking kept while walking the rows
            // (lengths only; measuring every cell of a large roster would be slow).
            QList<QString> longest;
            int shortestKept = -1;
            for (int r = 0; r < rows; ++r) {
                QString text = table->GetCell(r, c);
                if (r < SampleRows) {
                    FCellWidths[c] = std::max(FCellWidths[c], metrics.horizontalAdvance(text));
                    continue;
                }
                if (longest.size() >= LongestCells && text.size() <= shortestKept)
                    continue;
                auto at = std::find_if(longest.begin(), longest.end(),
                                       [&](const QString &kept) { return kept.size() < text.size(); });
                longest.insert(at, std::move(text));
                if (longest.size() > LongestCells)
                    longest.removeLast();
                shortestKept = int(longest.last().size());
            }
            for (const QString &text : std::as_const(longest))
                FCellWidths[c] = std::max(FCellWidths[c], metrics.horizontalAdvance(text));
        }
    } catch (...) {
        // a cell that cannot be read leaves its column at the width in characters
    }
}

int TImportGrid::FittingWidth(int col, const QString &title, int minimum) const
{
    QFont bold = font();
    bold.setBold(true);   // titles of unmapped columns are bold
    int text = QFontMetrics(bold).horizontalAdvance(title);
    if (col >= 0 && col < FCellWidths.size())
        text = std::max(text, FCellWidths[col]);
    // the indent left of the text and as much to its right
    return std::max(minimum, text + 2 * TextIndent + 1);
}

bool TImportGrid::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == horizontalHeader()->viewport() || watched == viewport()) &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease)) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const QPoint pos = static_cast<QWidget *>(watched)->mapTo(this, mouse->position().toPoint());
        const MouseFn &fn = event->type() == QEvent::MouseButtonPress ? MouseDown : MouseUp;
        if (fn)
            fn(pos);
        if (watched == horizontalHeader()->viewport())
            return true;   // titles are not buttons of their own
    }
    return QTableView::eventFilter(watched, event);
}

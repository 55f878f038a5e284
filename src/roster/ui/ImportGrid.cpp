#include "ImportGrid.h"

#include "roster/ImportTable.h"

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

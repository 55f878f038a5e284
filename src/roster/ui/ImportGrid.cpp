#include "ImportGrid.h"

#include "roster/ImportTable.h"

#include <algorithm>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
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

// The keyboard's column: a frame in the highlight colour round its title, and its sides drawn
// down the data rows, so it shows on the navy, grey and white columns alike.
void DrawFocusFrame(QPainter *painter, const QRect &rect, const QPalette &palette, bool title)
{
    painter->save();
    QPen pen(palette.color(QPalette::Highlight), 3);
    pen.setJoinStyle(Qt::MiterJoin);
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    const QRect r = rect.adjusted(1, 1, -2, title ? -2 : 0);
    if (title) {
        painter->drawRect(r);
    } else {
        painter->drawLine(r.left(), rect.top(), r.left(), rect.bottom());
        painter->drawLine(r.right(), rect.top(), r.right(), rect.bottom());
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
        if (FGrid->hasFocus() && logicalIndex == FGrid->FocusColumn())
            DrawFocusFrame(painter, rect, FGrid->palette(), true);
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
        if (FGrid->hasFocus() && index.column() == FGrid->FocusColumn())
            DrawFocusFrame(painter, option.rect, FGrid->palette(), false);
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
    // Tab leaves the grid: its columns are walked with the arrow keys.
    setTabKeyNavigation(false);
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

int TImportGrid::FocusColumn() const
{
    const int columns = model() ? model()->columnCount() : 0;
    return columns == 0 ? -1 : std::clamp(FFocusColumn, 0, columns - 1);
}

void TImportGrid::SetFocusColumn(int col)
{
    const int columns = model() ? model()->columnCount() : 0;
    FFocusColumn = columns == 0 ? 0 : std::clamp(col, 0, columns - 1);
    if (columns > 0) {
        // bring the whole column into view (its title first when it is wider than the view)
        const QHeaderView *h = horizontalHeader();
        const int left = h->sectionPosition(FFocusColumn);
        const int right = left + h->sectionSize(FFocusColumn);
        QScrollBar *bar = horizontalScrollBar();
        const int width = viewport()->width();
        if (right > bar->value() + width)
            bar->setValue(right - width);
        if (left < bar->value())
            bar->setValue(left);
    }
    UpdateFocusMark();
}

void TImportGrid::UpdateFocusMark()
{
    const int col = FocusColumn();
    const QString title = col >= 0 && model() ? model()->headerData(col, Qt::Horizontal).toString() : QString();
    // read out by screen readers as the grid's description
    setAccessibleDescription(col < 0 ? QStringLiteral("The roster has no columns.")
                                     : QStringLiteral("Column %1 of %2: %3. Space chooses what the column holds.")
                                           .arg(col + 1).arg(model()->columnCount()).arg(title));
    horizontalHeader()->viewport()->update();
    viewport()->update();
}

void TImportGrid::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    const int col = FocusColumn();
    const bool open = (mods == Qt::NoModifier &&
                       (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter ||
                        key == Qt::Key_F2 || key == Qt::Key_F4 || key == Qt::Key_Menu)) ||
                      (mods == Qt::AltModifier && key == Qt::Key_Down) ||
                      (mods == Qt::ShiftModifier && key == Qt::Key_F10);
    if (open) {
        if (col >= 0 && OpenColumn)
            OpenColumn(col);
        event->accept();
        return;
    }
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
        // Ctrl+Tab leaves as Tab does
        focusNextPrevChild(key == Qt::Key_Tab && !(mods & Qt::ShiftModifier));
        event->accept();
        return;
    }
    QScrollBar *rows = verticalScrollBar();
    switch (key) {
    case Qt::Key_Left:
        SetFocusColumn(col - 1);
        break;
    case Qt::Key_Right:
        SetFocusColumn(col + 1);
        break;
    case Qt::Key_Home:
        if (mods & Qt::ControlModifier)
            rows->triggerAction(QAbstractSlider::SliderToMinimum);
        else
            SetFocusColumn(0);
        break;
    case Qt::Key_End:
        if (mods & Qt::ControlModifier)
            rows->triggerAction(QAbstractSlider::SliderToMaximum);
        else
            SetFocusColumn(model() ? model()->columnCount() - 1 : 0);
        break;
    case Qt::Key_Up:
        rows->triggerAction(QAbstractSlider::SliderSingleStepSub);
        break;
    case Qt::Key_Down:
        rows->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        break;
    case Qt::Key_PageUp:
        rows->triggerAction(QAbstractSlider::SliderPageStepSub);
        break;
    case Qt::Key_PageDown:
        rows->triggerAction(QAbstractSlider::SliderPageStepAdd);
        break;
    default:
        event->ignore();   // Escape and the rest belong to the page
        return;
    }
    event->accept();
}

void TImportGrid::focusInEvent(QFocusEvent *event)
{
    QTableView::focusInEvent(event);
    UpdateFocusMark();
}

void TImportGrid::focusOutEvent(QFocusEvent *event)
{
    QTableView::focusOutEvent(event);
    UpdateFocusMark();
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

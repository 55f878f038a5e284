#include "selection/ui/MemberListModel.h"
#include "selection/SelectionParameters.h"

#include <algorithm>

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

const char *const TMemberListModel::MimeType = "application/x-corvane-member-rows";

QList<QIcon> MakeSmallImages()
{
    // Drawn here so that they stay crisp and need no picture files.
    auto person = [](const QColor &colour, bool female) {
        QPixmap pm(16, 16);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawEllipse(QRectF(5, 1, 6, 6));   // head
        QPainterPath body;
        if (female) {
            // a dress: narrow shoulders, wide hem
            body.moveTo(6, 8);
            body.lineTo(10, 8);
            body.lineTo(13.5, 15);
            body.lineTo(2.5, 15);
        } else {
            body.addRoundedRect(QRectF(4, 8, 8, 7.5), 2, 2);
        }
        body.closeSubpath();
        p.drawPath(body);
        return QIcon(pm);
    };
    return {person(QColor(0x1f, 0x4e, 0x9c), false), person(QColor(0xb0, 0x25, 0x7a), true)};
}

TMemberListModel::TMemberListModel(const TMemberList *list, int kind, QList<QIcon> smallImages,
                                   QObject *parent)
    : QAbstractTableModel(parent), m_list(list), m_kind(kind), m_smallImages(std::move(smallImages))
{
}

void TMemberListModel::SetRowCount(int count)
{
    beginResetModel();
    m_rowCount = qMax(0, count);
    endResetModel();
}

void TMemberListModel::Repaint()
{
    if (m_rowCount > 0)
        emit dataChanged(index(0, 0), index(m_rowCount - 1, 2));
}

int TMemberListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rowCount;
}

int TMemberListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant TMemberListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::DecorationRole &&
                             role != Qt::ToolTipRole && role != Qt::AccessibleTextRole))
        return {};
    TMemberRow row;
    if (!m_list->FillListItem(m_list->MemberIndex(m_kind, index.row()), row))
        return {};
    // The icon's meaning in words, for screen readers and the mouse: the name cell reads
    // "DOE, JANE A., female".
    const QString gender = row.ImageIndex == 1 ? QStringLiteral("female") : QStringLiteral("male");
    if (role == Qt::ToolTipRole)
        return index.column() == 0 ? QVariant(gender.left(1).toUpper() + gender.mid(1)) : QVariant();
    if (role == Qt::AccessibleTextRole) {
        const QVariant shown = data(index, Qt::DisplayRole);
        return index.column() == 0 ? QVariant(shown.toString() + QStringLiteral(", ") + gender) : shown;
    }
    if (role == Qt::DecorationRole)
        return index.column() == 0 && row.ImageIndex < m_smallImages.size()
                   ? QVariant(m_smallImages[row.ImageIndex]) : QVariant();
    switch (index.column()) {
    case 0: return row.Caption;
    case 1: return row.SSN;
    case 2: return row.Rank;
    default: return {};
    }
}

QVariant TMemberListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char *const titles[] = {"Name", "SSN", "Rank"};
    return section >= 0 && section < 3 ? QString::fromLatin1(titles[section]) : QVariant();
}

Qt::ItemFlags TMemberListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
}

QStringList TMemberListModel::mimeTypes() const
{
    return {QString::fromLatin1(MimeType)};
}

QMimeData *TMemberListModel::mimeData(const QModelIndexList &) const
{
    // The drop acts on the source list's highlighted rows; the data only marks the drag.
    auto *mime = new QMimeData;
    mime->setData(QString::fromLatin1(MimeType), QByteArray::number(m_kind));
    return mime;
}

TMemberListView::TMemberListView(QWidget *parent)
    : QTreeView(parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(16, 16));
    header()->setSectionsClickable(true);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    connect(header(), &QHeaderView::sectionClicked, this, &TMemberListView::ColumnClicked);
}

void TMemberListView::SetColumnWidths(int name, int ssn, int rank)
{
    setColumnWidth(0, name);
    setColumnWidth(1, ssn);
    setColumnWidth(2, rank);
}

QList<int> TMemberListView::HighlightedRows() const
{
    QList<int> rows;
    if (!selectionModel())
        return rows;
    // Ranges rather than single indexes: a select-all of 100,000 rows is one range.
    for (const QItemSelectionRange &range : selectionModel()->selection()) {
        if (range.parent().isValid())
            continue;
        for (int r = range.top(); r <= range.bottom(); ++r)
            rows << r;
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void TMemberListView::HighlightAll()
{
    if (!model() || !selectionModel())
        return;
    const int rows = model()->rowCount();
    if (rows == 0)
        return;
    selectionModel()->select(QItemSelection(model()->index(0, 0), model()->index(rows - 1, model()->columnCount() - 1)),
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TMemberListView::EnableDragging(std::function<bool(QObject *)> acceptDrag,
                                     std::function<void(QObject *)> dropped)
{
    m_acceptDrag = std::move(acceptDrag);
    m_dropped = std::move(dropped);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    // Copy, not move: the rows change lists through the drop handler, never by the view
    // removing them from its model.
    setDefaultDropAction(Qt::CopyAction);
    setDropIndicatorShown(false);
}

// an entering drag is answered as a moving one
void TMemberListView::dragEnterEvent(QDragEnterEvent *event)
{
    TMemberListView::dragMoveEvent(event);
}

void TMemberListView::dragMoveEvent(QDragMoveEvent *event)
{
    if (m_acceptDrag && event->mimeData()->hasFormat(QString::fromLatin1(TMemberListModel::MimeType))
        && m_acceptDrag(event->source())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void TMemberListView::dropEvent(QDropEvent *event)
{
    if (!m_acceptDrag || !m_acceptDrag(event->source())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (m_dropped)
        m_dropped(event->source());
}

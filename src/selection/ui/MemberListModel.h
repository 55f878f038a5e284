#pragma once
#include <QAbstractTableModel>
#include <QIcon>
#include <QList>
#include <QTreeView>
#include <functional>

class TMemberList;

// The two small icons of the member lists: 0 for most members, 1 for female members.
QList<QIcon> MakeSmallImages();

// One view (list kind) of the member list as rows produced on demand: nothing is copied,
// each row is looked up through MemberIndex and written by FillListItem when shown.
class TMemberListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    TMemberListModel(const TMemberList *list, int kind, QList<QIcon> smallImages,
                     QObject *parent = nullptr);

    int Kind() const { return m_kind; }
    // Sets the row count from the member list (the list control's row count).
    void SetRowCount(int count);
    // The member list changed in place (order, print data): every shown row is asked again.
    void Repaint();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }
    Qt::DropActions supportedDropActions() const override { return Qt::CopyAction; }

    static const char *const MimeType;

private:
    const TMemberList *m_list;
    int m_kind;
    int m_rowCount = 0;
    QList<QIcon> m_smallImages;
};

// A report-style member list: whole rows, several highlighted at once, not editable,
// uniform rows so that a large list shows at once.
class TMemberListView : public QTreeView
{
    Q_OBJECT
public:
    explicit TMemberListView(QWidget *parent = nullptr);
    void SetColumnWidths(int name, int ssn, int rank);
    // The list kind this view shows (the list control's tag).
    int Tag = 0;
    // Rows highlighted, ascending.
    QList<int> HighlightedRows() const;
    void HighlightAll();

    // Dragging rows between lists: the page decides from the drag's source whether this
    // list takes a drop, and what a drop does.
    void EnableDragging(std::function<bool(QObject *source)> acceptDrag,
                        std::function<void(QObject *source)> dropped);

signals:
    void ColumnClicked(int column);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    std::function<bool(QObject *)> m_acceptDrag;
    std::function<void(QObject *)> m_dropped;
};

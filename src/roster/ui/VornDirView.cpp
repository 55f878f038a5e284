#include "VornDirView.h"

#include "roster/VornFileSystem.h"

#include <QDir>
#include <QFileIconProvider>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>

TVornDirView::TVornDirView(QWidget *parent)
    : QTreeView(parent), FMask(QStringLiteral("*.*")), FModel(new TVornFileModel(this)),
      FIcons(new QFileIconProvider)
{
    FModel->SetIconProvider(FIcons);
    setModel(FModel);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    header()->setStretchLastSection(true);
    header()->setSectionsMovable(false);
    setColumnWidth(0, 122);
    setColumnWidth(1, 96);
    setColumnWidth(2, 122);
    setColumnWidth(3, 122);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { emit OnChange(); });
    connect(this, &QAbstractItemView::doubleClicked, this, [this] { emit OnDblClick(); });
}

TVornDirView::~TVornDirView()
{
    setModel(nullptr);
    delete FIcons;
}

void TVornDirView::SetDirectory(const QString &directory)
{
    const QFileInfo fi(directory);
    if (directory.isEmpty() || !fi.isDir())
        return;
    const QString dir = WithTrailingSeparator(QDir::fromNativeSeparators(directory));
    if (dir == FDirectory)
        return;
    FDirectory = dir;
    Rebuild();
}

void TVornDirView::SetMask(const QString &mask)
{
    const QString m = NormalizeMask(mask);
    if (m == FMask)
        return;
    FMask = m;
    Rebuild();
}

void TVornDirView::SetActive(bool active)
{
    FActive = active;
    Rebuild();
}

QString TVornDirView::SelectedFileName() const
{
    const QModelIndexList rows = selectionModel()->selectedRows(0);
    return rows.isEmpty() ? QString() : FModel->FileName(rows.first().row());
}

bool TVornDirView::SelectFile(const QString &name)
{
    for (int row = 0; row < FModel->FileCount(); ++row) {
        if (FModel->FileName(row) == name) {
            const QModelIndex index = FModel->index(row, 0);
            selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
            scrollTo(index);
            return true;
        }
    }
    return false;
}

void TVornDirView::Rebuild()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    setUpdatesEnabled(false);
    // An inactive list, or one without a folder, shows nothing.
    FModel->SetFiles(FActive ? ListMatchingFiles(FDirectory, FMask) : QList<QFileInfo>());
    // Long roster names stay readable: the name column grows, never below its 122 pixels.
    setColumnWidth(0, std::clamp(sizeHintForColumn(0), 122, 320));
    setUpdatesEnabled(true);
    QGuiApplication::restoreOverrideCursor();
    // A model reset drops the selection without a selectionChanged signal.
    emit OnChange();
}

void TVornDirView::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        !SelectedFileName().isEmpty()) {
        emit OnDblClick();   // Enter on a file acts like a double-click
        return;
    }
    QTreeView::keyPressEvent(event);
}

#include "VornDriveView.h"

#include "VornDirView.h"

#include <QDir>
#include <QFileIconProvider>
#include <QHeaderView>

TVORNDriveView::TVORNDriveView(QWidget *parent)
    : QTreeView(parent), FModel(new TVornFolderModel(this)), FIcons(new QFileIconProvider)
{
    FModel->SetIconProvider(FIcons);
    setModel(FModel);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { SelectionChanged(); });
    SetActive(true);
}

TVORNDriveView::~TVORNDriveView()
{
    setModel(nullptr);
    delete FIcons;
}

QString TVORNDriveView::Directory() const
{
    return FModel->PathOf(currentIndex());
}

void TVORNDriveView::SetDirectory(const QString &directory)
{
    FDirectory = directory;
    QString path = QDir::fromNativeSeparators(directory.trimmed());
    if (!path.isEmpty() && !QDir::isAbsolutePath(path) && !path.startsWith(QLatin1Char('~'))) {
        // A relative path is taken from the folder shown now, as a user typing one expects.
        const QString base = Directory().isEmpty() ? QDir::currentPath() : Directory();
        path = QDir(base).absoluteFilePath(path);
    }
    const QModelIndex index = FModel->FindPath(path);
    if (!index.isValid())
        return;
    for (QModelIndex p = index.parent(); p.isValid(); p = p.parent())
        expand(p);
    setCurrentIndex(index);
    scrollTo(index);
}

void TVORNDriveView::SetDirView(TVornDirView *view)
{
    FDirView = view;
    if (FDirView)
        FDirView->SetDirectory(Directory());
}

void TVORNDriveView::SetActive(bool active)
{
    FActive = active;
    if (active) {
        RebuildDrives();
    } else {
        FModel->Clear();
        SelectionChanged();
    }
}

void TVORNDriveView::RebuildDrives()
{
    const QString remembered = Directory().isEmpty() ? FDirectory : Directory();
    const bool wasExpanded = currentIndex().isValid() && isExpanded(currentIndex());
    FModel->SetRoots(FRootsProvider ? FRootsProvider() : TVornRoots());
    SetDirectory(remembered);
    FDirectory = remembered;
    if (currentIndex().isValid()) {
        if (Directory() != WithTrailingSeparator(remembered))
            expand(currentIndex());
        else
            setExpanded(currentIndex(), wasExpanded);
    }
}

void TVORNDriveView::SelectionChanged()
{
    if (FDirView)
        FDirView->SetDirectory(Directory());
    emit OnChange();
}

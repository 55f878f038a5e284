#pragma once
#include "roster/VornFileSystem.h"

#include <QTreeView>
#include <functional>

class QFileIconProvider;
class TVornDirView;
class TVornFolderModel;

// The roots a user browses from, with their folders read when first opened. The selected
// folder is passed on to the linked file list.
class TVORNDriveView : public QTreeView
{
    Q_OBJECT
public:
    explicit TVORNDriveView(QWidget *parent = nullptr);
    ~TVORNDriveView() override;

    // Full path of the selected folder, ending in '/'; empty when none is selected.
    QString Directory() const;
    // Selects the deepest existing folder on the way to the path (a file path selects its
    // folder). A path under no root leaves the selection as it was.
    void SetDirectory(const QString &directory);
    TVornDirView *DirView() const { return FDirView; }
    void SetDirView(TVornDirView *view);
    bool Active() const { return FActive; }
    void SetActive(bool active);

    TVornFolderModel *FolderModel() const { return FModel; }
    // Where the roots come from; tests give their own. Takes effect on the next activation.
    void SetRootsProvider(std::function<TVornRoots()> provider) { FRootsProvider = std::move(provider); }

signals:
    void OnChange();

private:
    void RebuildDrives();
    void SelectionChanged();

    QString FDirectory;
    bool FActive = false;
    TVornDirView *FDirView = nullptr;
    TVornFolderModel *FModel;
    QFileIconProvider *FIcons;
    std::function<TVornRoots()> FRootsProvider = ReadRoots;
};

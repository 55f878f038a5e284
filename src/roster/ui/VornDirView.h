#pragma once
#include <QTreeView>

class QFileIconProvider;
class TVornFileModel;

// The files of one folder that match a mask list, with icon, size, type and modification
// time. Rebuilt whenever its folder, mask or Active is set.
class TVornDirView : public QTreeView
{
    Q_OBJECT
public:
    explicit TVornDirView(QWidget *parent = nullptr);
    ~TVornDirView() override;

    QString Directory() const { return FDirectory; }
    // An existing folder (a trailing '/' is added); a folder that does not exist is ignored.
    void SetDirectory(const QString &directory);
    QString Mask() const { return FMask; }
    void SetMask(const QString &mask);
    bool Active() const { return FActive; }
    void SetActive(bool active);

    // Name of the selected file; empty when none is selected.
    QString SelectedFileName() const;
    // Selects the file of that name (exact spelling); false when it is not listed.
    bool SelectFile(const QString &name);
    TVornFileModel *FileModel() const { return FModel; }

signals:
    void OnChange();     // items or selection changed
    void OnDblClick();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Rebuild();

    QString FDirectory;
    QString FMask;
    bool FActive = true;
    TVornFileModel *FModel;
    QFileIconProvider *FIcons;
};

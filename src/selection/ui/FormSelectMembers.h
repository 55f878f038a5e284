#pragma once
#include "app/ui/WizTemplate.h"

#include <QIcon>
#include <QList>

class QLabel;
class QToolButton;
class TMemberListModel;
class TMemberListView;

// Page 4: members moved by hand between the available and the selected list. Both lists
// are views of page 3's member list; every move goes through page 3's operations.
class TfrmSelectMembers : public TfrmWizTemplate
{
    Q_OBJECT
public:
    explicit TfrmSelectMembers(QWidget *parent = nullptr);

    TMemberListView *lvAvailable;
    TMemberListView *lvSelected;
    QToolButton *btnAddPerson;
    QToolButton *btnRemovePerson;
    QToolButton *btnAddAll;
    QToolButton *btnRemoveAll;
    QLabel *lblSelected;

    void RefreshLists();
    // Moves the highlighted rows of the list that the control stands for.
    void AddRemoveClick(QObject *sender);
    // Drag handlers: a list takes a drag only from the other list.
    bool lvListViewDragOver(TMemberListView *target, QObject *source) const;
    void lvListViewDragDrop(TMemberListView *target, QObject *source);

protected:
    void btnPreviousClick() override;
    void btnFinishClick() override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void lvListViewColumnClick(int column);
    void PlaceSelectedLabel();
    bool EnsureModels();

    QList<QIcon> FSmallImages;
    TMemberListModel *FAvailableModel = nullptr;
    TMemberListModel *FSelectedModel = nullptr;
};

extern TfrmSelectMembers *frmSelectMembers;

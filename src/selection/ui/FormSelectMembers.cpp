#include "selection/ui/FormSelectMembers.h"

#include "app/ui/Dialogs.h"
#include "selection/TestMembers.h"
#include "selection/ui/MemberListModel.h"

#include <QFrame>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

TfrmSelectMembers *frmSelectMembers = nullptr;

namespace {

// A double click anywhere in a list, on a row or below the last one, moves the list's
// highlighted rows; a press below the rows keeps the highlight for that double click.
class TListDoubleClick : public QObject
{
public:
    TListDoubleClick(QAbstractItemView *list, std::function<void()> action)
        : QObject(list), FList(list), FAction(std::move(action))
    {
        list->viewport()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != FList->viewport())
            return false;
        if (event->type() == QEvent::MouseButtonDblClick) {
            if (static_cast<QMouseEvent *>(event)->button() != Qt::LeftButton)
                return false;
            FAction();
            return true;
        }
        if (event->type() == QEvent::MouseButtonPress) {
            const auto *me = static_cast<QMouseEvent *>(event);
            return me->button() == Qt::LeftButton && me->modifiers() == Qt::NoModifier
                   && !FList->indexAt(me->position().toPoint()).isValid();
        }
        return false;
    }

private:
    QAbstractItemView *FList;
    std::function<void()> FAction;
};

// Arrow pictures: one or two triangles pointing right (add) or left (remove).
QIcon ArrowIcon(bool right, bool doubled)
{
    QPixmap pm(20, 20);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x20, 0x20, 0x70));
    const QList<qreal> tips = doubled ? QList<qreal>{8, 15} : QList<qreal>{12.5};
    for (qreal tip : tips) {
        QPainterPath path;
        if (right) {
            path.moveTo(tip, 10);
            path.lineTo(tip - 7, 4);
            path.lineTo(tip - 7, 16);
        } else {
            path.moveTo(20 - tip, 10);
            path.lineTo(27 - tip, 4);
            path.lineTo(27 - tip, 16);
        }
        path.closeSubpath();
        p.drawPath(path);
    }
    return QIcon(pm);
}

QToolButton *ArrowButton(QWidget *parent, const char *name, const char *hint, bool right, bool doubled)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(QString::fromLatin1(hint));
    b->setAccessibleName(QString::fromLatin1(hint));   // the picture alone says nothing to a screen reader
    b->setFocusPolicy(Qt::StrongFocus);
    b->setAutoRaise(true);
    b->setFixedSize(27, 27);
    b->setIcon(ArrowIcon(right, doubled));
    b->setIconSize(QSize(20, 20));
    return b;
}

} // namespace

TfrmSelectMembers::TfrmSelectMembers(QWidget *parent)
    : TfrmWizTemplate(parent)
{
    setObjectName(QStringLiteral("frmSelectMembers"));
    lblTitle->setText(QStringLiteral("Select Members for Testing"));
    lblDescription->setText(QStringLiteral(
        "Available members can be sorted by clicking on the Column Titles. Use the arrow buttons "
        "to select or deselect members for testing. "));
    btnNext->setEnabled(false);

    FSmallImages = MakeSmallImages();

    auto *grid = new QGridLayout(pnlClient);
    grid->setContentsMargins(6, 4, 6, 6);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);

    auto *lblAvailableCaption = new QLabel(QStringLiteral("Available"), pnlClient);
    lblAvailableCaption->setObjectName(QStringLiteral("lblAvailableCaption"));
    auto *lblSelectedCaption = new QLabel(QStringLiteral("Selected"), pnlClient);
    lblSelectedCaption->setObjectName(QStringLiteral("lblSelectedCaption"));

    lvAvailable = new TMemberListView(pnlClient);
    lvAvailable->setObjectName(QStringLiteral("lvAvailable"));
    lvAvailable->setAccessibleName(QStringLiteral("Available"));
    lvAvailable->Tag = lkAvailable;
    // The two lists share the work area beside the buttons (329 and 330 pixels would run
    // past the window's edge); each keeps its scroll bar inside the window.
    lvAvailable->setMaximumWidth(329);
    lvSelected = new TMemberListView(pnlClient);
    lvSelected->setObjectName(QStringLiteral("lvSelected"));
    lvSelected->setAccessibleName(QStringLiteral("Selected"));
    lvSelected->Tag = lkSelected;
    lvSelected->setMaximumWidth(330);

    auto *buttons = new QVBoxLayout;
    buttons->setSpacing(4);
    buttons->addStretch(1);
    btnAddPerson = ArrowButton(pnlClient, "btnAddPerson", "Select Member", true, false);
    btnRemovePerson = ArrowButton(pnlClient, "btnRemovePerson", "Remove Member", false, false);
    btnAddAll = ArrowButton(pnlClient, "btnAddAll", "Select All Members", true, true);
    btnRemoveAll = ArrowButton(pnlClient, "btnRemoveAll", "Remove All Members", false, true);
    auto *separator = new QFrame(pnlClient);
    separator->setObjectName(QStringLiteral("Bevel1"));
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);
    separator->setFixedWidth(27);
    buttons->addWidget(btnAddPerson);
    buttons->addWidget(btnRemovePerson);
    buttons->addSpacing(6);
    buttons->addWidget(separator);
    buttons->addSpacing(6);
    buttons->addWidget(btnAddAll);
    buttons->addWidget(btnRemoveAll);
    buttons->addStretch(1);

    grid->addWidget(lblAvailableCaption, 0, 0);
    grid->addWidget(lblSelectedCaption, 0, 2);
    grid->addWidget(lvAvailable, 1, 0);
    grid->addLayout(buttons, 1, 1);
    grid->addWidget(lvSelected, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(2, 1);

    // "Selected: n" sits inside the status line from about its middle.
    lblSelected = new QLabel(QStringLiteral("Selected: 0"), pnlStatus);
    lblSelected->setObjectName(QStringLiteral("lblSelected"));
    lblSelected->setFont(pnlStatus->font());
    pnlStatus->setText(QStringLiteral("Available: 0"));
    PlaceSelectedLabel();

    // Tab walks left to right: the available list, the arrow buttons, the selected list.
    setTabOrder(lvAvailable, btnAddPerson);
    setTabOrder(btnAddPerson, btnRemovePerson);
    setTabOrder(btnRemovePerson, btnAddAll);
    setTabOrder(btnAddAll, btnRemoveAll);
    setTabOrder(btnRemoveAll, lvSelected);

    for (QToolButton *b : {btnAddPerson, btnRemovePerson, btnAddAll, btnRemoveAll})
        connect(b, &QToolButton::clicked, this, [this, b] { RunAction([this, b] { AddRemoveClick(b); }, this); });
    for (TMemberListView *list : {lvAvailable, lvSelected}) {
        new TListDoubleClick(list, [this, list] { RunAction([this, list] { AddRemoveClick(list); }, this); });
        connect(list, &TMemberListView::ColumnClicked, this,
                [this](int column) { RunAction([this, column] { lvListViewColumnClick(column); }, this); });
        list->EnableDragging(
            [this, list](QObject *source) { return lvListViewDragOver(list, source); },
            [this, list](QObject *source) { RunAction([this, list, source] { lvListViewDragDrop(list, source); }, this); });
    }
    EnsureModels();
}

bool TfrmSelectMembers::EnsureModels()
{
    if (FAvailableModel)
        return true;
    if (!TestMembers())
        return false;
    const TMemberList *members = &TestMembers()->Members();
    FAvailableModel = new TMemberListModel(members, lkAvailable, FSmallImages, this);
    FSelectedModel = new TMemberListModel(members, lkSelected, FSmallImages, this);
    lvAvailable->setModel(FAvailableModel);
    lvSelected->setModel(FSelectedModel);
    for (TMemberListView *list : {lvAvailable, lvSelected}) {
        list->SetColumnWidths(185, 83, 42);
        // Name gives way when the list is narrower than its columns, so Rank stays in view.
        list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    }
    return true;
}

void TfrmSelectMembers::PlaceSelectedLabel()
{
    const int left = pnlStatus->width() / 2;
    lblSelected->setGeometry(left, 0, pnlStatus->width() - left, pnlStatus->height());
}

void TfrmSelectMembers::resizeEvent(QResizeEvent *event)
{
    TfrmWizTemplate::resizeEvent(event);
    PlaceSelectedLabel();
}

void TfrmSelectMembers::showEvent(QShowEvent *event)
{
    TfrmWizTemplate::showEvent(event);
    PlaceSelectedLabel();
    RunAction([this] { RefreshLists(); }, this);
}

void TfrmSelectMembers::RefreshLists()
{
    if (!EnsureModels())
        return;
    const int selected = TestMembers()->SelectedCount();
    const int available = TestMembers()->MemberCount() - selected;
    FAvailableModel->SetRowCount(available);
    FSelectedModel->SetRowCount(selected);
    pnlStatus->setText(QStringLiteral("Available: %1").arg(FAvailableModel->rowCount()));
    lblSelected->setText(QStringLiteral("Selected: %1").arg(FSelectedModel->rowCount()));
}

void TfrmSelectMembers::AddRemoveClick(QObject *sender)
{
    if (!EnsureModels())
        return;
    TMemberListView *list;
    if (sender == btnAddAll) {
        list = lvAvailable;
        list->HighlightAll();
    } else if (sender == btnRemoveAll) {
        list = lvSelected;
        list->HighlightAll();
    } else if (sender == btnAddPerson || sender == lvAvailable) {
        list = lvAvailable;
    } else {
        list = lvSelected;
    }
    // A highlighted row at position p, after m highlighted rows above it have moved away,
    // stands at view position p - m.
    const int rowCount = list->model()->rowCount();
    int moved = 0;
    for (int row : list->HighlightedRows()) {
        if (row >= rowCount)
            break;
        const int position = row - moved;
        if (list == lvAvailable)
            TestMembers()->SelectMember(TestMembers()->MemberIndex(lkAvailable, position));
        else
            TestMembers()->DeselectMember(TestMembers()->MemberIndex(lkSelected, position));
        ++moved;
    }
    RefreshLists();
}

bool TfrmSelectMembers::lvListViewDragOver(TMemberListView *target, QObject *source) const
{
    return (target == lvAvailable && source == lvSelected) || (target == lvSelected && source == lvAvailable);
}

void TfrmSelectMembers::lvListViewDragDrop(TMemberListView *target, QObject *source)
{
    if (!lvListViewDragOver(target, source))
        return;
    if (source == lvAvailable)
        btnAddPerson->click();
    else
        btnRemovePerson->click();
}

void TfrmSelectMembers::lvListViewColumnClick(int column)
{
    TestMembers()->SortByColumn(column);
    if (EnsureModels()) {
        FAvailableModel->Repaint();
        FSelectedModel->Repaint();
    }
}

void TfrmSelectMembers::btnPreviousClick()
{
    TfrmWizTemplate::btnPreviousClick();
    ShowPage(TWizPage::SelectionParameters);
}

void TfrmSelectMembers::btnFinishClick()
{
    if (MessageDlg(QStringLiteral("The test is about to be created.  Are you sure you wish to continue?"),
                   mtConfirmation, mbYesNo, this) != mrYes)
        return;
    TestMembers()->RecordSelection(dmByHand);
    TfrmWizTemplate::btnFinishClick();
    ShowPage(TWizPage::PrintProducts);
}

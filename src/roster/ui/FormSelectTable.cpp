#include "roster/ui/FormSelectTable.h"
#include "roster/ImportHooks.h"
#include "app/ui/FormWaiting.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
SelectTableHook &HookSlot()
{
    static SelectTableHook hook;
    return hook;
}
} // namespace

TfrmSelectTable::TfrmSelectTable(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSelectTable"));
    setWindowTitle(QStringLiteral("Select Table"));
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(10);
    setFont(f);

    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("pnlPrompt"));
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    lblPrompt = new QLabel(QStringLiteral("Select the table to import from the following list."), panel);
    lblPrompt->setObjectName(QStringLiteral("lblPrompt"));
    lblPrompt->setAlignment(Qt::AlignCenter);
    lblPrompt->setWordWrap(true);
    auto *panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(4, 4, 4, 4);
    panelLayout->addWidget(lblPrompt);

    ListBox = new QListWidget(this);
    ListBox->setObjectName(QStringLiteral("ListBox"));
    ListBox->setAccessibleName(QStringLiteral("Tables"));
    ListBox->setSelectionMode(QAbstractItemView::SingleSelection);

    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnOK->setEnabled(false);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    buttons->addStretch();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(panel);
    layout->addWidget(ListBox, 1);
    layout->addLayout(buttons);
    setFixedSize(222, 244);

    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    // Keyboard selection counts as a click, so OK follows the selection however it changes.
    connect(ListBox, &QListWidget::itemSelectionChanged, this, &TfrmSelectTable::ListBoxClick);
    connect(ListBox, &QListWidget::itemDoubleClicked, this, &TfrmSelectTable::ListBoxDblClick);
}

void TfrmSelectTable::SetTables(const QStringList &tables)
{
    ListBox->clear();
    ListBox->addItems(tables);
    ListBox->setCurrentRow(-1);
    ListBox->clearSelection();
    btnOK->setEnabled(false);
}

QString TfrmSelectTable::SelectedTable() const
{
    const QList<QListWidgetItem *> items = ListBox->selectedItems();
    return items.isEmpty() ? QString() : items.first()->text();
}

void TfrmSelectTable::ListBoxClick()
{
    btnOK->setEnabled(!ListBox->selectedItems().isEmpty());
}

void TfrmSelectTable::ListBoxDblClick()
{
    if (!ListBox->selectedItems().isEmpty())
        btnOK->click();
}

namespace {
// The wait window stays on top: while the user chooses it would cover the list.
class TWaitingHidden
{
public:
    TWaitingHidden() : FWasShown(frmWaiting && frmWaiting->isVisible())
    {
        if (FWasShown)
            frmWaiting->hide();
    }
    ~TWaitingHidden()
    {
        if (FWasShown && frmWaiting)
            frmWaiting->show();
    }

private:
    bool FWasShown;
};
} // namespace

bool ChooseTable(const QStringList &tables, QString &chosen)
{
    TfrmSelectTable dialog;   // no owner, released on return
    dialog.SetTables(tables);
    const TWaitingHidden waitingHidden;
    const int result = HookSlot() ? HookSlot()(dialog) : dialog.exec();
    if (result != QDialog::Accepted)
        return false;
    chosen = dialog.SelectedTable();
    return !chosen.isEmpty();
}

void SetSelectTableHook(SelectTableHook hook)
{
    HookSlot() = std::move(hook);
}

void InstallTableChooser()
{
    SetTableChooser(&ChooseTable);
}

#pragma once
#include <QDialog>
#include <QStringList>
#include <functional>

class QLabel;
class QListWidget;
class QPushButton;

// The modal dialog in which the user picks the one table of a database to import.
class TfrmSelectTable : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmSelectTable(QWidget *parent = nullptr);

    void SetTables(const QStringList &tables);
    // The selected entry's text; empty when nothing is selected.
    QString SelectedTable() const;

    QLabel *lblPrompt;
    QListWidget *ListBox;
    QPushButton *btnOK;
    QPushButton *btnCancel;

private slots:
    void ListBoxClick();
    void ListBoxDblClick();
};

// Makes the database reader ask the user through TfrmSelectTable. Called at start-up.
void InstallTableChooser();

// Test seam: instead of running the dialog modally, the hook gets the filled dialog and
// returns its result (QDialog::Accepted or Rejected). An empty function restores exec().
using SelectTableHook = std::function<int(TfrmSelectTable &dialog)>;
void SetSelectTableHook(SelectTableHook hook);

// What the installed chooser does: shows the dialog with the tables; false when cancelled.
bool ChooseTable(const QStringList &tables, QString &chosen);

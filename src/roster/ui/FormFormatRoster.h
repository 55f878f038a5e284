#pragma once
#include "app/ui/WizTemplate.h"
#include "roster/ImportTable.h"

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QListWidget;
class QPainter;
class TImportGrid;
class TImportGridModel;

// Page 2: loads the chosen roster file into the roster table, shows it in a grid and lets
// the user say what the file is, which column carries what, and whether row 1 is a header.
class TfrmFormatRoster : public TfrmWizTemplate
{
    Q_OBJECT
public:
    explicit TfrmFormatRoster(QWidget *parent = nullptr);
    ~TfrmFormatRoster() override;

    QLabel *lblFileType;
    QComboBox *cbFileType;
    QCheckBox *cbIgnoreHeader;
    TImportGrid *dgImportTable;
    QListWidget *lbFields;

    const TImportTable &Table() const { return *FTable; }
    QString RosterFileName() const { return FRosterFileName; }
    TImportFileType FileType() const { return FFileType; }
    int MapColumn() const { return FMapColumn; }

    // The file type each cbFileType entry loads, and the kind each lbFields entry assigns.
    static TImportFileType FileTypeOfEntry(int index);
    static TImportFieldKind KindOfEntry(int index);
    // The cbFileType entry an extension selects (compared upper-case), or -1.
    static int EntryOfExtension(const QString &path);
    // The cbFileType entry that loads a file type, or -1.
    static int EntryOfFileType(TImportFileType type);

protected:
    void btnPreviousClick() override;
    void btnNextClick() override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormShow();
    void cbFileTypeChange();
    void cbIgnoreHeaderClick();
    void RefreshGrid();
    void CheckRequiredColumns();
    void dgImportTableDrawCell(QPainter *painter, const QRect &rect, int col, int row);
    void dgImportTableMouseDown(const QPoint &pos);
    void dgImportTableMouseUp(const QPoint &pos);
    void dgImportTableOpenColumn(int col);
    void OpenFieldList(int col, const QPoint &gridPos);
    void lbFieldsClick();
    void lbFieldsExit();

    QString FRosterFileName;
    std::unique_ptr<TImportTable> FTable;
    TImportFileType FFileType = iftNone;
    int FClickColumn = -1;
    int FMapColumn = -1;
    QString FLoadedFileName;   // the file the table was read from
    TImportGridModel *FGridModel;
};

extern TfrmFormatRoster *frmFormatRoster;

// Where page 2 finds the file chosen on page 1: its folder (ending in a separator) and name,
// empty when none is chosen; false when there is no page 1. The start-up code installs it.
using TRosterChoiceSource = std::function<bool(QString &folder, QString &fileName)>;
void SetRosterChoiceSource(TRosterChoiceSource source);

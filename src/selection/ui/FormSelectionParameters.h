#pragma once
#include "app/ui/WizTemplate.h"
#include "roster/RosterRec.h"
#include "selection/SelectionRecord.h"
#include "selection/SelectionParameters.h"
#include "selection/TestMembers.h"

#include <QIcon>
#include <QList>

class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class TImportTable;
class TMemberListModel;
class TMemberListView;

// Page 3: the roster handed over by page 2, the testing parameters, and the draw.
// The page keeps the member list for the rest of the run; the select-members and
// print-products pages read and change it only through the operations below.
class TfrmSelectionParameters : public TfrmWizTemplate, public TTestMembers
{
    Q_OBJECT
public:
    explicit TfrmSelectionParameters(QWidget *parent = nullptr);

    // Rebuilds the member list from the roster table (page 2's Next).
    void LoadRoster(const TImportTable &table) override;
    // The same with records built elsewhere (the headless program, tests).
    void LoadMembers(const TRosterRecs &members);

    int MemberCount() const override { return FMembers.MemberCount(); }
    int SelectedCount() const override { return FMembers.SelectedCount; }
    bool GroupByGender() const { return FMembers.GroupByGender; }
    int MemberIndex(int kind, int n) const override { return FMembers.MemberIndex(kind, n); }
    bool FillListItem(int memberIndex, TMemberRow &row) const override { return FMembers.FillListItem(memberIndex, row); }
    void SelectMember(int memberIndex) override { FMembers.SelectMember(memberIndex); }
    void DeselectMember(int memberIndex) override { FMembers.DeselectMember(memberIndex); }
    void ClearSelection() { FMembers.ClearSelection(); }
    void SortByColumn(int column) override;
    void SetGroupByGender(bool value) override;
    const TRosterRec &GetSelectedMember(int n) const override { return FMembers.GetSelectedMember(n); }
    void SetMemberPrintInfo(int n, int formIndex, const QString &specimenNumber) override
    {
        FMembers.SetMemberPrintInfo(n, formIndex, specimenNumber);
    }
    QString PremiseCode() const override;
    QString LocationCode() const override;

    // Read access for lists and the headless program.
    const TMemberList &Members() const override { return FMembers; }
    // The roster the members came from, handed over with them; each Finish records its draw.
    TRosterSource RosterSource;
    void SetRosterSource(const TRosterSource &source) override { RosterSource = source; }
    // alternates: member indexes in the order they are to be used, asked of them how many
    void RecordSelection(TDrawMethod method, const QList<int> &alternates = {}, int alternatesAsked = 0) override;
    const QList<QIcon> &SmallImages() const { return FSmallImages; }

    TMemberListView *lvRoster;
    QLabel *lblLocationCode;
    QComboBox *cbLocationCode;
    QLabel *lblPremise;
    QComboBox *cmbxPremise;
    QLabel *lblRandomizationMethod;
    QRadioButton *rbPercentage;
    QRadioButton *rbTotalNumber;
    QLabel *lblSelectionMethod;
    QLineEdit *edtCount;
    // Random testing: how many alternates to draw after the selection (0 to 99).
    QLabel *lblAlternates;
    QSpinBox *edtAlternates;

    bool ZZWarningShown = false;

    static const QString HelpDeskEmail;
    // The temporary-location warning (four lines).
    static QString TemporaryLocationText();

protected:
    void btnPreviousClick() override;
    void btnNextClick() override;
    void btnFinishClick() override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormShow();
    void cmbxPremiseChange();
    void rbPercentageClick();
    void cbLocationCodeChange();
    void cbLocationCodeExit();
    // Leaving the location box is checked once the focus has settled elsewhere.
    void ScheduleLocationCheck();
    void LocationCheckDue();
    bool LeftLocationForward() const;
    void UpdateButtons();
    void WarnTemporaryLocation();
    void RefreshRoster();

    TMemberList FMembers;
    QList<QIcon> FSmallImages;
    TMemberListModel *FRosterModel;
    bool FInLocationExit = false;
    bool FLocationCheckPending = false;
};

extern TfrmSelectionParameters *frmSelectionParameters;

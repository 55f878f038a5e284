#pragma once
// What the other pages ask of the member list and the test state, which page 3 holds: a
// page reaches another only through this and the wizard frame.
#include "roster/RosterRec.h"
#include "selection/SelectionParameters.h"
#include "selection/SelectionRecord.h"

#include <functional>

class TImportTable;

class TTestMembers
{
public:
    virtual ~TTestMembers() = default;

    // Rebuilds the member list from the roster table (page 2's Next), then records where it came from.
    virtual void LoadRoster(const TImportTable &table) = 0;
    virtual void SetRosterSource(const TRosterSource &source) = 0;

    virtual const TMemberList &Members() const = 0;
    virtual int MemberCount() const = 0;
    virtual int SelectedCount() const = 0;
    virtual int MemberIndex(int kind, int n) const = 0;
    virtual bool FillListItem(int memberIndex, TMemberRow &row) const = 0;
    virtual void SelectMember(int memberIndex) = 0;
    virtual void DeselectMember(int memberIndex) = 0;
    virtual void SortByColumn(int column) = 0;
    virtual void SetGroupByGender(bool value) = 0;
    virtual const TRosterRec &GetSelectedMember(int n) const = 0;
    virtual void SetMemberPrintInfo(int n, int formIndex, const QString &specimenNumber) = 0;
    virtual QString PremiseCode() const = 0;
    virtual QString LocationCode() const = 0;
    virtual void RecordSelection(TDrawMethod method, const QList<int> &alternates = {}, int alternatesAsked = 0) = 0;
};

// Where the member list's holder is (null when there is none); the start-up code installs it.
void SetTestMembersSource(std::function<TTestMembers *()> source);
TTestMembers *TestMembers();

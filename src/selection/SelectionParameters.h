#pragma once
#include "roster/RosterRec.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class TImportTable;
class TServiceUtils;

// The member list of a test: the roster records, the order in which every list shows
// them, the sort state and the selection. The testing-parameters page owns one and the
// other pages reach it through that page; the headless program uses it directly.

// List kinds: every member list is one of these views, each in display order.
enum TMemberListKind : int { lkAll = 0, lkAvailable = 1, lkSelected = 2 };

// One row of a member list as the lists show it.
struct TMemberRow
{
    int ImageIndex = 0;   // 1 for a member whose gender is "F", else 0
    QString Caption;      // Name
    QString SSN;          // '123-45-6789'
    QString Rank;
};

// '123456789' -> '123-45-6789'; shorter texts give what they have ('' -> '--').
QString SsnDisplayText(const QString &ssn);

class TMemberList
{
public:
    int SelectedCount = 0;
    bool GroupByGender = false;
    TRosterRecs Members;        // roster order; change Selected only through the operations
    QList<int> DisplayOrder;    // permutation of 0 .. N-1
    bool SortAscending = false;
    quint8 SortColumn = 0;      // 0 Name, 1 SSN, 2 Rank

    // Replaces the members (all deselected), resets the display order to roster order
    // and then applies the column-click rule for Name, as a roster hand-over does.
    void LoadMembers(TRosterRecs members);
    // The same, with the members built from the roster table (one per data row).
    void LoadRoster(const TImportTable &table);

    int MemberCount() const { return int(Members.size()); }
    // Member index of the n-th member of a list kind, -1 when there is none.
    int MemberIndex(int kind, int n) const;
    // Number of rows a list kind shows.
    int ViewCount(int kind) const;
    // Writes row of a list; false (row untouched) when the index is -1 or out of range.
    bool FillListItem(int memberIndex, TMemberRow &row) const;

    void SelectMember(int memberIndex);
    void DeselectMember(int memberIndex);
    void ClearSelection();
    void SelectAll();   // the unit sweep

    // Column-header click: the same column again reverses the direction, another column
    // sorts ascending by it.
    void SortByColumn(int column);
    void SetGroupByGender(bool value);
    bool MemberBefore(const TRosterRec &a, const TRosterRec &b) const;

    // n-th selected member in display order (0 <= n < SelectedCount); an empty record
    // when n is out of range. The reference holds until the members change.
    const TRosterRec &GetSelectedMember(int n) const;
    // Member indexes of the selected members in display order, made in one pass and kept
    // until the selection or the order changes: walking them all costs N, not N log N.
    const QList<int> &SelectedIndexes() const;
    void SetMemberPrintInfo(int n, int formIndex, const QString &specimenNumber);

private:
    void Sort();
    struct TSortKey
    {
        // Weights of the first sixteen characters, a byte each, order-preserving: a roster's
        // 'SMITH, J' repeats, its 'SMITH, JOHN A.' seldom does.
        quint64 Prefix;
        quint64 Prefix2;
        int Member;         // the member's index: its sort text, and the display order after
        quint32 Group;      // gender id (equal for equal gender texts) << 6, female << 5,
                            // leading characters the prefix holds exactly
        int GenderId() const { return int(Group >> 6); }
        bool Female() const { return (Group >> 5) & 1; }
        int Exact() const { return int(Group & 31); }
    };
    const QString &SortText(const TRosterRec &m) const;
    bool KeyBefore(const TSortKey &a, const TSortKey &b) const;
    // The same column clicked again, on a list the last sort left in order: the order again
    // in the other direction, from one pass over the list. False (nothing changed) when the
    // list is not in the order the rules give, or the rules give no strict order of members.
    bool ResortReversed();
    void InvalidateIndex() { m_indexValid = false; m_selectedValid = false; }
    void EnsureIndex() const;
    void TreeAdd(int position, int delta) const;
    int FindNth(bool selected, int n) const;

    // Positions in display order of every member, and a Fenwick tree of selected flags
    // over display positions: the n-th available or selected member is found in log N
    // steps, and a move updates it in log N, so large rosters stay fast.
    mutable QList<int> m_positionOf;
    mutable QList<int> m_tree;
    mutable bool m_indexValid = false;
    mutable QList<int> m_selected;
    mutable bool m_selectedValid = false;
};

// The testing premises, in the order of the premise box.
const QStringList &PremiseEntries();
// The two characters before the last one: "IR" for "Random Testing (IR)".
QString PremiseCodeOf(const QString &premiseText);

// The 272 collection locations as the location box lists them (most padded to 100).
const QStringList &LocationEntries();
// The first two characters; empty when nothing is chosen.
QString LocationCodeOf(const QString &locationText);

// Draws. countText is the text of the count / probability box.
// Total number: reads an integer ("'%s' is not a valid integer value"), then draws
// without replacement among the available members in display order.
void SelectByCount(TMemberList &list, const QString &countText);

// How the probability of one member follows from the typed percentage and the rank.
using TRankProbability = std::function<double(double percent, const QString &rank)>;
// Probability: reads a locale-aware float ("'%s' is not a valid floating point value"),
// then one draw per member in roster order. rankProbability may be empty (q = p).
void SelectByProbability(TMemberList &list, const QString &countText,
                         const TRankProbability &rankProbability = {});
// The profile's rank-minimum rule as a TRankProbability (empty for no profile).
TRankProbability RankProbabilityOf(const TServiceUtils *profile);

// Alternates of a random draw: the members to be tested, in this order, when a selected
// member is not available. Up to count member indexes (all that are left when fewer are),
// drawn right after the selection among the members not selected, as the total number draws
// them: each is the r-th still left in display order. The random source goes on from where
// the selection left it (no new seed), so asking for alternates never changes the selection.
constexpr int MaxAlternates = 99;
QList<int> DrawAlternates(const TMemberList &list, int count);

#include "testmain.h"
#include "members.h"
#include "selection/SelectionParameters.h"

#include <QTest>

namespace {

QStringList NamesInOrder(const TMemberList &list)
{
    QStringList names;
    for (int n = 0; n < list.MemberCount(); ++n)
        names << list.Members[list.MemberIndex(lkAll, n)].Name;
    return names;
}

// The member-index rule walked literally: count matching members in display order.
int WalkMemberIndex(const TMemberList &list, int kind, int n)
{
    if (kind == lkAll)
        return list.DisplayOrder[n];
    int count = 0;
    for (int member : list.DisplayOrder) {
        if (list.Members[member].Selected == (kind == lkSelected)) {
            if (++count == n + 1)
                return member;
        }
    }
    return -1;
}

// The partition sort written plainly with both recursive calls, to check the
// depth-limited version against.
void ReferenceQuickSort(const TMemberList &list, QList<int> &order, int l, int r)
{
    int i = l, j = r;
    const TRosterRec pivot = list.Members[order[(l + r) / 2]];
    do {
        while (list.MemberBefore(list.Members[order[i]], pivot))
            ++i;
        while (list.MemberBefore(pivot, list.Members[order[j]]))
            --j;
        if (i <= j) {
            std::swap(order[i], order[j]);
            ++i;
            --j;
        }
    } while (i <= j);
    if (l < j)
        ReferenceQuickSort(list, order, l, j);
    if (i < r)
        ReferenceQuickSort(list, order, i, r);
}

bool IsPermutation(const QList<int> &order, int n)
{
    QList<bool> seen(n, false);
    if (order.size() != n)
        return false;
    for (int v : order) {
        if (v < 0 || v >= n || seen[v])
            return false;
        seen[v] = true;
    }
    return true;
}

} // namespace

class TestMemberList : public QObject
{
    Q_OBJECT
private slots:
    void firstLoadSortsByNameAscendingThenReloadReverses()
    {
        TMemberList list;
        const TRosterRecs roster = {MakeMember("CHARLIE"), MakeMember("ALPHA"), MakeMember("BRAVO")};
        list.LoadMembers(roster);
        QCOMPARE(NamesInOrder(list), QStringList({"ALPHA", "BRAVO", "CHARLIE"}));
        QVERIFY(list.SortAscending);
        // Coming back from the roster page with Name still the sort column reverses it.
        list.LoadMembers(roster);
        QCOMPARE(NamesInOrder(list), QStringList({"CHARLIE", "BRAVO", "ALPHA"}));
        // With another sort column, a load sorts ascending by name again.
        list.SortByColumn(2);
        list.LoadMembers(roster);
        QCOMPARE(NamesInOrder(list), QStringList({"ALPHA", "BRAVO", "CHARLIE"}));
    }
    void loadClearsEarlierSelection()
    {
        TMemberList list;
        list.LoadMembers(RandomRoster(30, 1));
        list.SelectAll();
        QCOMPARE(list.SelectedCount, 30);
        list.LoadMembers(RandomRoster(20, 2));
        QCOMPARE(list.SelectedCount, 0);
        QCOMPARE(list.ViewCount(lkAvailable), 20);
        for (const TRosterRec &m : list.Members)
            QVERIFY(!m.Selected);
        QVERIFY(IsPermutation(list.DisplayOrder, 20));
    }
    void emptyRoster()
    {
        TMemberList list;
        list.LoadMembers({});
        QCOMPARE(list.MemberCount(), 0);
        QCOMPARE(list.MemberIndex(lkAll, 0), -1);
        QCOMPARE(list.MemberIndex(lkAvailable, 0), -1);
        QCOMPARE(list.MemberIndex(lkSelected, 0), -1);
        list.SortByColumn(1);
        list.SelectAll();
        QCOMPARE(list.SelectedCount, 0);
        QCOMPARE(list.GetSelectedMember(0).Name, QString());
    }
    void columnClicksToggleAndSwitch()
    {
        TMemberList list;
        list.LoadMembers({MakeMember("B", "222222222", "M", "SGT"),
                          MakeMember("C", "111111111", "M", "CPT"),
                          MakeMember("A", "333333333", "F", "PVT")});
        QCOMPARE(NamesInOrder(list), QStringList({"A", "B", "C"}));
        list.SortByColumn(0);
        QVERIFY(!list.SortAscending);
        QCOMPARE(NamesInOrder(list), QStringList({"C", "B", "A"}));
        list.SortByColumn(2);   // rank ascending: CPT, PVT, SGT
        QVERIFY(list.SortAscending);
        QCOMPARE(list.SortColumn, quint8(2));
        QCOMPARE(NamesInOrder(list), QStringList({"C", "A", "B"}));
        list.SortByColumn(1);   // SSN ascending
        QCOMPARE(NamesInOrder(list), QStringList({"C", "B", "A"}));
        list.SortByColumn(1);
        QCOMPARE(NamesInOrder(list), QStringList({"A", "B", "C"}));
    }
    void textOrderIsByCharacterCode()
    {
        TMemberList list;
        list.LoadMembers({MakeMember("abc"), MakeMember("Zed"), MakeMember("AB"), MakeMember("A"),
                          MakeMember("O'BRIEN"), MakeMember("OBRIEN")});
        QCOMPARE(NamesInOrder(list), QStringList({"A", "AB", "O'BRIEN", "OBRIEN", "Zed", "abc"}));
    }
    void groupByGenderPutsFemalesFirst()
    {
        TMemberList list;
        list.LoadMembers(RandomRoster(400, 7));
        for (bool ascending : {true, false}) {
            list.SetGroupByGender(true);
            if (list.SortAscending != ascending)
                list.SortByColumn(list.SortColumn);
            QVERIFY(list.GroupByGender);
            int lastF = -1, firstM = list.MemberCount();
            for (int n = 0; n < list.MemberCount(); ++n) {
                const QString g = list.Members[list.MemberIndex(lkAll, n)].Gender;
                if (g == "F")
                    lastF = n;
                else if (g == "M" && firstM == list.MemberCount())
                    firstM = n;
            }
            QVERIFY(lastF >= 0);
            QVERIFY2(lastF < firstM, "a female member after a male one");
        }
        // Grouping off again: the plain column order, no gender blocks.
        list.SetGroupByGender(false);
        for (int n = 1; n < list.MemberCount(); ++n) {
            const QString a = list.Members[list.MemberIndex(lkAll, n - 1)].Name;
            const QString b = list.Members[list.MemberIndex(lkAll, n)].Name;
            QVERIFY(list.SortAscending ? a <= b : a >= b);
        }
    }
    void setGroupByGenderDoesNotToggleDirection()
    {
        TMemberList list;
        list.LoadMembers(RandomRoster(10, 3));
        const bool ascending = list.SortAscending;
        list.SetGroupByGender(true);
        list.SetGroupByGender(true);
        QCOMPARE(list.SortAscending, ascending);
        QCOMPARE(list.SortColumn, quint8(0));
    }
    void equalMembersKeepPartitionOrder()
    {
        // Traced by hand through the partition steps: names B A B A B (members 0..4)
        // end as members 3, 1, 4, 0, 2 -- not the stable 1, 3, 0, 2, 4.
        TMemberList list;
        list.Members = {MakeMember("B"), MakeMember("A"), MakeMember("B"), MakeMember("A"), MakeMember("B")};
        list.DisplayOrder = {0, 1, 2, 3, 4};
        list.SortByColumn(0);   // column 0 with ascending false: becomes ascending
        QCOMPARE(list.DisplayOrder, QList<int>({3, 1, 4, 0, 2}));
    }
    void sortMatchesPlainRecursiveSort_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("grouped");
        QTest::addColumn<int>("distinct");
        QTest::addColumn<QString>("stem");   // of every name
        const QString name = "NAME";
        QTest::newRow("name") << 3000 << 0 << false << 7 << name;
        QTest::newRow("ssn grouped") << 3000 << 1 << true << 7 << name;
        QTest::newRow("rank") << 2500 << 2 << false << 7 << name;
        QTest::newRow("rank grouped") << 2500 << 2 << true << 7 << name;
        QTest::newRow("all equal") << 2000 << 0 << false << 1 << name;
        QTest::newRow("unknown column") << 500 << 9 << false << 7 << name;
        QTest::newRow("tiny") << 2 << 0 << true << 2 << name;
        // names alike past the characters the sort keys hold, or parting right at their end
        QTest::newRow("alike for 16") << 3000 << 0 << false << 300 << "JOHNSON, MICHAEL";
        QTest::newRow("alike for 15") << 3000 << 0 << true << 300 << "JOHNSON, MICHAE";
        QTest::newRow("alike for 8") << 3000 << 0 << false << 300 << "JOHNSON,";
        QTest::newRow("outside the code page at 10") << 3000 << 0 << false << 300 << "KOWALSKI, \u0141UKASZ";
        QTest::newRow("outside the code page at 0") << 3000 << 0 << false << 300 << "\u0141UKASIEWICZ, JAN";
    }
    void sortMatchesPlainRecursiveSort()
    {
        QFETCH(int, count);
        QFETCH(int, column);
        QFETCH(bool, grouped);
        QFETCH(int, distinct);
        QFETCH(QString, stem);
        TMemberList list;
        list.Members = RandomRoster(count, quint32(count * 31 + column), distinct, stem);
        for (int i = 0; i < count; ++i)
            list.DisplayOrder << (i * 7919) % count;   // some scrambled start order
        QVERIFY(IsPermutation(list.DisplayOrder, count));
        list.GroupByGender = grouped;
        for (int pass = 0; pass < 3; ++pass) {
            QList<int> expected = list.DisplayOrder;
            list.SortByColumn(column);
            ReferenceQuickSort(list, expected, 0, count - 1);
            QCOMPARE(list.DisplayOrder, expected);
        }
    }
    void sameColumnAgainMatchesFullSort()
    {
        // A second click on the same header reorders from the sorted list; equal members must
        // still end where the partition steps put them. Many small rosters full of ties,
        // with one or several genders besides "F" (several give no strict order when grouped).
        const QList<QStringList> genderSets = {{"F", "M"}, {"M"}, {"F", "M", "X", ""}, {"F"}, {"M", "m"}};
        QRandomGenerator gen(28);
        for (int round = 0; round < 400; ++round) {
            const int count = 1 + int(gen.bounded(120));
            const QStringList &genders = genderSets[round % genderSets.size()];
            TMemberList list;
            list.Members = RandomRoster(count, gen.generate(), 1 + int(gen.bounded(count < 40 ? 4 : 60)));
            for (TRosterRec &m : list.Members)
                m.Gender = genders[gen.bounded(genders.size())];
            for (int i = 0; i < count; ++i)
                list.DisplayOrder << i;
            list.GroupByGender = round % 3 != 0;
            const int column = int(gen.bounded(3));
            list.SortByColumn(column);
            for (int click = 0; click < 3; ++click) {
                QList<int> expected = list.DisplayOrder;
                list.SortByColumn(column);
                ReferenceQuickSort(list, expected, 0, count - 1);
                QVERIFY2(list.DisplayOrder == expected,
                         qPrintable(QStringLiteral("round %1, click %2").arg(round).arg(click)));
            }
        }
    }
    void memberIndexAgreesWithWalk()
    {
        TMemberList list;
        list.LoadMembers(RandomRoster(700, 11));
        QRandomGenerator gen(99);
        for (int round = 0; round < 40; ++round) {
            const int action = gen.bounded(5);
            const int member = gen.bounded(700);
            if (action == 0)
                list.SortByColumn(gen.bounded(3));
            else if (action == 1)
                list.DeselectMember(member);
            else if (action == 2 && round % 13 == 0)
                list.ClearSelection();
            else
                list.SelectMember(member);
            int selected = 0;
            for (const TRosterRec &m : list.Members)
                selected += m.Selected;
            QCOMPARE(list.SelectedCount, selected);
            for (int kind : {lkAll, lkAvailable, lkSelected}) {
                for (int n = -1; n <= list.ViewCount(kind); ++n) {
                    const int expected = n < 0 || n >= list.MemberCount() ? -1 : WalkMemberIndex(list, kind, n);
                    QCOMPARE(list.MemberIndex(kind, n), expected);
                }
            }
        }
        QCOMPARE(list.MemberIndex(3, 0), -1);
    }
    void selectedWalkFollowsEveryChange()
    {
        // The walk in display order is kept between calls: each kind of change must renew it.
        TMemberList list;
        list.LoadMembers(RandomRoster(300, 23));
        QRandomGenerator gen(7);
        for (int round = 0; round < 60; ++round) {
            const int action = gen.bounded(6);
            const int member = gen.bounded(300);
            if (action == 0)
                list.SortByColumn(gen.bounded(3));
            else if (action == 1)
                list.DeselectMember(member);
            else if (action == 2 && round % 17 == 0)
                list.ClearSelection();
            else if (action == 3 && round % 11 == 0)
                list.SetGroupByGender(!list.GroupByGender);
            else
                list.SelectMember(member);
            QCOMPARE(list.SelectedIndexes().size(), qsizetype(list.SelectedCount));
            for (int n = 0; n < list.SelectedCount; ++n) {
                const int expected = WalkMemberIndex(list, lkSelected, n);
                QCOMPARE(list.SelectedIndexes().at(n), expected);
                QCOMPARE(list.GetSelectedMember(n).Name, list.Members[expected].Name);
                list.SetMemberPrintInfo(n, round, QString::number(n));
                QCOMPARE(list.Members[expected].SpecimenNumber, QString::number(n));
                QCOMPARE(list.Members[expected].FormIndex, round);
            }
            QCOMPARE(list.GetSelectedMember(list.SelectedCount).Name, QString());
            QCOMPARE(list.GetSelectedMember(-1).Name, QString());
        }
    }
    void selectAndDeselectAreIdempotent()
    {
        TMemberList list;
        list.LoadMembers(RandomRoster(5, 5));
        list.SelectMember(2);
        list.SelectMember(2);
        QCOMPARE(list.SelectedCount, 1);
        list.DeselectMember(4);
        QCOMPARE(list.SelectedCount, 1);
        list.DeselectMember(2);
        list.DeselectMember(2);
        QCOMPARE(list.SelectedCount, 0);
        list.SelectMember(-1);
        list.SelectMember(5);
        QCOMPARE(list.SelectedCount, 0);
    }
    void fillListItem()
    {
        TMemberList list;
        list.LoadMembers({MakeMember("DOE, JANE Q.", "123456789", "f", "SGT"),
                          MakeMember("ROE, RICHARD", "         ", "M", "PVT"),
                          MakeMember("POE, EDGAR", "", "FEMALE", "")});
        TMemberRow row;
        QVERIFY(list.FillListItem(0, row));
        QCOMPARE(row.ImageIndex, 1);
        QCOMPARE(row.Caption, QString("DOE, JANE Q."));
        QCOMPARE(row.SSN, QString("123-45-6789"));
        QCOMPARE(row.Rank, QString("SGT"));
        QVERIFY(list.FillListItem(1, row));
        QCOMPARE(row.ImageIndex, 0);
        QCOMPARE(row.SSN, QString("   -  -    "));
        QVERIFY(list.FillListItem(2, row));
        QCOMPARE(row.ImageIndex, 0);   // only "F" counts as female
        QCOMPARE(row.SSN, QString("--"));
        row.Caption = "untouched";
        QVERIFY(!list.FillListItem(-1, row));
        QVERIFY(!list.FillListItem(3, row));
        QCOMPARE(row.Caption, QString("untouched"));
    }
    void selectedMembersInDisplayOrder()
    {
        TMemberList list;
        list.LoadMembers({MakeMember("D", "4"), MakeMember("A", "3"), MakeMember("C", "2"), MakeMember("B", "1")});
        list.SelectMember(0);
        list.SelectMember(1);
        list.SelectMember(3);
        QCOMPARE(list.GetSelectedMember(0).Name, QString("A"));
        QCOMPARE(list.GetSelectedMember(1).Name, QString("B"));
        QCOMPARE(list.GetSelectedMember(2).Name, QString("D"));
        QCOMPARE(list.GetSelectedMember(3).Name, QString());
        list.SortByColumn(1);   // SSN ascending: B(1), A(3), D(4)
        QCOMPARE(list.GetSelectedMember(0).Name, QString("B"));
        list.SetMemberPrintInfo(0, 2, "0007");
        list.SetMemberPrintInfo(2, 3, "0009");
        list.SetMemberPrintInfo(3, 9, "9999");   // out of range: ignored
        QCOMPARE(list.Members[3].FormIndex, 2);
        QCOMPARE(list.Members[3].SpecimenNumber, QString("0007"));
        QCOMPARE(list.Members[0].SpecimenNumber, QString("0009"));
        QCOMPARE(list.GetSelectedMember(2).FormIndex, 3);
        QCOMPARE(list.Members[2].SpecimenNumber, QString());
    }
    void premisesAndLocations()
    {
        QCOMPARE(PremiseEntries().size(), 11);
        QCOMPARE(PremiseCodeOf(PremiseEntries()[0]), QString("IR"));
        QCOMPARE(PremiseCodeOf(PremiseEntries()[1]), QString("IU"));
        QCOMPARE(PremiseCodeOf(PremiseEntries()[10]), QString("OO"));
        QStringList codes;
        for (const QString &p : PremiseEntries())
            codes << PremiseCodeOf(p);
        QCOMPARE(codes.join(','), QString("IR,IU,CO,PO,VO,RO,AO,MO,IO,NO,OO"));

        const QStringList &loc = LocationEntries();
        QCOMPARE(loc.size(), 272);
        int padded = 0;
        QStringList unpadded;
        for (int k = 0; k < loc.size(); ++k) {
            if (k > 0)
                QVERIFY2(loc[k - 1].left(2) < loc[k].left(2), qPrintable(loc[k]));
            QCOMPARE(loc[k].at(2), QChar(' '));
            if (loc[k].size() == 100)
                ++padded;
            else
                unpadded << loc[k];
        }
        QCOMPARE(padded, 268);
        QCOMPARE(unpadded, QStringList({"CC CLASSIFIED", "ND NON-DEPLOYED", "OS OUT TO SEA", "ZZ OTHER"}));
        QCOMPARE(loc.first().trimmed(), QString("AA ARUBA"));
        QCOMPARE(loc.last(), QString("ZZ OTHER"));
        for (const char *kept : {"BG BANGLEDESH", "BL BOLIVA", "RP PHILLIPINES", "IV COTE D'IVOIRE",
                                 "NQ TRUST TERRITORIES OF THE PACIFIC (PRIOR TO MAY 94)",
                                 "CG CONGO, DEMOCRATIC REPUBLIC OF THE", "US UNITED STATES"}) {
            QVERIFY2(loc.contains(QString(kept).leftJustified(100, ' ')), kept);
        }
        QCOMPARE(LocationCodeOf(loc[250]), loc[250].left(2));
        QCOMPARE(LocationCodeOf(QString()), QString());
    }
};

CORVANE_TEST(TestMemberList)
#include "tst_memberlist.moc"

#include "testmain.h"
#include "members.h"
#include "app/Exceptions.h"
#include "selection/RandomSource.h"
#include "selection/SelectionParameters.h"

#include <QTest>

namespace {

QList<int> SelectedIndexes(const TMemberList &list)
{
    QList<int> out;
    for (int i = 0; i < list.MemberCount(); ++i)
        if (list.Members[i].Selected)
            out << i;
    return out;
}

// The total-number draw modelled on a plain list of available members in display order.
QList<int> ModelCountDraw(const TMemberList &list, quint32 seed, int k)
{
    QList<int> available = list.DisplayOrder;
    QList<int> picked;
    SetRandomState(seed);
    k = qMin(k, int(available.size()));
    while (picked.size() < k) {
        const int r = RandomInt(int(available.size()));
        picked << available.takeAt(r);
    }
    std::sort(picked.begin(), picked.end());
    return picked;
}

// The seed whose next state is 0, so that the first real draw is exactly 0.
quint32 SeedBeforeZero()
{
    quint32 inv = 134775813u;   // Newton iteration for the inverse modulo 2^32
    for (int k = 0; k < 5; ++k)
        inv *= 2u - 134775813u * inv;
    return (0u - 1u) * inv;
}

QString ConversionMessage(const std::function<void()> &f)
{
    try {
        f();
    } catch (const EConvertError &e) {
        return e.message();
    }
    return QString();
}

} // namespace

class TestDraws : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { SetFixedRandomSeed(std::nullopt); }

    void countLargerThanRosterSelectsAll()
    {
        TMemberList list;
        list.LoadMembers(RandomRoster(4, 1));
        SelectByCount(list, "10");
        QCOMPARE(list.SelectedCount, 4);
        QCOMPARE(SelectedIndexes(list).size(), 4);
    }
    void countZeroOrNegativeSelectsNobody()
    {
        for (const char *text : {"0", "-5"}) {
            TMemberList list;
            list.LoadMembers(RandomRoster(20, 2));
            SelectByCount(list, text);
            QCOMPARE(list.SelectedCount, 0);
        }
    }
    void countSelectsExactlyK()
    {
        TMemberList list;
        list.LoadMembers(RandomRoster(1000, 3));
        SelectByCount(list, "137");
        QCOMPARE(list.SelectedCount, 137);
        QCOMPARE(SelectedIndexes(list).size(), 137);
    }
    void countMustBeInteger()
    {
        TMemberList list;
        list.LoadMembers(RandomRoster(5, 4));
        QCOMPARE(ConversionMessage([&] { SelectByCount(list, "1.5"); }),
                 QString("'1.5' is not a valid integer value"));
        QCOMPARE(ConversionMessage([&] { SelectByCount(list, ""); }),
                 QString("'' is not a valid integer value"));
        QCOMPARE(list.SelectedCount, 0);
    }
    void countWithFixedSeedRepeatsAndFollowsDisplayOrder()
    {
        TMemberList list;
        list.LoadMembers(RandomRoster(60, 5, 60));
        SetFixedRandomSeed(20261208u);
        SelectByCount(list, "8");
        const QList<int> first = SelectedIndexes(list);
        QCOMPARE(first, ModelCountDraw(list, 20261208u, 8));
        list.ClearSelection();
        SelectByCount(list, "8");
        QCOMPARE(SelectedIndexes(list), first);

        // Same seed, other display order: positions count in that order, so other members.
        list.ClearSelection();
        list.SortByColumn(1);
        SelectByCount(list, "8");
        const QList<int> bySsn = SelectedIndexes(list);
        QCOMPARE(bySsn, ModelCountDraw(list, 20261208u, 8));
        QVERIFY(bySsn != first);
    }
    void countDrawLeavesDisplayOrder()
    {
        TMemberList list;
        list.LoadMembers(RandomRoster(50, 6));
        const QList<int> order = list.DisplayOrder;
        SelectByCount(list, "25");
        QCOMPARE(list.DisplayOrder, order);
    }
    void probabilityHundredSelectsAll()
    {
        TMemberList list;
        list.LoadMembers(RandomRoster(300, 7));
        SelectByProbability(list, "100");
        QCOMPARE(list.SelectedCount, 300);
    }
    void probabilityNegativeSelectsNone()
    {
        TMemberList list;
        list.LoadMembers(RandomRoster(300, 8));
        SelectByProbability(list, "-1");
        QCOMPARE(list.SelectedCount, 0);
    }
    void probabilityFiftyLandsNearHalf()
    {
        // Binomial(1000, 0.5): standard deviation 15.8; 6 deviations either side.
        TMemberList list;
        list.LoadMembers(RandomRoster(1000, 9));
        SelectByProbability(list, "50");
        QVERIFY2(list.SelectedCount > 405 && list.SelectedCount < 595,
                 qPrintable(QString::number(list.SelectedCount)));
        QCOMPARE(SelectedIndexes(list).size(), list.SelectedCount);
    }
    void probabilityFractionalPercent()
    {
        // 12.5 per cent of 4000 members: 500 expected, deviation 20.9.
        TMemberList list;
        list.LoadMembers(RandomRoster(4000, 10));
        SelectByProbability(list, QLocale::system().toString(12.5));
        QVERIFY2(list.SelectedCount > 375 && list.SelectedCount < 625,
                 qPrintable(QString::number(list.SelectedCount)));
    }
    void probabilityZeroNeedsAnExactZeroDraw()
    {
        TMemberList list;
        list.LoadMembers(RandomRoster(10, 11));
        SetFixedRandomSeed(SeedBeforeZero());
        SelectByProbability(list, "0");
        QCOMPARE(SelectedIndexes(list), QList<int>({0}));   // the first member in roster order
    }
    void probabilityWalksRosterOrder()
    {
        TMemberList list;
        list.LoadMembers(RandomRoster(200, 12));
        SetFixedRandomSeed(777u);
        SelectByProbability(list, "30");
        const QList<int> first = SelectedIndexes(list);
        // Member i gets draw i whatever the display order.
        SetRandomState(777u);
        QList<int> expected;
        for (int i = 0; i < 200; ++i)
            if (RandomReal() * 100.0 <= 30.0)
                expected << i;
        QCOMPARE(first, expected);
        list.ClearSelection();
        list.SortByColumn(2);
        SelectByProbability(list, "30");
        QCOMPARE(SelectedIndexes(list), first);
    }
    void probabilityMustBeNumber()
    {
        TMemberList list;
        list.LoadMembers(RandomRoster(5, 13));
        QCOMPARE(ConversionMessage([&] { SelectByProbability(list, ""); }),
                 QString("'' is not a valid floating point value"));
        QCOMPARE(list.SelectedCount, 0);
    }
    void rankMinimumRaisesListedRanks()
    {
        TMemberList list;
        list.LoadMembers(RandomRoster(400, 14));
        SetFixedRandomSeed(31u);
        const auto rule = [](double p, const QString &rank) {
            return rank.toUpper() == "PVT" ? qMax(p, 100.0) : p;
        };
        SelectByProbability(list, "-1", rule);
        int pvt = 0;
        for (const TRosterRec &m : list.Members) {
            QCOMPARE(m.Selected, m.Rank.toUpper() == "PVT");
            pvt += m.Selected;
        }
        QVERIFY(pvt > 0);
        QCOMPARE(list.SelectedCount, pvt);
    }
    void unitSweepSelectsEverybody()
    {
        TMemberList list;
        list.LoadMembers(RandomRoster(123, 15));
        list.SelectMember(5);
        list.SelectAll();
        QCOMPARE(list.SelectedCount, 123);
        QCOMPARE(list.ViewCount(lkAvailable), 0);
        QCOMPARE(list.MemberIndex(lkAvailable, 0), -1);
    }
    // Alternates come after the draw from the random source as the draw left it: the
    // selection is the same whatever is asked, and each longer list begins with the shorter.
    void alternatesLeaveTheDrawAlone_data()
    {
        QTest::addColumn<bool>("byCount");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("members");
        QTest::addColumn<int>("asked");
        QTest::addColumn<int>("drawn");
        QTest::newRow("total number, 5") << true << "8" << 60 << 5 << 5;
        QTest::newRow("probability, 5") << false << "30" << 60 << 5 << 5;
        QTest::newRow("probability, 99") << false << "10" << 400 << 99 << 99;
        QTest::newRow("more than remain") << true << "57" << 60 << 5 << 3;
        QTest::newRow("none remain") << false << "100" << 20 << 5 << 0;
    }
    void alternatesLeaveTheDrawAlone()
    {
        QFETCH(bool, byCount);
        QFETCH(QString, value);
        QFETCH(int, members);
        QFETCH(int, asked);
        QFETCH(int, drawn);
        TMemberList list;
        list.LoadMembers(RandomRoster(members, 21, 40));
        list.SortByColumn(2);   // alternates count positions in display order, not roster order
        SetFixedRandomSeed(4242u);
        const auto draw = [&] {
            list.ClearSelection();
            if (byCount)
                SelectByCount(list, value);
            else
                SelectByProbability(list, value);
        };
        draw();
        const QList<int> selection = SelectedIndexes(list);
        const quint32 after = RandomState();
        QVERIFY(DrawAlternates(list, 0).isEmpty());
        QCOMPARE(RandomState(), after);   // none asked: the source is not touched

        // the model: each alternate the r-th member still left, in display order
        QList<int> left;
        for (int m : list.DisplayOrder)
            if (!list.Members[m].Selected)
                left << m;
        SetRandomState(after);
        QList<int> expected;
        while (expected.size() < asked && !left.isEmpty())
            expected << left.takeAt(RandomInt(int(left.size())));

        QList<int> previous;
        for (int n : {1, 5, asked}) {
            draw();
            QCOMPARE(SelectedIndexes(list), selection);
            const QList<int> alternates = DrawAlternates(list, n);
            QCOMPARE(SelectedIndexes(list), selection);   // alternates are not selected
            QCOMPARE(alternates.size(), qMin(n, drawn));
            QCOMPARE(alternates, expected.first(alternates.size()));
            const qsizetype common = qMin(previous.size(), alternates.size());
            QCOMPARE(alternates.first(common), previous.first(common));
            for (int i = 0; i < alternates.size(); ++i) {
                QVERIFY2(!list.Members[alternates[i]].Selected, "an alternate is selected");
                QCOMPARE(alternates.indexOf(alternates[i]), i);   // no one twice
            }
            previous = alternates;
        }
        QCOMPARE(previous.size(), drawn);
    }
    void drawsOnEmptyRoster()
    {
        TMemberList list;
        list.LoadMembers({});
        SelectByCount(list, "10");
        SelectByProbability(list, "100");
        QCOMPARE(list.SelectedCount, 0);
    }
};

CORVANE_TEST(TestDraws)
#include "tst_draws.moc"

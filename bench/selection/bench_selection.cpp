// Sorting and drawing on a large roster: the member lists must stay instant for 100,000.
#include "selection/RandomSource.h"
#include "selection/SelectionParameters.h"

#include <benchmark/benchmark.h>

#include <QRandomGenerator>

namespace {

TRosterRecs LargeRoster(int count)
{
    QRandomGenerator gen(2026);
    static const char *const lastNames[] = {"SMITH", "JOHNSON", "WILLIAMS", "BROWN", "JONES", "GARCIA",
                                            "MILLER", "DAVIS", "RODRIGUEZ", "MARTINEZ", "HERNANDEZ",
                                            "LOPEZ", "GONZALEZ", "WILSON", "ANDERSON", "THOMAS"};
    static const char *const ranks[] = {"PVT", "PV2", "PFC", "SPC", "CPL", "SGT", "SSG", "SFC",
                                        "MSG", "1SG", "SGM", "2LT", "1LT", "CPT", "MAJ", "LTC", "COL"};
    TRosterRecs list;
    list.reserve(count);
    for (int i = 0; i < count; ++i) {
        TRosterRec r;
        r.Name = QStringLiteral("%1, %2 %3.")
                     .arg(QString::fromLatin1(lastNames[gen.bounded(16)]))
                     .arg(QStringLiteral("FIRST%1").arg(gen.bounded(5000)))
                     .arg(QChar('A' + gen.bounded(26)));
        r.SSN = QStringLiteral("%1").arg(gen.bounded(1000000000), 9, 10, QLatin1Char('0'));
        r.Gender = gen.bounded(5) == 0 ? QStringLiteral("F") : QStringLiteral("M");
        r.Rank = QString::fromLatin1(ranks[gen.bounded(17)]);
        list << r;
    }
    return list;
}

const TRosterRecs &Roster()
{
    static const TRosterRecs roster = LargeRoster(100000);
    return roster;
}

void BM_SortByColumn(benchmark::State &state)
{
    TMemberList list;
    list.LoadMembers(Roster());
    const int column = int(state.range(0));
    list.SetGroupByGender(state.range(1) != 0);
    for (auto _ : state) {
        state.PauseTiming();
        // Start every run from roster order, ascending, so each run sorts the same work.
        for (int i = 0; i < list.MemberCount(); ++i)
            list.DisplayOrder[i] = i;
        list.SortColumn = quint8(column == 0 ? 1 : 0);
        state.ResumeTiming();
        list.SortByColumn(column);
        benchmark::DoNotOptimize(list.DisplayOrder.data());
    }
    state.SetLabel(column == 0 ? "name" : column == 1 ? "ssn" : "rank");
}
BENCHMARK(BM_SortByColumn)->Args({0, 0})->Args({1, 0})->Args({2, 0})->Args({0, 1})
    ->Unit(benchmark::kMillisecond);

void BM_ResortSorted(benchmark::State &state)
{
    // Clicking the same header again: the list is sorted, the direction flips.
    TMemberList list;
    list.LoadMembers(Roster());
    for (auto _ : state) {
        list.SortByColumn(0);
        benchmark::DoNotOptimize(list.DisplayOrder.data());
    }
}
BENCHMARK(BM_ResortSorted)->Unit(benchmark::kMillisecond);

void BM_SelectByCount(benchmark::State &state)
{
    TMemberList list;
    list.LoadMembers(Roster());
    const QString count = QString::number(state.range(0));
    SetFixedRandomSeed(1u);
    for (auto _ : state) {
        list.ClearSelection();
        SelectByCount(list, count);
        benchmark::DoNotOptimize(list.SelectedCount);
    }
    SetFixedRandomSeed(std::nullopt);
}
BENCHMARK(BM_SelectByCount)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_SelectByProbability(benchmark::State &state)
{
    TMemberList list;
    list.LoadMembers(Roster());
    for (auto _ : state) {
        list.ClearSelection();
        SelectByProbability(list, QStringLiteral("10"));
        benchmark::DoNotOptimize(list.SelectedCount);
    }
}
BENCHMARK(BM_SelectByProbability)->Unit(benchmark::kMillisecond);

void BM_ViewRowsAfterMoves(benchmark::State &state)
{
    // A list scrolled to its end after a move: the rows asked for by a screenful.
    TMemberList list;
    list.LoadMembers(Roster());
    SelectByProbability(list, QStringLiteral("30"));
    for (auto _ : state) {
        list.DeselectMember(list.MemberIndex(lkSelected, 0));
        list.SelectMember(list.MemberIndex(lkAvailable, 0));
        for (int row = 0; row < 40; ++row) {
            benchmark::DoNotOptimize(list.MemberIndex(lkAvailable, list.ViewCount(lkAvailable) - 1 - row));
            benchmark::DoNotOptimize(list.MemberIndex(lkSelected, list.ViewCount(lkSelected) - 1 - row));
        }
    }
}
BENCHMARK(BM_ViewRowsAfterMoves)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

// Loading large rosters: time, and the peak memory one load adds to the process.
#include "roster/ImportTable.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>

namespace {
// Peak resident memory (kB) since the last reset; Linux only, 0 elsewhere.
long ProcStatusKb(const char *key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string k = std::string(key) + ":";
    while (std::getline(in, line)) {
        if (line.rfind(k, 0) == 0)
            return std::stol(line.substr(k.size()));
    }
    return 0;
}

void ResetPeak()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

QString CommaRoster(int rows)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("roster-%1.csv").arg(rows));
    if (QFileInfo::exists(path))
        return path;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    QRandomGenerator rng(2624);
    const char *ranks[] = {"PVT", "PFC", "SPC", "SGT", "SSG", "CPT"};
    const char *orgs[] = {"HHC 1-22 IN", "A CO 1-22 IN", "B CO 1-22 IN"};
    QByteArray out = "LAST,FIRST,MI,SSN,RANK,SEX,ORG\r\n";
    for (int r = 1; r < rows; ++r) {
        const quint32 ssn = 900000000u + rng.bounded(99999999u);
        // every tenth name is quoted with a comma inside, as a spreadsheet would save it
        if (r % 10 == 0)
            out += "\"DOE" + QByteArray::number(r) + ", JR\",";
        else
            out += "DOE" + QByteArray::number(r) + ",";
        out += "JOHN,Q," + QByteArray::number(ssn).insert(5, '-').insert(3, '-') + ","
               + ranks[rng.bounded(6)] + "," + (r % 2 ? "M" : "Female") + "," + orgs[rng.bounded(3)] + "\r\n";
    }
    f.write(out);
    return path;
}

// Loads read through corvane-import, as the program does; in-process for comparison.
const bool ImportFound = [] {
    if (qEnvironmentVariableIsEmpty("CORVANE_IMPORT"))
        qputenv("CORVANE_IMPORT", CORVANE_IMPORT_EXE);
    return true;
}();

void Load(benchmark::State &state, const QString &path, TImportFileType type, bool inProcess = false)
{
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        state.SkipWithError("roster file missing (cmake --build build --target bench_roster_data)");
        return;
    }
    // Peak memory of one load in a heap that has not held a table yet; later iterations
    // reuse freed memory and would understate it.
    static std::map<QString, long> peaks;
    const QString key = path + (inProcess ? QStringLiteral(" in-process") : QString());
    if (!peaks.count(key)) {
        ResetPeak();
        const long before = ProcStatusKb("VmRSS");
        {
            TImportTable table;
            inProcess ? table.LoadInProcess(path, type) : table.LoadFromFile(path, type);
            peaks[key] = ProcStatusKb("VmHWM") - before;
        }
    }
    int rows = 0;
    for (auto _ : state) {
        TImportTable table;
        if (!(inProcess ? table.LoadInProcess(path, type) : table.LoadFromFile(path, type))) {
            state.SkipWithError("load failed");
            return;
        }
        rows = table.RowCount();
        benchmark::DoNotOptimize(table);
    }
    state.counters["rows"] = rows;
    state.counters["peak_MB"] = double(peaks[key]) / 1024.0;
}

void BM_LoadComma100k(benchmark::State &state)
{
    Load(state, CommaRoster(100001), iftCommaText);
}

void BM_LoadComma100kInProcess(benchmark::State &state)
{
    Load(state, CommaRoster(100001), iftCommaText, true);
}

void BM_LoadExcel65k(benchmark::State &state)
{
    Load(state, QStringLiteral(ROSTER_BENCH_XLS), iftExcel);
}

void BM_LoadXlsx65k(benchmark::State &state)
{
    Load(state, QStringLiteral(ROSTER_BENCH_XLSX), iftExcel);
}

void BM_LoadOds65k(benchmark::State &state)
{
    Load(state, QStringLiteral(ROSTER_BENCH_ODS), iftOds);
}

void BM_BuildRecords100k(benchmark::State &state)
{
    TImportTable table;
    table.LoadFromFile(CommaRoster(100001), iftCommaText);
    table.IgnoreHeader = true;
    const TImportFieldKind kinds[] = {fkLastName, fkFirstName, fkInitial, fkSSN, fkRank, fkGender, fkOrganization};
    for (int c = 0; c < 7; ++c)
        table.SetFieldKind(c, kinds[c]);
    for (auto _ : state) {
        TRosterRecs recs = BuildRosterRecs(table);
        benchmark::DoNotOptimize(recs);
    }
}
} // namespace

BENCHMARK(BM_LoadComma100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadComma100kInProcess)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadExcel65k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadXlsx65k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadOds65k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildRecords100k)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();

// Loading large rosters: time, and what one load costs in all: the CPU of this process and of
// the import child that reads the file, the peak memory each of them reaches.
#include "roster/ImportTable.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>
#include <ctime>
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

double ProcessCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// CPU seconds of the children this process has waited for (every finished import child).
double ChildCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

char *SelfPath = nullptr;

// The import child's peak memory (kB) for one load: RUSAGE_CHILDREN keeps the largest child
// ever waited for, so the load runs in a fresh copy of this program whose only child it is.
long ChildPeakKb(const QString &path, TImportFileType type)
{
    if (!SelfPath)
        return 0;
    const std::string cmd = std::string("'") + SelfPath + "' --child-peak '" + path.toStdString() + "' "
                            + std::to_string(int(type));
    std::FILE *p = popen(cmd.c_str(), "r");
    if (!p)
        return 0;
    long kb = 0;
    if (std::fscanf(p, "%ld", &kb) != 1)
        kb = 0;
    pclose(p);
    return kb;
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
    static std::map<QString, long> childPeaks;
    const QString key = path + (inProcess ? QStringLiteral(" in-process") : QString());
    if (!peaks.count(key)) {
        ResetPeak();
        const long before = ProcStatusKb("VmRSS");
        {
            TImportTable table;
            inProcess ? table.LoadInProcess(path, type) : table.LoadFromFile(path, type);
            peaks[key] = ProcStatusKb("VmHWM") - before;
        }
        childPeaks[key] = inProcess ? 0 : ChildPeakKb(path, type);
    }
    int rows = 0;
    const double cpu0 = ProcessCpuSeconds();
    const double child0 = ChildCpuSeconds();
    for (auto _ : state) {
        TImportTable table;
        if (!(inProcess ? table.LoadInProcess(path, type) : table.LoadFromFile(path, type))) {
            state.SkipWithError("load failed");
            return;
        }
        rows = table.RowCount();
        benchmark::DoNotOptimize(table);
    }
    const double loads = double(std::max<benchmark::IterationCount>(1, state.iterations()));
    const double child = (ChildCpuSeconds() - child0) / loads;
    state.counters["rows"] = rows;
    state.counters["peak_MB"] = double(peaks[key]) / 1024.0;
    state.counters["child_peak_MB"] = double(childPeaks[key]) / 1024.0;
    state.counters["child_cpu_ms"] = child * 1000.0;
    // Both processes, all threads: what the load costs the machine.
    state.counters["total_cpu_ms"] = ((ProcessCpuSeconds() - cpu0) / loads + child) * 1000.0;
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

void BM_LoadComma1k(benchmark::State &state)
{
    // Start-up of the import child dominates a small roster.
    Load(state, CommaRoster(1001), iftCommaText);
}

void BM_LoadDbase65k(benchmark::State &state)
{
    Load(state, QStringLiteral(ROSTER_BENCH_DBF), iftDBase);
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

BENCHMARK(BM_LoadComma1k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadComma100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadComma100kInProcess)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadExcel65k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadXlsx65k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadOds65k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadDbase65k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildRecords100k)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    SelfPath = argv[0];
    if (argc == 4 && std::string(argv[1]) == "--child-peak") {
        // One load, then the largest child's peak resident memory.
        TImportTable table;
        table.LoadFromFile(QString::fromLocal8Bit(argv[2]), TImportFileType(std::atoi(argv[3])));
        rusage u{};
        getrusage(RUSAGE_CHILDREN, &u);
        std::printf("%ld\n", u.ru_maxrss);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

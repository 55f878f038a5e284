#include "batch/BatchRun.h"
#include "batch/ScratchCleanup.h"

#include "app/Exceptions.h"
#include "app/ServiceUtilsUnit.h"
#include "products/PrintProducts.h"
#include "products/RBBottleLabels.h"
#include "report/Engine.h"
#include "report/ReportModel.h"
#include "roster/FormatRoster.h"
#include "roster/ImportHooks.h"
#include "roster/ImportTable.h"
#include "selection/RandomSource.h"
#include "selection/SelectionParameters.h"
#include "selection/SelectionRecord.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QLocale>
#include <QMap>
#include <QTextStream>
#include <optional>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

[[noreturn]] void fail(const QString &message) { throw Exception(message); }

struct Options
{
    QString roster;
    std::optional<TImportFileType> type;
    QString table;
    QStringList columns;
    bool ignoreHeader = false;
    QString blankRows;                    // "skip" or "stop"; empty: refuse when rows follow the end
    bool allowBlankSsn = false;
    QString location;
    QString premise = QStringLiteral("IR");
    std::optional<QString> probability;   // given, even empty: the box's text
    std::optional<QString> count;
    QString select;
    std::optional<quint32> seed;
    int alternates = 0;
    QString sort;
    bool groupByGender = false;
    TPrintInputs inputs;
    bool productsGiven = false;
    QString labelStart = QStringLiteral("1");
    QString outDir;
    bool list = false;
    bool help = false;
    QString recordFile;
    QString verifyFile;
};

const QMap<QString, TImportFileType> &typeNames()
{
    static const QMap<QString, TImportFileType> names = {
        {QStringLiteral("excel"), iftExcel}, {QStringLiteral("comma"), iftCommaText},
        {QStringLiteral("tab"), iftTabText}, {QStringLiteral("access"), iftAccess},
        {QStringLiteral("dbase"), iftDBase}, {QStringLiteral("ods"), iftOds}};
    return names;
}

const QMap<QString, TImportFieldKind> &kindNames()
{
    static const QMap<QString, TImportFieldKind> names = {
        {QStringLiteral("last"), fkLastName}, {QStringLiteral("first"), fkFirstName},
        {QStringLiteral("initial"), fkInitial}, {QStringLiteral("ssn"), fkSSN},
        {QStringLiteral("rank"), fkRank}, {QStringLiteral("gender"), fkGender},
        {QStringLiteral("org"), fkOrganization}, {QStringLiteral("skip"), fkDoNotImport}};
    return names;
}

Options parse(const QStringList &args)
{
    Options o;
    o.inputs.CollectionDate = QDate::currentDate();
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        auto value = [&]() -> QString {
            if (i + 1 >= args.size())
                fail(QStringLiteral("Option %1 needs a value").arg(a));
            return args.at(++i);
        };
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            o.help = true;
        } else if (a == QLatin1String("--type")) {
            const QString t = value().toLower();
            if (!typeNames().contains(t))
                fail(QStringLiteral("Unknown file type '%1' (excel, comma, tab, access, dbase or ods)").arg(t));
            o.type = typeNames().value(t);
        } else if (a == QLatin1String("--table")) {
            o.table = value();
        } else if (a == QLatin1String("--columns")) {
            o.columns = value().split(QLatin1Char(','));
        } else if (a == QLatin1String("--ignore-header")) {
            o.ignoreHeader = true;
        } else if (a == QLatin1String("--blank-rows")) {
            o.blankRows = value().toLower();
            if (o.blankRows != QLatin1String("skip") && o.blankRows != QLatin1String("stop"))
                fail(QStringLiteral("'%1' is not a valid --blank-rows (skip or stop)").arg(o.blankRows));
        } else if (a == QLatin1String("--allow-blank-ssn")) {
            o.allowBlankSsn = true;
        } else if (a == QLatin1String("--location")) {
            o.location = value();
        } else if (a == QLatin1String("--premise")) {
            o.premise = value();
        } else if (a == QLatin1String("--probability")) {
            o.probability = value();
        } else if (a == QLatin1String("--count")) {
            o.count = value();
        } else if (a == QLatin1String("--select")) {
            o.select = value();
        } else if (a == QLatin1String("--seed")) {
            const QString s = value();
            bool ok = false;
            const qulonglong seed = s.toULongLong(&ok);
            if (!ok || seed > 0xFFFFFFFFull)
                fail(QStringLiteral("'%1' is not a valid seed (0 to 4294967295)").arg(s));
            o.seed = quint32(seed);
        } else if (a == QLatin1String("--alternates")) {
            const QString n = value();
            bool ok = false;
            o.alternates = n.toInt(&ok);
            if (!ok || o.alternates < 0 || o.alternates > MaxAlternates)
                fail(QStringLiteral("'%1' is not a valid number of alternates (0 to %2)").arg(n).arg(MaxAlternates));
        } else if (a == QLatin1String("--sort")) {
            o.sort = value();
        } else if (a == QLatin1String("--group-by-gender")) {
            o.groupByGender = true;
        } else if (a == QLatin1String("--bac")) {
            o.inputs.BAC = value();
        } else if (a == QLatin1String("--uic")) {
            o.inputs.UIC = value();
        } else if (a == QLatin1String("--block1")) {
            o.inputs.Block1 = value();
        } else if (a == QLatin1String("--block2")) {
            o.inputs.Block2 = value();
        } else if (a == QLatin1String("--date")) {
            const QString d = value();
            o.inputs.CollectionDate = QDate::fromString(d, Qt::ISODate);
            if (!o.inputs.CollectionDate.isValid())
                fail(QStringLiteral("'%1' is not a valid date (YYYY-MM-DD)").arg(d));
        } else if (a == QLatin1String("--batch")) {
            o.inputs.StartingBatch = value();
        } else if (a == QLatin1String("--products")) {
            o.productsGiven = true;
            for (const QString &p : value().split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                const QString name = p.trimmed().toLower();
                if (name == QLatin1String("notification"))
                    o.inputs.NotificationCopy = true;
                else if (name == QLatin1String("working"))
                    o.inputs.WorkingCopy = true;
                else if (name == QLatin1String("register"))
                    o.inputs.TestingRegister = true;
                else if (name == QLatin1String("front"))
                    o.inputs.Front2624 = true;
                else if (name == QLatin1String("back"))
                    o.inputs.Back2624 = true;
                else if (name == QLatin1String("labels"))
                    o.inputs.BottleLabels = true;
                else if (name == QLatin1String("record"))
                    o.inputs.SelectionRecord = true;
                else
                    fail(QStringLiteral("Unknown product '%1'").arg(p));
            }
        } else if (a == QLatin1String("--label-start")) {
            o.labelStart = value();
        } else if (a == QLatin1String("--out")) {
            o.outDir = value();
        } else if (a == QLatin1String("--list")) {
            o.list = true;
        } else if (a == QLatin1String("--record")) {
            o.recordFile = value();
        } else if (a == QLatin1String("--verify")) {
            o.verifyFile = value();
        } else if (a.startsWith(QLatin1String("--"))) {
            fail(QStringLiteral("Unknown option %1 (see --help)").arg(a));
        } else if (o.roster.isEmpty()) {
            o.roster = a;
        } else {
            fail(QStringLiteral("Only one roster file may be given"));
        }
    }
    if (!o.productsGiven) {
        o.inputs.NotificationCopy = o.inputs.WorkingCopy = o.inputs.TestingRegister = true;
        o.inputs.Front2624 = o.inputs.Back2624 = o.inputs.BottleLabels = true;
    }
    return o;
}

// The page limits the edits impose, as errors rather than silent cuts.
void checkInputs(const Options &o)
{
    auto tooLong = [](const QString &caption, const QString &text, int max) {
        if (text.size() > max)
            fail(QStringLiteral("%1 '%2' is longer than %3 characters").arg(caption, text).arg(max));
    };
    tooLong(ServiceUtils->BacCaption, o.inputs.BAC, 4);
    tooLong(ServiceUtils->UicCaption, o.inputs.UIC, 5);
    tooLong(QStringLiteral("Block 1"), o.inputs.Block1, 255);
    tooLong(QStringLiteral("Block 2"), o.inputs.Block2, 255);
}

// Members without a valid SSN, named on standard error before the draw.
void warnBlankSsns(const TRosterRecs &recs)
{
    const QList<int> members = MembersWithoutValidSSN(recs);
    if (members.isEmpty())
        return;
    QTextStream err(stderr);
    err << QStringLiteral("Warning: %1:").arg(NoValidSSNText(int(members.size())));
    for (int i : members)
        err << QStringLiteral("\n  row %1: %2").arg(i + 1).arg(recs[i].Name.trimmed());
    err << Qt::endl;
}

// Reads the roster straight into its member records: the batch never shows the table.
TImportTable loadRoster(const Options &o, TRosterRecs &recs, TImportFileType *typeRead = nullptr,
                        QString *tableRead = nullptr)
{
    if (o.roster.isEmpty())
        fail(QStringLiteral("No roster file given (see --help)"));
    TImportFileType type = o.type.value_or(FileTypeOfExtension(o.roster));
    if (type == iftNone)
        type = iftExcel;   // the file-type box's first entry, as the wizard leaves it
    // a folder, a pipe, a device or a link loop: the reader's own reason
    if (!CheckReadableFile(o.roster) || !QFileInfo(o.roster).isFile())
        fail(QStringLiteral("Cannot open roster file '%1'").arg(o.roster));

    const QString wanted = o.table;
    SetTableChooser([wanted](const QStringList &tables, QString &chosen) {
        if (!wanted.isEmpty()) {
            for (const QString &t : tables)
                if (t.compare(wanted, Qt::CaseInsensitive) == 0) {
                    chosen = t;
                    return true;
                }
            fail(QStringLiteral("The database has no table '%1'; its tables are: %2")
                     .arg(wanted, tables.join(QStringLiteral(", "))));
        }
        if (tables.size() == 1) {
            chosen = tables.first();
            return true;
        }
        fail(QStringLiteral("The database has several tables; choose one with --table: %1")
                 .arg(tables.join(QStringLiteral(", "))));
    });

    QList<TImportFieldKind> kinds;
    for (const QString &column : o.columns) {
        const QString k = column.trimmed().toLower();
        if (!kindNames().contains(k))
            fail(QStringLiteral("Unknown column kind '%1' (last, first, initial, ssn, rank, gender, org or skip)")
                     .arg(column));
        kinds << kindNames().value(k);
    }

    TImportTable table;
    table.IgnoreHeader = o.ignoreHeader;
    table.SkipBlankRows = o.blankRows == QLatin1String("skip");
    if (!table.LoadRosterRecs(o.roster, type, kinds, recs))
        fail(QStringLiteral("Cannot open roster file '%1'").arg(o.roster));
    if (table.Notes.RowsAfterEnd() && o.blankRows.isEmpty())
        fail(table.Notes.RowsAfterEndText()
             + QStringLiteral(" Give --blank-rows skip to read them too, or --blank-rows stop to end the roster there"));
    const QString valueless = ValuelessFormulasText(table);
    if (!valueless.isEmpty())
        fail(valueless);
    if (typeRead)
        *typeRead = type;
    if (tableRead)
        *tableRead = type == iftAccess ? LastChosenImportTable() : QString();

    if (o.columns.size() > table.FieldCount())
        fail(QStringLiteral("--columns names %1 columns but the roster has %2")
                 .arg(o.columns.size()).arg(table.FieldCount()));
    const QString missing = MissingColumnsText(table, ServiceUtils);
    if (!missing.isEmpty())
        fail(missing);
    if (!table.Notes.RowsWithoutFirstValue.isEmpty())
        QTextStream(stderr) << QStringLiteral("Warning: %1.").arg(table.Notes.RowsWithoutFirstValueText()) << Qt::endl;
    warnBlankSsns(recs);
    return table;
}

// The premise entry whose code is given, -1 when none.
int premiseIndex(const QString &code)
{
    const QStringList &entries = PremiseEntries();
    for (int i = 0; i < entries.size(); ++i)
        if (PremiseCodeOf(entries.at(i)) == code.toUpper())
            return i;
    return -1;
}

QString checkLocation(const QString &code)
{
    if (code.isEmpty()) {
        if (ServiceUtils->LocationCodeRequired)
            fail(QStringLiteral("A collection location is REQUIRED."));
        return QString();
    }
    for (const QString &entry : LocationEntries())
        if (LocationCodeOf(entry) == code.toUpper())
            return LocationCodeOf(entry);
    fail(QStringLiteral("'%1' is not a collection location code").arg(code));
}

void applySort(TMemberList &list, const QString &sort)
{
    if (sort.isEmpty())
        return;
    const QStringList parts = sort.toLower().split(QLatin1Char(':'));
    static const QStringList columns = {QStringLiteral("name"), QStringLiteral("ssn"), QStringLiteral("rank")};
    const int column = int(columns.indexOf(parts.first()));
    const bool descending = parts.size() == 2 && parts.at(1) == QLatin1String("desc");
    if (column < 0 || parts.size() > 2 || (parts.size() == 2 && !descending))
        fail(QStringLiteral("'%1' is not a valid sort (name, ssn or rank, optionally :desc)").arg(sort));
    // Header clicks as a user makes them: the first click on another column sorts it
    // ascending; a click on the sorted column reverses it.
    if (list.SortColumn != column || !list.SortAscending)
        list.SortByColumn(column);
    if (list.SortColumn == column && !list.SortAscending)
        list.SortByColumn(column);
    if (descending)
        list.SortByColumn(column);
}

// Returns the method of the draw and the count / probability box's text it drew with; the
// alternates of a random draw are drawn straight after it, as the wizard's Finish does.
TDrawMethod draw(TMemberList &list, const Options &o, int premise, QString &boxText, QList<int> &alternates)
{
    SetFixedRandomSeed(o.seed);
    if (premise == 0) {
        if (o.probability && o.count)
            fail(QStringLiteral("Give either --probability or --count, not both"));
        if (o.count) {
            boxText = *o.count;
            SelectByCount(list, *o.count);
            alternates = DrawAlternates(list, o.alternates);
            return dmCount;
        } else {
            const QString text = o.probability ? *o.probability : QString::number(ServiceUtils->DefaultTestValue);
            // Read in the C locale, drawn as the wizard draws in the user's.
            const double p = StrToFloat(text, QLocale::c());
            QLocale system = QLocale::system();
            system.setNumberOptions(QLocale::OmitGroupSeparator);
            boxText = system.toString(p, 'g', 17);
            SelectByProbability(list, boxText, RankProbabilityOf(ServiceUtils));
            alternates = DrawAlternates(list, o.alternates);
            return dmProbability;
        }
    } else if (premise == 1) {
        list.SelectAll();
        return dmUnitSweep;
    } else {
        for (const QString &r : o.select.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const int row = StrToInt(r.trimmed());
            if (row < 1 || row > list.MemberCount())
                fail(QStringLiteral("Data row %1 is not in the roster (1 to %2)").arg(row).arg(list.MemberCount()));
            list.SelectMember(row - 1);
        }
    }
    return dmByHand;
}

// Text gathered in one buffer and written as UTF-8 in large pieces. Fields are short: a
// plain loop copies them faster than a call per field would.
class TListWriter
{
public:
    explicit TListWriter(std::FILE *out) : m_out(out), m_buffer(Capacity, Qt::Uninitialized) {}
    ~TListWriter()
    {
        Flush();
        std::fflush(m_out);
    }
    void Put(QStringView text)
    {
        if (m_used + text.size() > Capacity) {
            Flush();
            if (text.size() > Capacity) {
                Write(text);
                return;
            }
        }
        char16_t *p = reinterpret_cast<char16_t *>(m_buffer.data()) + m_used;
        for (QChar c : text)
            *p++ = c.unicode();
        m_used += text.size();
    }
    void Put(char16_t c) { Put(QStringView(&c, 1)); }
    void Flush()
    {
        Write(QStringView(m_buffer).first(m_used));
        m_used = 0;
    }

private:
    static constexpr qsizetype Capacity = 32768;
    void Write(QStringView text)
    {
        const QByteArray bytes = text.toUtf8();
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_out);
    }
    std::FILE *m_out;
    QString m_buffer;
    qsizetype m_used = 0;
};

void writeList(const TPrintProducts &print, const TSelectedMembers &members, std::FILE *out)
{
    TListWriter lines(out);
    for (int n = 0; n < members.SelectedCount(); ++n) {
        const TRosterRec &m = members.GetSelectedMember(n);
        if (m.FormIndex >= 0 && m.FormIndex < print.Forms().size())
            lines.Put(print.Forms().at(m.FormIndex).BatchNumber);
        for (const QString *field : {&m.SpecimenNumber, &m.Name, &m.SSN, &m.Rank, &m.Gender, &m.Organization}) {
            lines.Put(u'\t');
            lines.Put(*field);
        }
        lines.Put(u'\n');
    }
}

const QStringList &productFileNames()
{
    static const QStringList names = {
        QStringLiteral("notification-copy.pdf"), QStringLiteral("working-copy.pdf"),
        QStringLiteral("testing-register.pdf"), QStringLiteral("dd2624-front.pdf"),
        QStringLiteral("dd2624-back.pdf"), QStringLiteral("bottle-labels.pdf"),
        QStringLiteral("selection-record.pdf")};
    return names;
}

// Each product goes to its own file: the preview handler exports what the report generated.
// A failed write names the product's file in the output folder and the system's reason.
// Products print on several threads, each one from start to end on one: the file is the
// thread's.
TProductPrinters filePrinters(const QString &dir, const QString &outDir, int labelStart)
{
    static thread_local QString current;
    static thread_local QString shown;
    SetPreviewHandler([](TppReport &, TppDocument &document) {
        QString error;
        if (!ExportToPdf(document, current, &error))
            fail(QStringLiteral("Cannot write '%1': %2").arg(shown, error));
    });
    const QString position = QString::number(labelStart);
    SetLabelPositionPrompt([position](int, QString &typed) {
        typed = position;
        return true;
    });
    const TProductPrinters real = DefaultProductPrinters();
    auto to = [dir, outDir](const char *name) {
        current = QDir(dir).filePath(QLatin1String(name));
        shown = QDir(outDir).filePath(QLatin1String(name));
    };
    TProductPrinters p;
    p.NotificationCopy = [=](TppJITPipeline *h) { to("notification-copy.pdf"); real.NotificationCopy(h); };
    p.WorkingCopy = [=](TppJITPipeline *h) { to("working-copy.pdf"); real.WorkingCopy(h); };
    p.TestingRegister = [=](TppJITPipeline *h) { to("testing-register.pdf"); real.TestingRegister(h); };
    p.Front2624 = [=](TppJITPipeline *f, TppJITPipeline *m) { to("dd2624-front.pdf"); real.Front2624(f, m); };
    p.Back2624 = [=](int sheets, const TDD2624BackLines &l) { to("dd2624-back.pdf"); real.Back2624(sheets, l); };
    p.BottleLabels = [=](TppJITPipeline *h, int count) {
        to("bottle-labels.pdf");
        return real.BottleLabels(h, count);
    };
    p.SelectionRecord = [=](const TSelectionRecord &r) { to("selection-record.pdf"); real.SelectionRecord(r); };
    return p;
}

// Products are written into a scratch folder beside the output and moved in only when every
// one of them printed, so a failing product leaves nothing half written.
void writeProducts(TPrintProducts &print, const QString &outDir, int labelStart)
{
    const bool created = !QFileInfo::exists(outDir);
    if (!QDir().mkpath(outDir))
        fail(QStringLiteral("Cannot create the folder '%1'").arg(outDir));
    // A folder made for this run goes again when the run fails.
    struct MadeFolder
    {
        QString path;
        bool keep = false;
        ~MadeFolder()
        {
            if (!keep && !path.isEmpty())
                QDir().rmdir(path);
        }
    } made{created ? outDir : QString()};
#if defined(__GLIBC__)
    // Every PDF page allocates and frees the same large buffers (page stream, compressor
    // state); handing them back to the system each time costs a third of a long run in
    // page faults. Keep them in the heap while printing; the roster is in by now.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
    // The printing threads allocate from heaps of their own, which go back to the system as
    // soon as they empty, whatever the trim threshold, and are mapped afresh for the next
    // page: this padding keeps them (half the page faults of a long run).
    mallopt(M_TOP_PAD, 64 * 1024 * 1024);
#endif
    QTemporaryDir scratch(QDir(outDir).filePath(QStringLiteral(".corvane-batch-XXXXXX")));
    if (!scratch.isValid())
        fail(QStringLiteral("Cannot write into the folder '%1'").arg(outDir));
    {
        // SIGTERM or SIGINT now removes the scratch folder too.
        const TScratchCleanup cleanup(scratch.path(), productFileNames());
        print.PrintConcurrently(filePrinters(scratch.path(), outDir, labelStart));
        const QDir from(scratch.path());
        for (const QString &name : from.entryList(QDir::Files)) {
            const QString target = QDir(outDir).filePath(name);
            QFile::remove(target);
            QFile file(from.filePath(name));
            if (!file.rename(target))
                fail(QStringLiteral("Cannot write '%1': %2").arg(target, file.errorString()));
        }
        scratch.remove();
    }
    made.keep = true;
}

} // namespace

QString BatchUsage()
{
    return QStringLiteral(R"(Usage: corvane-batch ROSTER [options]

Runs one urinalysis test without the wizard: reads the roster, maps its columns, draws or
takes the members, numbers them and writes the products as PDF files.

Roster:
  --type excel|comma|tab|access|dbase|ods
                                         file type (default: from the extension: .xls, .xlsx and
                                         .xlsm excel, .csv/.txt comma, .mdb access, .dbf dbase,
                                         .ods ods (OpenDocument); else excel)
  --table NAME                           Access table (default: the only user table; with
                                         several the error lists them)
  --columns K1,K2,...                    field kind per column, left to right: last, first,
                                         initial, ssn, rank, gender, org, skip; trailing columns
                                         not named are skipped. SSN, last name, rank and gender
                                         are required.
  --ignore-header                        the first row is a header
  --blank-rows skip|stop                 when rows with data follow an empty cell in column A
                                         (a spacer row): skip reads them too (empty rows left
                                         out), stop ends the roster at the empty cell. Without
                                         it such a roster is refused, naming the rows.
  --allow-blank-ssn                      write the products even when a selected member has no
                                         valid SSN (they are refused otherwise; members without
                                         one are always named on standard error)
Test:
  --location CODE                        two-letter collection location code (required; one of
                                         the 272 the wizard lists, e.g. US; ZZ is temporary)
  --premise CODE                         IR (default), IU, CO, PO, VO, RO, AO, MO, IO, NO or OO
  --probability P | --count K            for IR: testing probability in per cent (read in the C
                                         locale, like 12.5; default 10) or a total number
  --select R1,R2,...                     1-based data rows to test, for the premises chosen by
                                         hand (all but IR and IU)
  --seed S                               seed of the random source, 0 to 4294967295 (default:
                                         the clock, as the wizard); a fixed seed repeats a draw
  --alternates N                         for IR: after the draw, also draw N alternates (0 to 99,
                                         default 0, as page 3's "Alternates" box): members not
                                         selected, to be tested in their order when a selected
                                         member is not available. Drawn from the members not
                                         selected, in display order, by the same random source
                                         going on after the selection, so the selection and its
                                         numbers are the same whatever N is. They are not
                                         numbered and not on the six products, only on the
                                         selection record; when fewer members are left, all of
                                         them, and the record says so.
  --sort name|ssn|rank[:desc]            display order before the draw and the numbering; after
                                         loading the list is by name ascending. The column is
                                         sorted ascending as its header click does; :desc clicks
                                         it once more.
  --group-by-gender                      after the draw, members whose gender is F first, as
                                         the print page's "Group By Gender" box does, and a new
                                         sheet at each change of gender
Products:
  --bac TEXT --uic TEXT                  BAC (at most 4 characters, upper case) and UIC (at
                                         most 5)
  --block1 TEXT --block2 TEXT            the custody document's two free-text blocks (at most
                                         255 characters each)
  --date YYYY-MM-DD                      collection date (default: today)
  --batch TEXT                           starting batch number (default 0001)
  --products LIST                        comma list of notification, working, register, front,
                                         back, labels, record (default: all but record)
  --label-start P                        first label position on the first label sheet, 1 to 10:
                                         1 to 5 down the left column, 6 to 10 the right (default 1)
  --out DIR                              write the products into DIR: notification-copy.pdf,
                                         working-copy.pdf, testing-register.pdf, dd2624-front.pdf,
                                         dd2624-back.pdf, bottle-labels.pdf, selection-record.pdf
  --list                                 print the numbered selection, one tab-separated line a
                                         member: batch, specimen, name, SSN, rank, gender,
                                         organization
Audit:
  --record FILE.json                     write the selection record as JSON: the roster file's
                                         name, size and SHA-256, the column mapping, premise,
                                         location, method, seed, the selected members with their
                                         numbers, the alternates in their order, every member of
                                         the pool in display order at the draw (row, name, rank,
                                         organization, selected or not) and the pool's SHA-256,
                                         and the command repeating the draw. No SSN is in it:
                                         the SSNs enter only the pool's SHA-256 (each member's
                                         name, a tab, the SSN and a line feed, in UTF-8, in
                                         display order)
  --verify FILE.json                     read the roster file a record names, repeat the draw and
                                         check, in this order: the pool (the same names and SSNs
                                         in the same order; a file saved again by another
                                         program, whose own SHA-256 differs, passes when its pool
                                         is the same; otherwise who was added and who removed is
                                         listed), the member count, the members, their specimen
                                         and batch numbers, and the alternates. Exit 0 when all
                                         agree, 3 naming the check that failed; other options
                                         given override the record's
  --help                                 this text
  --version                              the program's version

An inspector repeats a draw from its record: with the record's JSON, run
  corvane-batch --verify draw.json
on the roster file it names; from the printed record, run the command printed under "To
repeat this draw from the same roster file" and compare the members, numbers and alternates
it lists (--list, --record) with the printed ones. The pool pages answer whether a member was
in the pool of that draw, also after the roster file has changed.

The steps are the wizard's, in its order: the roster is loaded and sorted by name (page 3),
--sort clicks the column headers, the draw follows (then its alternates), --group-by-gender
ticks the print page's grouping box, and the members are numbered. So the same roster,
options and seed give the same selection and numbers as the wizard driven through the same
steps.

Every error prints the message the wizard would show on standard error and exits with
status 2 (3: a record that --verify does not confirm); nothing is written then, not even after a failed write (a full disk). The program
needs no display.
)");
}

namespace {

// One test as the wizard makes it: the roster read, sorted, drawn, grouped and numbered.
struct TBatchTest
{
    TImportTable table;
    TMemberList list;
    std::unique_ptr<TMemberListSelection> members;
    std::unique_ptr<TPrintProducts> print;
};

void runTest(TBatchTest &t, Options &o, int premise, const QString &location, bool wantRecord)
{
    TImportFileType type = iftNone;
    QString tableName;
    TRosterRecs recs;
    t.table = loadRoster(o, recs, &type, &tableName);
    // The wizard's steps in its order: page 3 loads and sorts the roster by name, header
    // clicks sort it, Finish draws; the print page's grouping click sorts again; Print numbers.
    // Every sort is one the wizard makes: the quicksort moves equal members, so an extra
    // one would change who is drawn and their numbers.
    t.list.LoadMembers(std::move(recs));
    applySort(t.list, o.sort);
    QString boxText;
    QList<int> alternates;
    const TDrawMethod method = draw(t.list, o, premise, boxText, alternates);
    const QString premiseCode = PremiseCodeOf(PremiseEntries().at(premise));
    // The record hashes the roster and copies every drawn name: made only when it is wanted.
    if (wantRecord)
        SetCurrentSelectionRecord(MakeSelectionRecord(RosterSourceOf(o.roster, type, t.table, tableName), t.list,
                                                      premiseCode, location, method, boxText, alternates,
                                                      premise == 0 ? o.alternates : 0));
    if (o.groupByGender)
        t.list.SetGroupByGender(true);
    o.inputs.GroupByGender = o.groupByGender;

    t.members = std::make_unique<TMemberListSelection>(t.list, premiseCode, location);
    t.print = std::make_unique<TPrintProducts>(*t.members, *ServiceUtils);
    t.print->Inputs = o.inputs;
    t.print->NumberMembers();   // a bad batch range or starting batch stops here; numbers the record
}

int premiseChecked(const Options &o)
{
    const int premise = premiseIndex(o.premise);
    if (premise < 0)
        fail(QStringLiteral("'%1' is not a testing premise (IR, IU, CO, PO, VO, RO, AO, MO, IO, NO or OO)")
                 .arg(o.premise));
    if (premise != 0 && (o.probability || o.count))
        fail(QStringLiteral("--probability and --count apply to random testing (IR) only"));
    if (premise != 0 && o.alternates > 0)
        fail(QStringLiteral("--alternates applies to random testing (IR) only"));
    if (premise <= 1 && !o.select.isEmpty())
        fail(QStringLiteral("--select applies to the premises chosen by hand, not IR or IU"));
    return premise;
}

void writeRecord(const QString &fileName)
{
    const TSelectionRecord *record = CurrentSelectionRecord();
    if (!record)
        return;
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        fail(QStringLiteral("Cannot write '%1': %2").arg(fileName, file.errorString()));
    file.write(QJsonDocument(record->ToJson()).toJson(QJsonDocument::Indented));
    if (!file.commit())
        fail(QStringLiteral("Cannot write '%1': %2").arg(fileName, file.errorString()));
}

// The first difference between two lists of alternates, empty when they are the same.
QString alternatesDifference(const TSelectionRecord &want, const TSelectionRecord &got)
{
    if (want.AlternatesAsked != got.AlternatesAsked)
        return QStringLiteral("the record asks for %1 alternates, the draw for %2")
            .arg(want.AlternatesAsked)
            .arg(got.AlternatesAsked);
    if (want.Alternates.size() != got.Alternates.size())
        return QStringLiteral("the draw gives %1 alternates, the record %2")
            .arg(got.Alternates.size())
            .arg(want.Alternates.size());
    for (int i = 0; i < want.Alternates.size(); ++i) {
        const TPoolMember &a = want.Alternates.at(i);
        const TPoolMember &b = got.Alternates.at(i);
        if (a.Name != b.Name || a.Row != b.Row)
            return QStringLiteral("alternate %1 is %2 (row %3) in the record but %4 (row %5) in the draw")
                .arg(i + 1)
                .arg(a.Name)
                .arg(a.Row)
                .arg(b.Name)
                .arg(b.Row);
    }
    return QString();
}

// Repeats the draw a record describes and compares, check by check: the pool, the number
// of members selected, who they are, their numbers, and the alternates. Options given
// besides --verify go after the record's own, so that they win (another --seed, for one).
int verifyRecord(const Options &given, const QStringList &args, std::FILE *out)
{
    QFile file(given.verifyFile);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Cannot read the record '%1': %2").arg(given.verifyFile, file.errorString()));
    // a record is a few kilobytes a member; anything far larger is no record of ours
    if (file.size() > 64 * 1024 * 1024)
        fail(QStringLiteral("'%1' is no selection record: it is too large").arg(given.verifyFile));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (!doc.isObject())
        fail(QStringLiteral("'%1' is no selection record: %2").arg(given.verifyFile, error.errorString()));
    const TSelectionRecord want = TSelectionRecord::FromJson(doc.object(), given.verifyFile);
    QStringList again;
    for (const QJsonValue &v : doc.object().value(QStringLiteral("arguments")).toArray())
        again << v.toString();
    if (again.isEmpty())
        fail(QStringLiteral("'%1' holds no command to repeat the draw with").arg(given.verifyFile));
    for (int i = 0; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--verify")) {
            ++i;
            continue;
        }
        again << args.at(i);
    }

    QTextStream err(stderr);
    const QString roster = want.Source.FileName;
    qint64 size = -1;
    QString sha, readError;
    if (!HashRosterFile(roster, size, sha, &readError)) {
        err << QStringLiteral("Not verified: the roster file '%1' cannot be read: %2\n").arg(roster, readError);
        return 3;
    }
    const bool fileSame = sha == want.RosterSha256;
    const QString fileChanged =
        QStringLiteral("the roster file '%1' has changed since the draw: its SHA-256 is now %2 (%3 bytes); the record "
                       "says %4 (%5 bytes)")
            .arg(roster, sha)
            .arg(size)
            .arg(want.RosterSha256)
            .arg(want.RosterSize);
    // A record without the pool's hash cannot tell a file saved again from a changed one.
    if (!fileSame && want.PoolSha256.isEmpty()) {
        err << QStringLiteral("Not verified: %1.\n").arg(fileChanged);
        return 3;
    }

    Options o = parse(again);
    o.outDir.clear();
    o.list = false;
    o.recordFile.clear();
    o.verifyFile.clear();
    o.inputs.SelectionRecord = false;
    checkInputs(o);
    o.inputs.BAC = o.inputs.BAC.toUpper();
    const int premise = premiseChecked(o);
    const QString location = checkLocation(o.location);
    TBatchTest t;
    runTest(t, o, premise, location, true);
    const TSelectionRecord *got = CurrentSelectionRecord();

    // The pool first: a draw repeated from another pool proves nothing, even when it happens
    // to pick the same members.
    if (!want.PoolSha256.isEmpty() && got->PoolSha256 != want.PoolSha256) {
        QString why;
        const QStringList changes = PoolDifferences(want.Pool, got->Pool);
        if (!changes.isEmpty()) {
            why = QStringLiteral("it has %1 members, the record's %2:\n  %3")
                      .arg(got->Pool.size())
                      .arg(want.Pool.size())
                      .arg(changes.join(QStringLiteral("\n  ")));
        } else {
            bool sameOrder = want.Pool.size() == got->Pool.size();
            for (int i = 0; sameOrder && i < want.Pool.size(); ++i)
                sameOrder = want.Pool.at(i).Name == got->Pool.at(i).Name;
            why = sameOrder ? QStringLiteral("the same %1 names in the same order, but an SSN has changed")
                                  .arg(want.Pool.size())
                            : QStringLiteral("the same %1 names, but in another order").arg(want.Pool.size());
        }
        err << QStringLiteral("Not verified: the pool differs. %1; the pool's SHA-256 is now %2, the record says %3: "
                              "%4\n")
                   .arg(fileSame ? QStringLiteral("The roster file is unchanged, but read into other members")
                                 : fileChanged.left(1).toUpper() + fileChanged.mid(1),
                        got->PoolSha256, want.PoolSha256, why);
        return 3;
    }

    QString check, difference;
    if (got->Members.size() != want.Members.size()) {
        check = QStringLiteral("the member count differs");
        difference = QStringLiteral("the draw selected %1 members, the record %2")
                         .arg(got->Members.size())
                         .arg(want.Members.size());
    }
    for (int i = 0; check.isEmpty() && i < want.Members.size(); ++i) {
        const TRecordMember &a = want.Members.at(i);
        const TRecordMember &b = got->Members.at(i);
        if (a.Name != b.Name) {
            check = QStringLiteral("the members differ");
            difference = QStringLiteral("member %1 is %2 %3 %4 in the record but %5 %6 %7 in the draw")
                             .arg(i + 1)
                             .arg(a.BatchNumber, a.SpecimenNumber, a.Name, b.BatchNumber, b.SpecimenNumber, b.Name);
        }
    }
    for (int i = 0; check.isEmpty() && want.Numbered && i < want.Members.size(); ++i) {
        const TRecordMember &a = want.Members.at(i);
        const TRecordMember &b = got->Members.at(i);
        if (a.BatchNumber != b.BatchNumber || a.SpecimenNumber != b.SpecimenNumber) {
            check = QStringLiteral("the specimen numbers differ");
            difference = QStringLiteral("member %1, %2, has batch %3 specimen %4 in the record but batch %5 specimen "
                                        "%6 in the draw")
                             .arg(i + 1)
                             .arg(a.Name, a.BatchNumber, a.SpecimenNumber, b.BatchNumber, b.SpecimenNumber);
        }
    }
    if (check.isEmpty()) {
        difference = alternatesDifference(want, *got);
        if (!difference.isEmpty())
            check = QStringLiteral("the alternates differ");
    }
    const QString seed = got->Seed ? QString::number(*got->Seed) : QStringLiteral("none");
    const QString wantSeed = want.Seed ? QString::number(*want.Seed) : QStringLiteral("none");
    const QString pool = want.PoolSha256.isEmpty()
                             ? QString()
                             : QStringLiteral("the pool is the same (%1 members, SHA-256 %2)")
                                   .arg(got->Pool.size())
                                   .arg(got->PoolSha256);
    const QString source = fileSame ? QStringLiteral("the roster file is unchanged")
                                    : QStringLiteral("%1 (%2: saved again, by this or another program)")
                                          .arg(pool, fileChanged);
    if (!check.isEmpty()) {
        err << QStringLiteral("Not verified: %1: %2, but %3 (seed %4; the record's seed %5).\n")
                   .arg(check, source, difference, seed, wantSeed);
        return 3;
    }
    QString same = QStringLiteral("selects the same %1 members").arg(want.Members.size());
    if (want.Numbered)
        same += QStringLiteral(" with the same numbers");
    if (want.AlternatesAsked > 0)
        same += QStringLiteral(" and draws the same %1 alternates in the same order").arg(want.Alternates.size());
    QTextStream(out) << (fileSame ? QStringLiteral("Verified: the roster file '%1' is unchanged (SHA-256 %2)%3, and "
                                                   "the draw with seed %4 %5.\n")
                                        .arg(roster, sha, pool.isEmpty() ? QString() : QStringLiteral(", ") + pool,
                                             seed, same)
                                  : QStringLiteral("Verified: %1, though %2 (saved again, by this or another program); "
                                                   "the draw with seed %3 %4.\n")
                                        .arg(pool, fileChanged, seed, same));
    return 0;
}

} // namespace

int RunBatch(const QStringList &args, std::FILE *out)
{
    Options o = parse(args);
    if (o.help) {
        std::fputs(qPrintable(BatchUsage()), out);
        return 0;
    }
    if (!o.verifyFile.isEmpty())
        return verifyRecord(o, args, out);
    checkInputs(o);
    o.inputs.BAC = o.inputs.BAC.toUpper();

    const int premise = premiseChecked(o);
    const QString location = checkLocation(o.location);
    // Checked before anything is read or written, with the message the dialog's OK gives.
    const int labelStart = TrptBottleLabels::CheckedStartPosition(o.labelStart);

    TBatchTest t;
    runTest(t, o, premise, location, o.inputs.SelectionRecord || !o.recordFile.isEmpty());
    if (!o.outDir.isEmpty()) {
        if (t.members->SelectedCount() == 0)
            fail(QStringLiteral("No members selected, products may not be printed."));
        const QStringList blank = t.print->MembersWithoutValidSsn();
        const TPrintInputs &in = o.inputs;
        const bool printsSsn = in.NotificationCopy || in.WorkingCopy || in.TestingRegister || in.Front2624
                               || in.BottleLabels;
        if (!blank.isEmpty() && printsSsn && !o.allowBlankSsn)
            fail(QStringLiteral("Among the selected, %1: %2. Their products and barcodes would print without "
                                "one; give --allow-blank-ssn to write them anyway")
                     .arg(NoValidSSNText(int(blank.size())), blank.join(QStringLiteral("; "))));
        writeProducts(*t.print, o.outDir, labelStart);
    }
    if (!o.recordFile.isEmpty())
        writeRecord(o.recordFile);
    if (o.list)
        writeList(*t.print, *t.members, out);
    return 0;
}

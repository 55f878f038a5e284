#include "selection/SelectionRecord.h"

#include "app/Exceptions.h"
#include "selection/RandomSource.h"
#include "selection/SelectionParameters.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QLocale>
#include <QRegularExpression>

namespace {
std::optional<TSelectionRecord> g_current;
int g_drawsMade = 0;

const char *const kMethodNames[] = {"probability", "count", "sweep", "hand"};
const char *const kSortNames[] = {"name", "ssn", "rank"};
}

QString ColumnKindName(quint8 kind)
{
    switch (kind) {
    case fkLastName: return QStringLiteral("last");
    case fkFirstName: return QStringLiteral("first");
    case fkInitial: return QStringLiteral("initial");
    case fkSSN: return QStringLiteral("ssn");
    case fkRank: return QStringLiteral("rank");
    case fkGender: return QStringLiteral("gender");
    case fkOrganization: return QStringLiteral("org");
    default: return QStringLiteral("skip");
    }
}

QString BatchTypeName(TImportFileType type)
{
    switch (type) {
    case iftExcel: return QStringLiteral("excel");
    case iftCommaText: return QStringLiteral("comma");
    case iftTabText: return QStringLiteral("tab");
    case iftAccess: return QStringLiteral("access");
    case iftDBase: return QStringLiteral("dbase");
    case iftOds: return QStringLiteral("ods");
    default: return QString();
    }
}

QString ShellQuoted(const QString &argument)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./:,=+@%-]+$"));
    if (plain.match(argument).hasMatch())
        return argument;
    QString quoted = argument;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

TRosterSource RosterSourceOf(const QString &fileName, TImportFileType fileType, const TImportTable &table,
                             const QString &tableName)
{
    TRosterSource s;
    s.FileName = QFileInfo(fileName).absoluteFilePath();
    s.FileType = fileType;
    s.TableName = fileType == iftAccess ? tableName : QString();
    s.Template = table.GetTemplate();
    s.IgnoreHeader = table.IgnoreHeader;
    s.BlankRows = table.SkipBlankRows            ? QStringLiteral("skip")
                  : table.Notes.RowsAfterEnd() ? QStringLiteral("stop")
                                               : QString();
    for (int p = 0; p < table.FieldCount(); ++p)
        s.ColumnKinds << ColumnKindName(table.GetFieldKind(p));
    // trailing skipped columns go without saying
    while (!s.ColumnKinds.isEmpty() && s.ColumnKinds.last() == QLatin1String("skip"))
        s.ColumnKinds.removeLast();
    return s;
}

bool HashRosterFile(const QString &fileName, qint64 &size, QString &sha256, QString *error)
{
    size = -1;
    sha256.clear();
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    // read in steps: a roster may be far larger than memory should hold at once
    if (!hash.addData(&file)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    size = file.size();
    sha256 = QString::fromLatin1(hash.result().toHex());
    return true;
}

TSelectionRecord MakeSelectionRecord(const TRosterSource &source, const TMemberList &list,
                                     const QString &premiseCode, const QString &locationCode,
                                     TDrawMethod method, const QString &methodValue)
{
    TSelectionRecord r;
    const QString version = QCoreApplication::applicationVersion();
    r.Program = QStringLiteral("Corvane Lite %1").arg(version.isEmpty() ? QStringLiteral("unknown") : version);
    r.DrawnAt = QDateTime::currentDateTime();
    r.Source = source;
    HashRosterFile(source.FileName, r.RosterSize, r.RosterSha256, &r.RosterReadError);
    r.PoolCount = list.MemberCount();
    r.PremiseCode = premiseCode;
    r.LocationCode = locationCode;
    r.Method = method;
    if (method == dmProbability) {
        double p = 0;
        if (TryStrToFloat(methodValue, p, QLocale::system()))
            r.MethodValue = QString::number(p, 'g', QLocale::FloatingPointShortest);
        else
            r.MethodValue = methodValue;
    } else if (method == dmCount) {
        int k = 0;
        r.MethodValue = TryStrToInt(methodValue, k) ? QString::number(k) : methodValue;
    }
    if (method == dmProbability || method == dmCount)
        r.Seed = LastRandomSeed();
    r.SelectedCount = list.SelectedCount;
    r.SortColumn = list.SortColumn;
    r.SortAscending = list.SortAscending;
    r.GroupByGender = list.GroupByGender;
    for (int n = 0; n < list.SelectedCount; ++n) {
        const int index = list.MemberIndex(lkSelected, n);
        if (index < 0)
            break;
        r.Members.append(TRecordMember{QString(), QString(), list.Members[index].Name, index + 1});
    }
    return r;
}

void SetCurrentSelectionRecord(const TSelectionRecord &record)
{
    g_current = record;
    g_current->DrawNumber = ++g_drawsMade;
    g_current->DrawsMade = g_drawsMade;
}

TSelectionRecord *CurrentSelectionRecord()
{
    if (!g_current)
        return nullptr;
    g_current->DrawsMade = g_drawsMade;
    return &*g_current;
}

int SelectionDrawsMade() { return g_drawsMade; }

void ResetSelectionRecords()
{
    g_current.reset();
    g_drawsMade = 0;
}

QString TSelectionRecord::MethodText() const
{
    switch (Method) {
    case dmProbability: return QStringLiteral("Probability %1 %").arg(MethodValue);
    case dmCount: return QStringLiteral("Total number %1").arg(MethodValue);
    case dmUnitSweep: return QStringLiteral("Unit sweep");
    default: return QStringLiteral("By hand");
    }
}

QString TSelectionRecord::SourceText() const
{
    switch (Source.FileType) {
    case iftAccess: return QStringLiteral("Access table %1").arg(Source.TableName);
    case iftExcel: return QStringLiteral("Excel workbook, first worksheet");
    case iftOds: return QStringLiteral("OpenDocument spreadsheet, first worksheet");
    case iftDBase: return QStringLiteral("dBase table");
    case iftCommaText: return QStringLiteral("Comma-separated text");
    case iftTabText: return QStringLiteral("Tab-separated text");
    case iftFixedText: return QStringLiteral("Fixed-width text");
    default: return QStringLiteral("Unknown");
    }
}

QString TSelectionRecord::DrawText() const
{
    return QStringLiteral("draw %1 of %2").arg(DrawNumber).arg(qMax(DrawNumber, DrawsMade));
}

QList<QPair<QString, QString>> TSelectionRecord::Fields() const
{
    const auto yesNo = [](bool b) { return b ? QStringLiteral("Yes") : QStringLiteral("No"); };
    QList<QPair<QString, QString>> f;
    f.append({QStringLiteral("Drawn"), DrawnAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss t"))});
    f.append({QStringLiteral("Draw"), DrawText()});
    f.append({QStringLiteral("Roster file"), Source.FileName});
    f.append({QStringLiteral("File size"),
              RosterSize < 0 ? QStringLiteral("unreadable: %1").arg(RosterReadError)
                             : QStringLiteral("%1 bytes").arg(RosterSize)});
    f.append({QStringLiteral("SHA-256"), RosterSha256.isEmpty() ? QStringLiteral("none") : RosterSha256});
    f.append({QStringLiteral("Read from"), SourceText()});
    f.append({QStringLiteral("Column mapping"), Source.Template});
    f.append({QStringLiteral("Ignore Header"), yesNo(Source.IgnoreHeader)});
    if (!Source.BlankRows.isEmpty())
        f.append({QStringLiteral("Rows after an empty cell in column A"),
                  Source.BlankRows == QLatin1String("skip") ? QStringLiteral("read") : QStringLiteral("left out")});
    f.append({QStringLiteral("Members in the pool"), QString::number(PoolCount)});
    f.append({QStringLiteral("Premise"), PremiseCode});
    f.append({QStringLiteral("Location"), LocationCode.isEmpty() ? QStringLiteral("none") : LocationCode});
    f.append({QStringLiteral("Method"), MethodText()});
    f.append({QStringLiteral("Seed"), Seed ? QString::number(*Seed) : QStringLiteral("none (no random draw)")});
    f.append({QStringLiteral("Selected"), QString::number(SelectedCount)});
    f.append({QStringLiteral("Sort"), QStringLiteral("%1 %2").arg(QLatin1String(kSortNames[qBound(0, SortColumn, 2)]),
                                                               SortAscending ? QStringLiteral("ascending")
                                                                             : QStringLiteral("descending"))});
    f.append({QStringLiteral("Group By Gender"), yesNo(GroupByGender)});
    f.append({QStringLiteral("Starting batch"), Numbered ? StartingBatch : QStringLiteral("not numbered yet")});
    return f;
}

QStringList TSelectionRecord::BatchArguments() const
{
    const QString type = BatchTypeName(Source.FileType);
    if (type.isEmpty())
        return {};
    QStringList a{Source.FileName, QStringLiteral("--type"), type};
    if (!Source.TableName.isEmpty())
        a << QStringLiteral("--table") << Source.TableName;
    a << QStringLiteral("--columns") << Source.ColumnKinds.join(QLatin1Char(','));
    if (Source.IgnoreHeader)
        a << QStringLiteral("--ignore-header");
    if (!Source.BlankRows.isEmpty())
        a << QStringLiteral("--blank-rows") << Source.BlankRows;
    a << QStringLiteral("--premise") << PremiseCode;
    if (!LocationCode.isEmpty())
        a << QStringLiteral("--location") << LocationCode;
    if (Method == dmProbability)
        a << QStringLiteral("--probability") << MethodValue;
    else if (Method == dmCount)
        a << QStringLiteral("--count") << MethodValue;
    else if (Method == dmByHand) {
        QStringList rows;
        for (const TRecordMember &m : Members)
            rows << QString::number(m.Row);
        a << QStringLiteral("--select") << rows.join(QLatin1Char(','));
    }
    if (Seed)
        a << QStringLiteral("--seed") << QString::number(*Seed);
    // after loading the list is by name, ascending
    if (SortColumn != 0 || !SortAscending)
        a << QStringLiteral("--sort")
          << QString(QLatin1String(kSortNames[qBound(0, SortColumn, 2)])
                     + (SortAscending ? QString() : QStringLiteral(":desc")));
    if (GroupByGender)
        a << QStringLiteral("--group-by-gender");
    if (Numbered && !StartingBatch.isEmpty())
        a << QStringLiteral("--batch") << StartingBatch;
    return a;
}

QString TSelectionRecord::BatchCommand() const
{
    const QStringList a = BatchArguments();
    if (a.isEmpty())
        return QStringLiteral("(corvane-batch reads no %1 roster)").arg(SourceText().toLower());
    QStringList quoted{QStringLiteral("corvane-batch")};
    for (const QString &s : a)
        quoted << ShellQuoted(s);
    return quoted.join(QLatin1Char(' '));
}

QJsonObject TSelectionRecord::ToJson() const
{
    QJsonObject o;
    o[QStringLiteral("program")] = Program;
    o[QStringLiteral("drawnAt")] = DrawnAt.toOffsetFromUtc(DrawnAt.offsetFromUtc()).toString(Qt::ISODate);
    o[QStringLiteral("drawNumber")] = DrawNumber;
    o[QStringLiteral("drawsMade")] = qMax(DrawNumber, DrawsMade);
    o[QStringLiteral("rosterFile")] = Source.FileName;
    o[QStringLiteral("rosterSize")] = double(RosterSize);
    o[QStringLiteral("rosterSha256")] = RosterSha256;
    o[QStringLiteral("fileType")] = BatchTypeName(Source.FileType);
    o[QStringLiteral("fileTypeCode")] = int(Source.FileType);
    o[QStringLiteral("readFrom")] = SourceText();
    o[QStringLiteral("table")] = Source.TableName;
    o[QStringLiteral("template")] = Source.Template;
    o[QStringLiteral("ignoreHeader")] = Source.IgnoreHeader;
    o[QStringLiteral("blankRows")] = Source.BlankRows;
    o[QStringLiteral("columns")] = QJsonArray::fromStringList(Source.ColumnKinds);
    o[QStringLiteral("poolCount")] = PoolCount;
    o[QStringLiteral("premise")] = PremiseCode;
    o[QStringLiteral("location")] = LocationCode;
    o[QStringLiteral("method")] = QLatin1String(kMethodNames[qMin(int(Method), 3)]);
    o[QStringLiteral("methodValue")] = MethodValue;
    o[QStringLiteral("seed")] = Seed ? QJsonValue(double(*Seed)) : QJsonValue();
    o[QStringLiteral("selectedCount")] = SelectedCount;
    o[QStringLiteral("sort")] = QString(QLatin1String(kSortNames[qBound(0, SortColumn, 2)])
                                        + (SortAscending ? QString() : QStringLiteral(":desc")));
    o[QStringLiteral("groupByGender")] = GroupByGender;
    o[QStringLiteral("numbered")] = Numbered;
    o[QStringLiteral("startingBatch")] = StartingBatch;
    QJsonArray members;
    for (const TRecordMember &m : Members)
        members.append(QJsonObject{{QStringLiteral("batch"), m.BatchNumber},
                                   {QStringLiteral("specimen"), m.SpecimenNumber},
                                   {QStringLiteral("name"), m.Name},
                                   {QStringLiteral("row"), m.Row}});
    o[QStringLiteral("members")] = members;
    o[QStringLiteral("arguments")] = QJsonArray::fromStringList(BatchArguments());
    o[QStringLiteral("command")] = BatchCommand();
    return o;
}

TSelectionRecord TSelectionRecord::FromJson(const QJsonObject &o, const QString &fileName)
{
    const auto bad = [&fileName](const QString &why) {
        return Exception(QStringLiteral("'%1' is no selection record: %2").arg(fileName, why));
    };
    for (const char *key : {"rosterFile", "rosterSha256", "fileType", "columns", "premise", "method", "members"})
        if (!o.contains(QLatin1String(key)))
            throw bad(QStringLiteral("it has no \"%1\"").arg(QLatin1String(key)));
    TSelectionRecord r;
    r.Program = o.value(QStringLiteral("program")).toString();
    r.DrawnAt = QDateTime::fromString(o.value(QStringLiteral("drawnAt")).toString(), Qt::ISODate);
    r.DrawNumber = o.value(QStringLiteral("drawNumber")).toInt();
    r.DrawsMade = o.value(QStringLiteral("drawsMade")).toInt();
    r.Source.FileName = o.value(QStringLiteral("rosterFile")).toString();
    r.Source.FileType = TImportFileType(qBound(0, o.value(QStringLiteral("fileTypeCode")).toInt(), int(iftOds)));
    const QString type = o.value(QStringLiteral("fileType")).toString();
    for (TImportFileType t : {iftExcel, iftCommaText, iftTabText, iftAccess, iftDBase, iftOds})
        if (BatchTypeName(t) == type)
            r.Source.FileType = t;
    r.Source.TableName = o.value(QStringLiteral("table")).toString();
    r.Source.Template = o.value(QStringLiteral("template")).toString();
    r.Source.IgnoreHeader = o.value(QStringLiteral("ignoreHeader")).toBool();
    r.Source.BlankRows = o.value(QStringLiteral("blankRows")).toString();
    if (r.Source.BlankRows != QLatin1String("skip") && r.Source.BlankRows != QLatin1String("stop"))
        r.Source.BlankRows.clear();
    for (const QJsonValue &v : o.value(QStringLiteral("columns")).toArray())
        r.Source.ColumnKinds << v.toString();
    r.RosterSize = qint64(o.value(QStringLiteral("rosterSize")).toDouble(-1));
    r.RosterSha256 = o.value(QStringLiteral("rosterSha256")).toString();
    r.PoolCount = o.value(QStringLiteral("poolCount")).toInt();
    r.PremiseCode = o.value(QStringLiteral("premise")).toString();
    r.LocationCode = o.value(QStringLiteral("location")).toString();
    const QString method = o.value(QStringLiteral("method")).toString();
    int m = 0;
    while (m < 4 && method != QLatin1String(kMethodNames[m]))
        ++m;
    if (m == 4)
        throw bad(QStringLiteral("unknown method \"%1\"").arg(method));
    r.Method = TDrawMethod(m);
    r.MethodValue = o.value(QStringLiteral("methodValue")).toString();
    const QJsonValue seed = o.value(QStringLiteral("seed"));
    if (seed.isDouble()) {
        const double s = seed.toDouble();
        if (s < 0 || s > 4294967295.0 || s != double(quint32(s)))
            throw bad(QStringLiteral("the seed is not a 32-bit number"));
        r.Seed = quint32(s);
    }
    r.SelectedCount = o.value(QStringLiteral("selectedCount")).toInt();
    const QStringList sort = o.value(QStringLiteral("sort")).toString().split(QLatin1Char(':'));
    for (int c = 0; c < 3; ++c)
        if (sort.first() == QLatin1String(kSortNames[c]))
            r.SortColumn = c;
    r.SortAscending = !(sort.size() == 2 && sort.at(1) == QLatin1String("desc"));
    r.GroupByGender = o.value(QStringLiteral("groupByGender")).toBool();
    r.Numbered = o.value(QStringLiteral("numbered")).toBool();
    r.StartingBatch = o.value(QStringLiteral("startingBatch")).toString();
    for (const QJsonValue &v : o.value(QStringLiteral("members")).toArray()) {
        const QJsonObject mo = v.toObject();
        r.Members.append(TRecordMember{mo.value(QStringLiteral("batch")).toString(),
                                       mo.value(QStringLiteral("specimen")).toString(),
                                       mo.value(QStringLiteral("name")).toString(),
                                       mo.value(QStringLiteral("row")).toInt()});
    }
    return r;
}

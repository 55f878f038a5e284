#include "selection/SelectionRecord.h"

#include "app/Exceptions.h"
#include "selection/RandomSource.h"
#include "selection/SelectionParameters.h"

#include <QCoreApplication>
#include <algorithm>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QHash>
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

QString PoolSha256Of(const TMemberList &list)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray line;
    for (int member : list.DisplayOrder) {
        const TRosterRec &m = list.Members[member];
        line = m.Name.toUtf8();
        line += '\t';
        line += m.SSN.toUtf8();
        line += '\n';
        hash.addData(line);
    }
    return QString::fromLatin1(hash.result().toHex());
}

namespace {
// Marks the members of a (recorded) and b (now) that a shortest edit script keeps, both in
// roster order (Myers' diff); false when more than maxEdits changes would be needed.
bool AlignByName(const QList<const TPoolMember *> &a, const QList<const TPoolMember *> &b, int maxEdits,
                 QList<bool> &keptA, QList<bool> &keptB)
{
    const int n = int(a.size());
    const int m = int(b.size());
    const int offset = maxEdits + 1;
    QList<int> v(2 * offset + 1, 0);
    QList<QList<int>> trace;   // v over -d..d after each round: D^2 in all, never N*M
    int found = -1;
    for (int d = 0; d <= maxEdits && found < 0; ++d) {
        for (int k = -d; k <= d; k += 2) {
            int x = (k == -d || (k != d && v[offset + k - 1] < v[offset + k + 1])) ? v[offset + k + 1]
                                                                                   : v[offset + k - 1] + 1;
            int y = x - k;
            while (x < n && y < m && a.at(x)->Name == b.at(y)->Name) {
                ++x;
                ++y;
            }
            v[offset + k] = x;
            if (x >= n && y >= m)
                found = d;
        }
        trace.append(v.mid(offset - d, 2 * d + 1));
    }
    if (found < 0)
        return false;
    keptA.fill(true, n);
    keptB.fill(true, m);
    int x = n;
    int y = m;
    for (int d = found; d > 0; --d) {
        const QList<int> &prev = trace.at(d - 1);   // k from -(d-1) to d-1
        const auto at = [&prev, d](int k) { return prev.at(k + d - 1); };
        const int k = x - y;
        const bool down = k == -d || (k != d && at(k - 1) < at(k + 1));
        const int prevK = down ? k + 1 : k - 1;
        const int prevX = at(prevK);
        const int prevY = prevX - prevK;
        if (down)
            keptB[prevY] = false;   // added
        else
            keptA[prevX] = false;   // removed
        x = prevX;
        y = prevY;
    }
    return true;
}
} // namespace

QStringList PoolDifferences(const QList<TPoolMember> &recorded, const QList<TPoolMember> &now)
{
    // In roster order a member added or removed is one edit among members who stay where
    // they were, so the row named is the one that changed, namesakes or not.
    const auto byRow = [](const QList<TPoolMember> &pool) {
        QList<const TPoolMember *> list;
        list.reserve(pool.size());
        for (const TPoolMember &m : pool)
            list.append(&m);
        std::stable_sort(list.begin(), list.end(),
                         [](const TPoolMember *l, const TPoolMember *r) { return l->Row < r->Row; });
        return list;
    };
    const QList<const TPoolMember *> a = byRow(recorded);
    const QList<const TPoolMember *> b = byRow(now);
    QList<bool> keptA, keptB;
    if (!AlignByName(a, b, 500, keptA, keptB)) {
        // Too many changes for the alignment: the names are matched as a multiset.
        keptA.fill(false, a.size());
        keptB.fill(false, b.size());
        QHash<QString, QList<int>> waiting;
        for (int i = 0; i < b.size(); ++i)
            waiting[b.at(i)->Name].append(i);
        for (int i = 0; i < a.size(); ++i) {
            auto found = waiting.find(a.at(i)->Name);
            if (found != waiting.end() && !found.value().isEmpty()) {
                keptB[found.value().takeFirst()] = true;
                keptA[i] = true;
            }
        }
    }
    QStringList lines;
    for (int i = 0; i < a.size(); ++i)
        if (!keptA.at(i))
            lines << QStringLiteral("removed: %1 (row %2)").arg(a.at(i)->Name).arg(a.at(i)->Row);
    for (int i = 0; i < b.size(); ++i)
        if (!keptB.at(i))
            lines << QStringLiteral("added: %1 (row %2)").arg(b.at(i)->Name).arg(b.at(i)->Row);
    return lines;
}

namespace {
TPoolMember PoolMemberOf(const TMemberList &list, int member)
{
    const TRosterRec &m = list.Members[member];
    return TPoolMember{member + 1, m.Name, m.Rank, m.Organization, m.Selected};
}
}

TSelectionRecord MakeSelectionRecord(const TRosterSource &source, const TMemberList &list,
                                     const QString &premiseCode, const QString &locationCode,
                                     TDrawMethod method, const QString &methodValue,
                                     const QList<int> &alternates, int alternatesAsked)
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
    r.Pool.reserve(list.MemberCount());
    for (int member : list.DisplayOrder)
        r.Pool.append(PoolMemberOf(list, member));
    r.PoolSha256 = PoolSha256Of(list);
    r.AlternatesAsked = qMax(alternatesAsked, 0);
    for (int member : alternates)
        if (member >= 0 && member < list.MemberCount())
            r.Alternates.append(PoolMemberOf(list, member));
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

QString TSelectionRecord::AlternatesText() const
{
    if (Alternates.size() >= AlternatesAsked)
        return QString::number(AlternatesAsked);
    return QStringLiteral("%1 asked for, %2 drawn: every member not selected").arg(AlternatesAsked).arg(Alternates.size());
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
    if (!PoolSha256.isEmpty())
        f.append({QStringLiteral("Pool SHA-256"), PoolSha256});
    f.append({QStringLiteral("Premise"), PremiseCode});
    f.append({QStringLiteral("Location"), LocationCode.isEmpty() ? QStringLiteral("none") : LocationCode});
    f.append({QStringLiteral("Method"), MethodText()});
    f.append({QStringLiteral("Seed"), Seed ? QString::number(*Seed) : QStringLiteral("none (no random draw)")});
    f.append({QStringLiteral("Selected"), QString::number(SelectedCount)});
    if (AlternatesAsked > 0)
        f.append({QStringLiteral("Alternates"), AlternatesText()});
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
    if (AlternatesAsked > 0 && (Method == dmProbability || Method == dmCount))
        a << QStringLiteral("--alternates") << QString::number(AlternatesAsked);
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
    const auto poolArray = [](const QList<TPoolMember> &list, bool withSelected) {
        QJsonArray a;
        for (const TPoolMember &m : list) {
            QJsonObject e{{QStringLiteral("row"), m.Row},
                          {QStringLiteral("name"), m.Name},
                          {QStringLiteral("rank"), m.Rank},
                          {QStringLiteral("organization"), m.Organization}};
            if (withSelected)
                e[QStringLiteral("selected")] = m.Selected;
            a.append(e);
        }
        return a;
    };
    if (AlternatesAsked > 0) {
        o[QStringLiteral("alternatesAsked")] = AlternatesAsked;
        o[QStringLiteral("alternates")] = poolArray(Alternates, false);
    }
    o[QStringLiteral("poolSha256")] = PoolSha256;
    o[QStringLiteral("pool")] = poolArray(Pool, true);
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
    // a size no file has (or no number at all) reads as unknown, never as an overflowing integer
    const double size = o.value(QStringLiteral("rosterSize")).toDouble(-1);
    r.RosterSize = size >= 0 && size < 9.0e18 ? qint64(size) : -1;
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
    const auto poolList = [&o](const char *key) {
        QList<TPoolMember> list;
        for (const QJsonValue &v : o.value(QLatin1String(key)).toArray()) {
            const QJsonObject e = v.toObject();
            list.append(TPoolMember{e.value(QStringLiteral("row")).toInt(), e.value(QStringLiteral("name")).toString(),
                                    e.value(QStringLiteral("rank")).toString(),
                                    e.value(QStringLiteral("organization")).toString(),
                                    e.value(QStringLiteral("selected")).toBool()});
        }
        return list;
    };
    r.PoolSha256 = o.value(QStringLiteral("poolSha256")).toString();
    r.Pool = poolList("pool");
    const int asked = o.value(QStringLiteral("alternatesAsked")).toInt();
    if (asked < 0 || asked > MaxAlternates)
        throw bad(QStringLiteral("%1 alternates is not 0 to %2").arg(asked).arg(MaxAlternates));
    r.AlternatesAsked = asked;
    r.Alternates = poolList("alternates");
    if (r.Alternates.size() > asked)
        throw bad(QStringLiteral("it lists more alternates than were asked for"));
    return r;
}

#include "roster/FormatRoster.h"

#include "app/MemoryHints.h"
#include "app/ServiceUtilsUnit.h"

#include <QFileInfo>

TImportFileType FileTypeOfExtension(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString ext = dot < 0 ? QString() : name.mid(dot).toUpper();
    if (ext == QLatin1String(".XLS") || ext == QLatin1String(".XLSX") || ext == QLatin1String(".XLSM"))
        return iftExcel;
    if (ext == QLatin1String(".TXT") || ext == QLatin1String(".CSV"))
        return iftCommaText;
    if (ext == QLatin1String(".MDB"))
        return iftAccess;
    if (ext == QLatin1String(".DBF"))
        return iftDBase;
    if (ext == QLatin1String(".ODS"))
        return iftOds;
    return iftNone;
}

QString MissingColumnsText(const TImportTable &table, const TServiceUtils *profile)
{
    QList<TImportFieldKind> missing = {fkLastName, fkSSN};
    if (!profile || profile->RankRequired)
        missing << fkRank;
    if (!profile || profile->GenderRequired)
        missing << fkGender;
    for (int c = 0; c < table.FieldCount(); ++c)
        missing.removeAll(table.GetFieldKind(c));
    if (missing.isEmpty())
        return QString();

    QString text = QStringLiteral("You must identify the following column(s):");
    // Listed in this fixed order, whatever order the set was built in.
    const std::pair<TImportFieldKind, const char *> names[] = {
        {fkLastName, " Last Name,"}, {fkSSN, " SSN,"}, {fkRank, " Rank,"}, {fkGender, " Gender,"}};
    for (const auto &[kind, name] : names)
        if (missing.contains(kind))
            text += QLatin1String(name);
    text.chop(1);
    return text;
}

bool IsValidSSN(QStringView ssn)
{
    if (ssn.size() != 9)
        return false;
    for (QChar c : ssn)
        if (!(c.unicode() < 0x80 && c.isLetterOrNumber()))
            return false;
    return true;
}

QList<int> RowsWithoutValidSSN(const TImportTable &table)
{
    int ssn = -1;
    for (int p = 0; p < table.FieldCount(); ++p)
        if (table.GetFieldKind(p) == fkSSN)
            ssn = p;
    QList<int> rows;
    if (ssn < 0)
        return rows;
    for (int r = 0; r < table.RowCount(); ++r)
        if (!IsValidSSN(table.GetCell(r, ssn)))
            rows << r;
    return rows;
}

QList<int> MembersWithoutValidSSN(const TRosterRecs &recs)
{
    QList<int> members;
    constexpr int ahead = 16;   // each SSN lies apart from its record
    for (int i = 0; i < recs.size(); ++i) {
        if (i + ahead < recs.size())
            Prefetch(recs[i + ahead].SSN.constData());
        if (!IsValidSSN(recs[i].SSN))
            members << i;
    }
    return members;
}

QString NoValidSSNText(int count)
{
    if (count <= 0)
        return QString();
    return count == 1 ? QStringLiteral("1 member has no valid SSN")
                      : QStringLiteral("%1 members have no valid SSN").arg(count);
}

QString ValuelessFormulasText(const TImportTable &table)
{
    QStringList columns;
    for (int p = 0; p < table.FieldCount(); ++p) {
        if (table.GetFieldKind(p) == fkDoNotImport)
            continue;
        const int cells = table.Notes.ValuelessFormulasIn(table.IndexOfPosition(p));
        if (cells > 0)
            columns << QStringLiteral("column %1 (%2), %3 %4")
                           .arg(p + 1)
                           .arg(TImportTable::KindTitle(table.GetFieldKind(p)).trimmed())
                           .arg(cells)
                           .arg(cells == 1 ? QStringLiteral("cell") : QStringLiteral("cells"));
    }
    if (columns.isEmpty())
        return QString();
    return QStringLiteral("Formulas were saved in this roster without their values (by a program that does not "
                          "calculate), so they would read as empty: %1. Open the file in a spreadsheet program, "
                          "save it there and read it again")
        .arg(columns.join(QStringLiteral("; ")));
}

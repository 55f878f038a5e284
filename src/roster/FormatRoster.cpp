#include "roster/FormatRoster.h"

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

#include "app/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {
// Printer and report names become one key each; a separator would nest groups.
QString KeyPart(QString name)
{
    name.replace(QLatin1Char('/'), QLatin1Char('_')).replace(QLatin1Char('\\'), QLatin1Char('_'));
    return name;
}

bool IsFolder(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}
} // namespace

std::unique_ptr<QSettings> OpenSettings()
{
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("Corvane"), QStringLiteral("Corvane Lite"));
}

QString FirstRosterFolder(const QString &argument, const QString &lastUsed)
{
    // A folder named on the command line is taken as given: the tree lands on its deepest
    // existing part, as when the folder is typed.
    if (!argument.trimmed().isEmpty())
        return QFileInfo(argument.trimmed()).absoluteFilePath();
    if (IsFolder(lastUsed))
        return lastUsed;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (IsFolder(documents))
        return documents;
    return QDir::homePath();
}

QString LastRosterFolder()
{
    return OpenSettings()->value(QStringLiteral("RosterFolder/Last")).toString();
}

void RememberRosterFolder(const QString &folder)
{
    OpenSettings()->setValue(QStringLiteral("RosterFolder/Last"), folder);
}

QString LastPrinterFor(const QString &product)
{
    return OpenSettings()->value(QStringLiteral("Printers/") + KeyPart(product)).toString();
}

void RememberPrinterFor(const QString &product, const QString &printerName)
{
    if (!product.isEmpty() && !printerName.isEmpty())
        OpenSettings()->setValue(QStringLiteral("Printers/") + KeyPart(product), printerName);
}

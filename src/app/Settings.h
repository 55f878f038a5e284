#pragma once
// The few choices the program remembers between runs: the roster folder last used, the
// printer each product last went to, and the bottle labels' shift per printer.
#include <QString>
#include <memory>

class QSettings;

// Opened the same way everywhere (an INI file under the user's configuration folder).
std::unique_ptr<QSettings> OpenSettings();

// Where page 1 opens: the folder given on the command line, else the folder last used when it
// still exists, else the user's Documents folder, else the home folder.
QString FirstRosterFolder(const QString &argument, const QString &lastUsed);
QString LastRosterFolder();
void RememberRosterFolder(const QString &folder);

// The printer a product (by its report's name) was last printed on; empty when never.
QString LastPrinterFor(const QString &product);
void RememberPrinterFor(const QString &product, const QString &printerName);

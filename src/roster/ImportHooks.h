#pragma once
// What the programs that read rosters need of the readers' interface without the readers
// themselves: the events a reader raises, the hooks the user interface installs, the table
// choice and the file check (ImportHooks.cpp).
#include <QString>
#include <QStringList>

#include <functional>

using TFieldCountEvent = std::function<void(int count)>;
using TRecordEvent = std::function<void(const QStringList &values)>;

// Asks the user which table of a database to import. Returns false when cancelled.
// The user interface installs one; without it a database of exactly one table uses that
// table and one of several tables is refused with a message listing them.
using TTableChooser = std::function<bool(const QStringList &tables, QString &chosen)>;
void SetTableChooser(TTableChooser chooser);
const TTableChooser &TableChooser();
// The hourglass shown while a roster is read. The user interface installs the handler; the
// readers themselves also run where there is no screen.
using TBusyCursorHandler = std::function<void(bool busy)>;
void SetBusyCursorHandler(TBusyCursorHandler handler);
void ShowBusyCursor(bool busy);
// The hourglass for a whole reading, restored however it ends.
class TBusyCursorScope
{
public:
    TBusyCursorScope() { ShowBusyCursor(true); }
    ~TBusyCursorScope() { ShowBusyCursor(false); }
    TBusyCursorScope(const TBusyCursorScope &) = delete;
    TBusyCursorScope &operator=(const TBusyCursorScope &) = delete;
};

// Picks the table of a database to read: through the installed chooser (false when
// cancelled), else the only table; raises when there is none or there are several.
bool ChooseImportTable(const QString &fileName, const QStringList &tables, QString &chosen);
// The table the last successful choice took (the selection record names it).
QString LastChosenImportTable();

// Raises "Cannot open '<file>': <reason>." when something is at that path that cannot be
// read as a file (no permission, a folder, a pipe or device). False when nothing is there.
bool CheckReadableFile(const QString &fileName);

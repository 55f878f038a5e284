#pragma once
// A roster file read into rows: by a reader run in this process, as the import process runs
// it, or loaded into a table.
#include "import/ImportFileReader.h"
#include "roster/ImportHooks.h"
#include "roster/ImportTable.h"

#include <QList>
#include <QStringList>

// Every record a reader produces, and the field count it announced.
struct Capture
{
    int fieldCount = -1;
    QList<QStringList> records;
};

template <typename Reader, typename... Args>
bool ReadAll(const QString &path, Capture &out, Args &&...args)
{
    Reader reader([&](const QStringList &v) { out.records << v; }, [&](int n) { out.fieldCount = n; },
                  std::forward<Args>(args)...);
    return reader.Import(path);
}

inline QList<QStringList> Rows(const TImportTable &t)
{
    QList<QStringList> rows;
    for (int r = 0; r < t.RowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < t.FieldCount(); ++c)
            row << t.GetCell(r, c);
        rows << row;
    }
    return rows;
}

// Installs a table chooser for one test and removes it afterwards.
struct ChooserScope
{
    explicit ChooserScope(TTableChooser c) { SetTableChooser(std::move(c)); }
    ~ChooserScope() { SetTableChooser({}); }
};

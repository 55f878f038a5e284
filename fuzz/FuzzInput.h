#pragma once
#include "import/ImportFileReader.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstddef>
#include <cstdint>

// The readers take file names: the input goes to a file in memory (/dev/shm when there is
// one), in a folder of this process, under the given name.
QString FuzzFile(const char *name, const uint8_t *data, size_t size);
inline QString FuzzFile(const char *name, const QByteArray &bytes)
{
    return FuzzFile(name, reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()));
}
void RemoveFuzzFile(const char *name);

// A zip archive of the given entries, stored without compression: mutations of an entry
// reach the parser of that part instead of the container's checks.
QByteArray StoredZip(const QList<std::pair<QByteArray, QByteArray>> &entries);

void CheckRecord(const QStringList &values);

// Runs one import the way the table does; our own error messages are expected results.
// Checks what every reader promises: values are trimmed.
void FuzzImport(TImportFileReader &reader, const QString &path);

template <typename Reader, typename... Args>
void FuzzRead(const QString &path, Args &&...args)
{
    Reader reader([](const QStringList &values) { CheckRecord(values); }, [](int) {}, std::forward<Args>(args)...);
    FuzzImport(reader, path);
}

#pragma once
#include <QString>
#include <QStringList>

// While it lives, SIGTERM, SIGINT and SIGHUP remove the scratch folder (the named files in
// it, then the folder) before the program ends by the signal as it would have. The
// half-written products hold names and SSNs: a stopped run must not leave them behind.
class TScratchCleanup
{
public:
    TScratchCleanup(const QString &folder, const QStringList &fileNames);
    ~TScratchCleanup();
    TScratchCleanup(const TScratchCleanup &) = delete;
    TScratchCleanup &operator=(const TScratchCleanup &) = delete;
};

#pragma once
// Test helper: this process's memory from /proc/self/status (Linux; 0 elsewhere).
#include <QFile>

// "VmHWM:" (the peak since ResetPeakMemory) or "VmRSS:" (resident now), in kB.
inline qint64 StatusKb(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qsizetype(qstrlen(key))).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

// Sets the peak back to what is resident now, so that a test measures its own.
inline void ResetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

#pragma once
// Small roster builders shared by the selection tests.
#include "roster/RosterRec.h"

#include <QRandomGenerator>
#include <QStringList>

inline TRosterRec MakeMember(const QString &name, const QString &ssn = QString(),
                             const QString &gender = QString(), const QString &rank = QString())
{
    TRosterRec r;
    r.Name = name;
    r.SSN = ssn;
    r.Gender = gender;
    r.Rank = rank;
    return r;
}

// A roster with many equal keys, so that sorting has ties to break.
// Names are the stem and a number.
inline TRosterRecs RandomRoster(int count, quint32 seed, int distinctNames = 7, const QString &stem = QStringLiteral("NAME"))
{
    QRandomGenerator gen(seed);
    static const QStringList genders = {"M", "F", "X", ""};
    static const QStringList ranks = {"PVT", "SGT", "CPT", "SPC", "pfc"};
    TRosterRecs list;
    for (int i = 0; i < count; ++i) {
        list << MakeMember(stem + QString::number(gen.bounded(distinctNames)),
                           QStringLiteral("%1").arg(gen.bounded(1000), 9, 10, QLatin1Char('0')),
                           genders[gen.bounded(genders.size())],
                           ranks[gen.bounded(ranks.size())]);
    }
    return list;
}

#pragma once
#include <QDateTime>
#include <QList>
#include <QString>

// One chain-of-custody line printed on the back of the custody document.
struct TDD2624BackLine
{
    QDateTime DateTime;     // when the custody changed
    QString ReleasedBy;
    QString ReceivedBy;
    QString Remarks;        // purpose of change or remarks
};

using TDD2624BackLines = QList<TDD2624BackLine>;

#pragma once
#include <QList>
#include <QString>

// One member of the roster, built from a data row of the roster table.
struct TRosterRec
{
    QString Name;            // 'DOE, JOHN Q.'
    QString SSN;             // nine letters/digits, nine blanks, or empty
    QString Gender;          // "M", "F" or other text upper-cased
    QString Rank;
    QString Organization;
    bool Selected = false;
    int FormIndex = 0;       // custody-document sheet, assigned when printing
    QString SpecimenNumber;  // assigned when printing
};

// Strings and plain values only: a growing list moves its records by memory, not one by one.
Q_DECLARE_TYPEINFO(TRosterRec, Q_RELOCATABLE_TYPE);

using TRosterRecs = QList<TRosterRec>;

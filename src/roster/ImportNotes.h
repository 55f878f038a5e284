#pragma once
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <algorithm>

// What a reading met that its records do not show, so that nothing is left out in silence.
struct TImportNotes
{
    // Rows with data below the empty column-A cell that ended a sheet's data, in the sheet's
    // own 1-based row numbers; all 0 when nothing follows.
    int EndRow = 0;
    int FirstRowAfter = 0;
    int LastRowAfter = 0;
    // Column (0-based) to the cells of the records holding a formula whose value the file
    // does not carry (written by a program that does not calculate). Keyed, not indexed: a
    // column number comes from the file, and must not size anything.
    QMap<int, int> ValuelessFormulas;
    // Rows of the file (1-based, counted as the records came) that hold data but no value in
    // their first column: the roster table does not keep them.
    QList<int> RowsWithoutFirstValue;

    bool RowsAfterEnd() const { return FirstRowAfter > 0; }
    int ValuelessFormulasIn(int column) const
    {
        return ValuelessFormulas.value(column, 0);
    }
    void AddValuelessFormula(int column)
    {
        if (column >= 0)
            ++ValuelessFormulas[column];
    }
    // "Row 10 holds data but nothing in its first column and is not in the roster."
    QString RowsWithoutFirstValueText() const
    {
        if (RowsWithoutFirstValue.isEmpty())
            return QString();
        QStringList rows;
        for (qsizetype i = 0; i < std::min<qsizetype>(RowsWithoutFirstValue.size(), 20); ++i)
            rows << QString::number(RowsWithoutFirstValue[i]);
        if (RowsWithoutFirstValue.size() > rows.size())
            rows << QStringLiteral("and %1 more").arg(RowsWithoutFirstValue.size() - rows.size());
        return (RowsWithoutFirstValue.size() == 1
                    ? QStringLiteral("Row %1 holds data but nothing in its first column and is not in the roster.")
                    : QStringLiteral("Rows %1 hold data but nothing in their first column and are not in the roster."))
                   .arg(rows.join(QStringLiteral(", ")))
               + QStringLiteral(" Fill in the first column there and read the file again");
    }
    // "Rows 33 to 62 follow an empty cell in column A at row 32 and are not in the roster."
    QString RowsAfterEndText() const
    {
        if (FirstRowAfter == EndRow) {   // the row with the empty cell holds data itself
            const QString rows = FirstRowAfter == LastRowAfter ? QStringLiteral("Row %1").arg(EndRow)
                                 : QStringLiteral("Rows %1 to %2").arg(FirstRowAfter).arg(LastRowAfter);
            return QStringLiteral("%1, from the empty cell in column A at row %2 on, %3 not in the roster.")
                .arg(rows)
                .arg(EndRow)
                .arg(FirstRowAfter == LastRowAfter ? QStringLiteral("is") : QStringLiteral("are"));
        }
        if (FirstRowAfter == LastRowAfter)
            return QStringLiteral("Row %1 follows an empty cell in column A at row %2 and is not in the roster.")
                .arg(FirstRowAfter)
                .arg(EndRow);
        return QStringLiteral("Rows %1 to %2 follow an empty cell in column A at row %3 and are not in the roster.")
            .arg(FirstRowAfter)
            .arg(LastRowAfter)
            .arg(EndRow);
    }
};

#pragma once
#include <QDate>
#include <QString>
#include <QStringView>
#include <QTime>

// How a spreadsheet cell's value reads as text, the same for every spreadsheet reader.

// Excel's General format: integers without a decimal point, else at most 15 significant digits, no exponent below 1e15.
// (Numbers below 1e-9 in magnitude use the exponent form too, as Excel shows them.)
QString CellNumberText(double value);
// A date/time serial (days since 1899-12-30, or 1904-01-01 when date1904) as a date [and time]; a value that is no valid date (negative, beyond year 9999) gives CellNumberText(value).
QString CellDateText(double serial, bool date1904);
// The date form the Access and dBase readers use too: short date with a four-digit year; the time only when hasTime; never a zone name.
QString DateTimeText(const QDate &date, const QTime &time, bool hasTime);
// Built-in number format ids 14–22 and 45–47, or a custom format code with d, m, y, h or s outside quotes and [brackets] (and not an escaped \x char).
bool IsDateFormat(int numFmtId, QStringView formatCode);
// A format that pads whole numbers with zeros: digit places '0' with hyphens or blanks between,
// in its first section ("000000000", Excel's "000-00-0000", built-in format 1 "0"). The pattern marks
// each digit place with QChar(0); empty when the format is anything else.
QString ZeroPadPattern(int numFmtId, QStringView formatCode);
// A number as such a format shows it: rounded to a whole number, at least as many digits as
// places (extra digits go to the first place), the literals between. Numbers of 1e15 and
// more, and non-finite ones, as CellNumberText.
QString CellPaddedText(double value, QStringView pattern);

// What a cell's number format means for its text: a date, zero padding, or the General way.
struct TNumberFormat
{
    bool Date = false;
    QString Pad;   // a ZeroPadPattern
};
TNumberFormat NumberFormatOf(int numFmtId, QStringView formatCode);
QString CellFormattedText(double value, const TNumberFormat &format, bool date1904);

QString CellBooleanText(bool value);      // "True" / "False"
QString CellErrorText(quint8 biffErrorCode);  // 0x00 #NULL!, 0x07 #DIV/0!, 0x0F #VALUE!, 0x17 #REF!, 0x1D #NAME?, 0x24 #NUM!, 0x2A #N/A, 0x2B #GETTING_DATA

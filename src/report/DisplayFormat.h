#pragma once
// Display formats of data texts and system variables: date/time patterns ("YYYYMMDD",
// "DD/MM/YYYY", "MM/dd/yyyy h:nn:ss AM/PM", "yymmdd", ...) and edit masks ("999-99-9999;0").
#include <QDateTime>
#include <QString>

// Date/time pattern, letters in either case: yyyy yy, mmmm mmm mm m (minutes right after an
// hour), dddd ddd dd d, hh h, nn n, ss s, zzz, am/pm, a/p; '/' is the locale's date separator
// and ':' its time separator; text in quotes is literal.
QString FormatDateTime(const QString &format, const QDateTime &value);

// An edit mask "mask;save;blank": '0' '9' '#' 'L' 'l' 'A' 'a' 'C' 'c' take the next character of
// the value, '\' makes the next mask character literal, anything else is a literal. With save
// 0 the value holds no literals; positions the value does not reach show the blank (default ' ').
QString FormatMaskText(const QString &editMask, const QString &value);

// A number by a numeric pattern: '0' a digit always shown, '#' a digit when significant,
// '.' the decimal point, ',' thousands grouping; other characters literal.
QString FormatFloat(const QString &format, double value);

// True when a display format is an edit mask rather than a date pattern.
bool IsEditMask(const QString &displayFormat);

// The locale's date separator (from its short date format).
QChar LocaleDateSeparator();

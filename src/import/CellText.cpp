#include "import/CellText.h"

#include <QLocale>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
// Widens a two-digit year ('yy') to 'yyyy'; quoted literals are left alone.
QString FourDigitYear(const QString &format)
{
    QString out;
    out.reserve(format.size() + 2);
    bool quoted = false;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            out += c;
            ++i;
            continue;
        }
        if (!quoted && c == QLatin1Char('y')) {
            qsizetype n = 0;
            while (i + n < format.size() && format[i + n] == QLatin1Char('y'))
                ++n;
            out += QStringLiteral("yyyy");
            i += n;
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}

// The locale's time format without the zone ('t'), and without the blanks the zone leaves.
QString TimeWithoutZone(const QString &format)
{
    QString out;
    out.reserve(format.size());
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('t'))
            continue;
        out += c;
    }
    return out.simplified();
}

struct DateForms
{
    QLocale locale;
    QString date;
    QString time;
};

const DateForms &Forms()
{
    // The system locale does not change while the program runs.
    static const DateForms forms = [] {
        DateForms f{QLocale::system(), {}, {}};
        f.date = FourDigitYear(f.locale.dateFormat(QLocale::ShortFormat));
        f.time = TimeWithoutZone(f.locale.timeFormat(QLocale::LongFormat));
        return f;
    }();
    return forms;
}

QString TimeText(const QTime &time)
{
    return Forms().locale.toString(time, Forms().time);
}
} // namespace

QString CellNumberText(double value)
{
    if (std::isnan(value) || std::isinf(value))
        return CellErrorText(0x24);
    if (value == 0)
        return QStringLiteral("0");
    if (std::fabs(value) < 1e15 && value == std::floor(value))
        return QString::number(static_cast<qint64>(value));

    // 15 significant digits, then laid out by hand: printf's %g would switch to the exponent
    // form far too early.
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));
    // buf: d.dddddddddddddde[+-]xx
    QByteArray digits;
    digits += buf[0];
    digits += QByteArray(buf + 2, 14);
    const int exponent = std::atoi(std::strchr(buf, 'e') + 1);
    while (digits.size() > 1 && digits.endsWith('0'))
        digits.chop(1);

    const QString point = QLocale::system().decimalPoint();
    QString text;
    if (value < 0)
        text += QLatin1Char('-');
    if (exponent >= 15 || exponent < -9) {
        text += QLatin1Char(digits[0]);
        if (digits.size() > 1)
            text += point + QString::fromLatin1(digits.mid(1));
        text += exponent < 0 ? QStringLiteral("E-") : QStringLiteral("E+");
        text += QStringLiteral("%1").arg(std::abs(exponent), 2, 10, QLatin1Char('0'));
    } else if (exponent < 0) {
        text += QLatin1Char('0') + point + QString(-exponent - 1, QLatin1Char('0')) + QString::fromLatin1(digits);
    } else {
        const qsizetype whole = exponent + 1;
        if (digits.size() <= whole) {
            text += QString::fromLatin1(digits) + QString(whole - digits.size(), QLatin1Char('0'));
        } else {
            text += QString::fromLatin1(digits.left(whole)) + point + QString::fromLatin1(digits.mid(whole));
        }
    }
    return text;
}

QString CellDateText(double serial, bool date1904)
{
    // Beyond 9999-12-31 in either system, or before the first day.
    const double last = date1904 ? 2957003.0 : 2958466.0;
    if (!std::isfinite(serial) || serial < 0 || serial >= last)
        return CellNumberText(serial);
    qint64 days = static_cast<qint64>(std::floor(serial));
    qint64 seconds = std::llround((serial - double(days)) * 86400.0);
    if (seconds >= 86400) {
        ++days;
        seconds -= 86400;
    }
    const QTime time = QTime(0, 0).addSecs(int(seconds));
    if (days == 0)
        return TimeText(time);   // a time of day without a date
    QDate date;
    if (date1904) {
        date = QDate(1904, 1, 1).addDays(days);
    } else {
        // The 1900 system counts a 29 February 1900 that never was: serials before it are a day
        // off, and 60 is that day, which Excel shows as a date like any other.
        if (days == 60) {
            const DateForms &f = Forms();
            QString form = f.date;
            form.replace(QLatin1String("yyyy"), QLatin1String("'1900'"));
            QString text = f.locale.toString(QDate(2000, 2, 29), form);
            if (seconds != 0)
                text += QLatin1Char(' ') + TimeText(time);
            return text;
        }
        date = days < 60 ? QDate(1899, 12, 31).addDays(days) : QDate(1899, 12, 30).addDays(days);
    }
    if (!date.isValid() || date.year() > 9999)
        return CellNumberText(serial);
    return DateTimeText(date, time, seconds != 0);
}

QString DateTimeText(const QDate &date, const QTime &time, bool hasTime)
{
    const DateForms &f = Forms();
    QString text = f.locale.toString(date, f.date);
    if (hasTime && time.isValid())
        text += QLatin1Char(' ') + TimeText(time);
    return text;
}

bool IsDateFormat(int numFmtId, QStringView formatCode)
{
    if ((numFmtId >= 14 && numFmtId <= 22) || (numFmtId >= 45 && numFmtId <= 47))
        return true;
    bool quoted = false;
    for (qsizetype i = 0; i < formatCode.size(); ++i) {
        const char16_t c = formatCode[i].unicode();
        if (quoted) {
            quoted = c != u'"';
            continue;
        }
        switch (c) {
        case u'"':
            quoted = true;
            break;
        case u'\\':
        case u'_':
        case u'*':
            ++i;   // the next character is a literal, a padding width or a fill
            break;
        case u'[':
            while (i < formatCode.size() && formatCode[i] != u']')
                ++i;
            break;
        case u'd': case u'D': case u'm': case u'M': case u'y': case u'Y':
        case u'h': case u'H': case u's': case u'S':
            return true;
        default:
            break;
        }
    }
    return false;
}

QString ZeroPadPattern(int numFmtId, QStringView formatCode)
{
    if (formatCode.isEmpty())
        return numFmtId == 1 ? QString(QChar(0)) : QString();
    QString pattern;
    bool places = false;
    for (qsizetype i = 0; i < formatCode.size(); ++i) {
        const char16_t c = formatCode[i].unicode();
        if (c == u';')
            break;   // the sections for negative numbers, zero and text are not looked at
        // Hyphens and blanks are the only literals: they keep an SSN an SSN; any other text,
        // decimals, grouping, #, ?, colours, conditions or exponents make another format.
        const auto separator = [](QChar x) { return x == u'-' || x == u' '; };
        if (c == u'"') {
            const qsizetype end = formatCode.indexOf(u'"', i + 1);
            if (end < 0)
                return QString();
            for (QChar x : formatCode.mid(i + 1, end - i - 1)) {
                if (!separator(x))
                    return QString();
                pattern += x;
            }
            i = end;
        } else if (c == u'\\') {
            if (++i == formatCode.size() || !separator(formatCode[i]))
                return QString();
            pattern += formatCode[i];
        } else if (c == u'0') {
            pattern += QChar(0);
            places = true;
        } else if (separator(QChar(c))) {
            pattern += QChar(c);
        } else {
            return QString();
        }
    }
    return places ? pattern : QString();
}

QString CellPaddedText(double value, QStringView pattern)
{
    const double whole = std::round(value);
    if (!std::isfinite(whole) || std::fabs(whole) >= 1e15)
        return CellNumberText(value);
    QString digits = QString::number(qint64(std::fabs(whole)));
    const qsizetype places = pattern.count(QChar(0));
    if (digits.size() < places)
        digits.prepend(QString(places - digits.size(), QLatin1Char('0')));
    // Right to left: each place takes one digit, the first place whatever is left.
    QString out;
    qsizetype next = digits.size();
    qsizetype placesLeft = places;
    for (qsizetype i = pattern.size() - 1; i >= 0; --i) {
        if (pattern[i] != QChar(0)) {
            out.prepend(pattern[i]);
        } else if (--placesLeft > 0) {
            out.prepend(digits[--next]);
        } else {
            out.prepend(QStringView(digits).left(next));
            next = 0;
        }
    }
    return whole < 0 ? QLatin1Char('-') + out : out;
}

TNumberFormat NumberFormatOf(int numFmtId, QStringView formatCode)
{
    TNumberFormat format;
    format.Date = IsDateFormat(numFmtId, formatCode);
    if (!format.Date)
        format.Pad = ZeroPadPattern(numFmtId, formatCode);
    return format;
}

QString CellFormattedText(double value, const TNumberFormat &format, bool date1904)
{
    if (format.Date)
        return CellDateText(value, date1904);
    if (!format.Pad.isEmpty())
        return CellPaddedText(value, format.Pad);
    return CellNumberText(value);
}

QString CellBooleanText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

QString CellErrorText(quint8 biffErrorCode)
{
    switch (biffErrorCode) {
    case 0x00: return QStringLiteral("#NULL!");
    case 0x07: return QStringLiteral("#DIV/0!");
    case 0x0F: return QStringLiteral("#VALUE!");
    case 0x17: return QStringLiteral("#REF!");
    case 0x1D: return QStringLiteral("#NAME?");
    case 0x24: return QStringLiteral("#NUM!");
    case 0x2A: return QStringLiteral("#N/A");
    case 0x2B: return QStringLiteral("#GETTING_DATA");
    default: return QStringLiteral("#N/A");
    }
}

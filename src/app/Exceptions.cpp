#include "Exceptions.h"

#include <cmath>
#include <limits>

namespace {
int digitValue(QChar c, int base)
{
    const char16_t u = c.unicode();
    int d = -1;
    if (u >= '0' && u <= '9')
        d = u - '0';
    else if (u >= 'a' && u <= 'f')
        d = u - 'a' + 10;
    else if (u >= 'A' && u <= 'F')
        d = u - 'A' + 10;
    return d < base ? d : -1;
}
}

bool TryStrToInt(const QString &text, int &value)
{
    int i = 0;
    const int n = int(text.size());
    while (i < n && text.at(i) == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < n && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i < n && text.at(i) == QLatin1Char('$')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text.at(i) == QLatin1Char('0')
               && (text.at(i + 1) == QLatin1Char('x') || text.at(i + 1) == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    if (i >= n)
        return false;
    qint64 acc = 0;
    const qint64 limit = qint64(std::numeric_limits<int>::max()) + (negative ? 1 : 0);
    const qint64 hexLimit = qint64(std::numeric_limits<quint32>::max());
    for (; i < n; ++i) {
        const int d = digitValue(text.at(i), base);
        if (d < 0)
            return false;
        acc = acc * base + d;
        if (acc > (base == 16 ? hexLimit : limit))
            return false;
    }
    // Hexadecimal values wrap into the signed range, as the platform's conversion does.
    qint64 result = negative ? -acc : acc;
    if (base == 16)
        result = qint64(qint32(quint32(acc)) * (negative ? -1 : 1));
    value = int(result);
    return true;
}

int StrToInt(const QString &text)
{
    int value = 0;
    if (!TryStrToInt(text, value))
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}

bool TryStrToFloat(const QString &text, double &value, const QLocale &locale)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    const QChar dec = locale.decimalPoint().isEmpty() ? QLatin1Char('.') : locale.decimalPoint().at(0);
    // Accept: [sign] digits [dec digits] [(e|E) [sign] digits]; no group separators.
    QString normalised;
    normalised.reserve(t.size());
    int i = 0;
    const int n = int(t.size());
    auto digits = [&](void) {
        int count = 0;
        while (i < n && t.at(i).unicode() >= '0' && t.at(i).unicode() <= '9') {
            normalised += t.at(i++);
            ++count;
        }
        return count;
    };
    if (i < n && (t.at(i) == QLatin1Char('+') || t.at(i) == QLatin1Char('-')))
        normalised += t.at(i++);
    int mantissa = digits();
    if (i < n && t.at(i) == dec) {
        normalised += QLatin1Char('.');
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0)
        return false;
    if (i < n && (t.at(i) == QLatin1Char('e') || t.at(i) == QLatin1Char('E'))) {
        normalised += QLatin1Char('e');
        ++i;
        if (i < n && (t.at(i) == QLatin1Char('+') || t.at(i) == QLatin1Char('-')))
            normalised += t.at(i++);
        if (digits() == 0)
            return false;
    }
    if (i != n)
        return false;
    bool ok = false;
    const double v = QLocale::c().toDouble(normalised, &ok);
    if (!ok || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

double StrToFloat(const QString &text, const QLocale &locale)
{
    double value = 0;
    if (!TryStrToFloat(text, value, locale))
        throw EConvertError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return value;
}

#include "report/DisplayFormat.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>

QChar LocaleDateSeparator()
{
    const QString fmt = QLocale::system().dateFormat(QLocale::ShortFormat);
    for (QChar c : fmt)
        if (!c.isLetter() && c != '\'' && !c.isSpace() && c != ',')
            return c;
    return QChar('/');
}

static QChar localeTimeSeparator()
{
    const QString fmt = QLocale::system().timeFormat(QLocale::ShortFormat);
    for (QChar c : fmt)
        if (!c.isLetter() && c != '\'' && !c.isSpace())
            return c;
    return QChar(':');
}

QString FormatDateTime(const QString &format, const QDateTime &value)
{
    const QDate d = value.date();
    const QTime t = value.time();
    const QLocale loc(QLocale::English, QLocale::UnitedStates);
    const bool twelveHour = format.contains(QLatin1String("am/pm"), Qt::CaseInsensitive)
                            || format.contains(QLatin1String("a/p"), Qt::CaseInsensitive);
    QString out;
    bool lastWasHour = false;
    int i = 0;
    const int n = format.size();
    auto run = [&](QChar c) {
        int k = 0;
        while (i + k < n && format[i + k].toLower() == c)
            ++k;
        return k;
    };
    auto two = [](int v) { return QString::number(v).rightJustified(2, '0'); };
    while (i < n) {
        const QChar c = format[i];
        const QChar lc = c.toLower();
        if (c == '"' || c == '\'') {
            const int end = format.indexOf(c, i + 1);
            const int stop = end < 0 ? n : end;
            out += format.mid(i + 1, stop - i - 1);
            i = stop + 1;
            continue;
        }
        if (format.mid(i, 5).compare(QLatin1String("am/pm"), Qt::CaseInsensitive) == 0) {
            out += t.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
            i += 5;
            continue;
        }
        if (format.mid(i, 3).compare(QLatin1String("a/p"), Qt::CaseInsensitive) == 0) {
            out += t.hour() < 12 ? QStringLiteral("A") : QStringLiteral("P");
            i += 3;
            continue;
        }
        if (lc == 'y') {
            const int k = run('y');
            out += k <= 2 ? two(d.year() % 100) : QString::number(d.year()).rightJustified(4, '0');
            i += k;
            lastWasHour = false;
            continue;
        }
        if (lc == 'm') {
            const int k = run('m');
            if (lastWasHour && k <= 2)
                out += k == 2 ? two(t.minute()) : QString::number(t.minute());
            else if (k >= 4)
                out += loc.monthName(d.month(), QLocale::LongFormat);
            else if (k == 3)
                out += loc.monthName(d.month(), QLocale::ShortFormat);
            else
                out += k == 2 ? two(d.month()) : QString::number(d.month());
            i += k;
            lastWasHour = false;
            continue;
        }
        if (lc == 'd') {
            const int k = run('d');
            if (k >= 4)
                out += loc.dayName(d.dayOfWeek(), QLocale::LongFormat);
            else if (k == 3)
                out += loc.dayName(d.dayOfWeek(), QLocale::ShortFormat);
            else
                out += k == 2 ? two(d.day()) : QString::number(d.day());
            i += k;
            lastWasHour = false;
            continue;
        }
        if (lc == 'h') {
            const int k = run('h');
            int h = t.hour();
            if (twelveHour) {
                h %= 12;
                if (h == 0)
                    h = 12;
            }
            out += k >= 2 ? two(h) : QString::number(h);
            i += k;
            lastWasHour = true;
            continue;
        }
        if (lc == 'n') {
            const int k = run('n');
            out += k >= 2 ? two(t.minute()) : QString::number(t.minute());
            i += k;
            lastWasHour = false;
            continue;
        }
        if (lc == 's') {
            const int k = run('s');
            out += k >= 2 ? two(t.second()) : QString::number(t.second());
            i += k;
            lastWasHour = false;
            continue;
        }
        if (lc == 'z') {
            const int k = run('z');
            out += k >= 3 ? QString::number(t.msec()).rightJustified(3, '0') : QString::number(t.msec());
            i += k;
            continue;
        }
        if (c == '/') {
            out += LocaleDateSeparator();
            ++i;
            continue;
        }
        if (c == ':') {
            out += localeTimeSeparator();
            ++i;
            continue;
        }
        out += c;   // blanks and other characters keep the hour context (h:nn)
        ++i;
    }
    return out;
}

bool IsEditMask(const QString &displayFormat)
{
    if (displayFormat.contains(';'))
        return true;
    for (QChar c : displayFormat)
        if (c == '0' || c == '9' || c == '#' || c == '\\')
            return true;
    return false;
}

static bool isMaskChar(QChar c)
{
    switch (c.unicode()) {
    case '0': case '9': case '#': case 'L': case 'l': case 'A': case 'a': case 'C': case 'c':
        return true;
    default:
        return false;
    }
}

QString FormatMaskText(const QString &editMask, const QString &value)
{
    const QStringList parts = editMask.split(';');
    const QString mask = parts.value(0);
    const bool saveLiterals = parts.size() < 2 || parts.value(1).trimmed() != QLatin1String("0");
    const QChar blank = parts.size() >= 3 && !parts.value(2).isEmpty() ? parts.value(2).at(0) : QChar(' ');
    QString out;
    int v = 0;
    for (int i = 0; i < mask.size(); ++i) {
        QChar m = mask[i];
        if (m == '\\' && i + 1 < mask.size()) {
            const QChar lit = mask[++i];
            out += lit;
            if (saveLiterals && v < value.size() && value[v] == lit)
                ++v;
            continue;
        }
        if (m == '>' || m == '<' || m == '!')
            continue;
        if (isMaskChar(m)) {
            out += v < value.size() ? value[v++] : blank;
        } else {
            out += m;
            if (saveLiterals && v < value.size() && value[v] == m)
                ++v;
        }
    }
    return out;
}

QString FormatFloat(const QString &format, double value)
{
    const QString pattern = format.section(';', value < 0 && format.contains(';') ? 1 : 0, value < 0 && format.contains(';') ? 1 : 0);
    const int dot = pattern.indexOf('.');
    const QString intPart = dot < 0 ? pattern : pattern.left(dot);
    const QString fracPart = dot < 0 ? QString() : pattern.mid(dot + 1);
    const int minInt = int(intPart.count('0'));
    const int minFrac = int(fracPart.count('0'));
    const int maxFrac = minFrac + int(fracPart.count('#'));
    const bool grouping = intPart.contains(',');
    const double magnitude = (value < 0 && format.contains(';')) ? -value : value;
    QString digits = QString::number(std::abs(magnitude), 'f', maxFrac);
    QString whole = digits.section('.', 0, 0);
    QString frac = maxFrac > 0 ? digits.section('.', 1, 1) : QString();
    while (frac.size() > minFrac && frac.endsWith('0'))
        frac.chop(1);
    if (whole == QLatin1String("0") && minInt == 0)
        whole.clear();
    whole = whole.rightJustified(minInt, '0');
    if (grouping)
        for (int i = int(whole.size()) - 3; i > 0; i -= 3)
            whole.insert(i, ',');
    // literals before the first and after the last digit placeholder
    const int first = int(pattern.indexOf(QRegularExpression(QStringLiteral("[0#.,]"))));
    const int last = int(pattern.lastIndexOf(QRegularExpression(QStringLiteral("[0#.,]"))));
    const QString prefix = first < 0 ? pattern : pattern.left(first);
    const QString suffix = last < 0 ? QString() : pattern.mid(last + 1);
    QString out = whole;
    if (!frac.isEmpty())
        out += '.' + frac;
    if (magnitude < 0 && out.contains(QRegularExpression(QStringLiteral("[1-9]"))))
        out.prepend('-');
    return prefix + out + suffix;
}

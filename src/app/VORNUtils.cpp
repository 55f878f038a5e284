#include "VORNUtils.h"

QString EditionSuffix;
QString AppRootDir;

QString PadLeft(const QString &text, QChar fill, int width)
{
    if (text.size() >= width)
        return text;
    return QString(width - text.size(), fill) + text;
}

QString PadRight(const QString &text, QChar fill, int width)
{
    if (text.size() >= width)
        return text;
    return text + QString(width - text.size(), fill);
}

QString ParentDir(const QString &path)
{
    for (qsizetype i = path.size() - 2; i >= 0; --i) {
        const QChar c = path.at(i);
        if (c == QLatin1Char('\\') || c == QLatin1Char('/'))
            return path.left(i + 1);
    }
    return path;
}

QString ErrorBoxText(const QString &message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

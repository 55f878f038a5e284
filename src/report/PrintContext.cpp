#include "report/PrintContext.h"
#include "report/TextCache.h"

#include <algorithm>
#include <cmath>

// ---------------------------------------------------------------- measurement

namespace {
constexpr double kMeasureDpi = 1200.0;

double toLayout(double px) { return px * 25400.0 / kMeasureDpi; }
}

double TppPrintContext::LineHeight(const TppFont &font)
{
    return toLayout(ppMeasuredHeight(font));
}

double TppPrintContext::TextWidth(const TppFont &font, const QString &text)
{
    double w = 0;
    for (const QString &line : text.split('\n'))
        w = std::max(w, ppMeasuredAdvance(font, QString(line).remove('\r')));
    return toLayout(w);
}

QStringList TppPrintContext::WrapText(const TppFont &font, const QString &text, int width, bool charWrap)
{
    const auto advance = [&](const QString &t) { return ppMeasuredAdvance(font, t); };
    const double limit = width * kMeasureDpi / 25400.0 + 0.5;
    QStringList lines;
    QString normal = text;
    normal.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace('\r', '\n');
    for (const QString &para : normal.split('\n')) {
        if (para.isEmpty()) {
            lines.append(QString());
            continue;
        }
        QString line;
        int pos = 0;
        while (pos < para.size()) {
            // next piece: a word with its trailing blanks, or a single character
            int end = pos;
            if (charWrap) {
                end = pos + 1;
            } else {
                while (end < para.size() && para[end] != ' ')
                    ++end;
                while (end < para.size() && para[end] == ' ')
                    ++end;
            }
            const QString piece = para.mid(pos, end - pos);
            const QString candidate = line + piece;
            QString trimmed = candidate;
            while (trimmed.endsWith(' '))
                trimmed.chop(1);
            if (advance(trimmed) <= limit || line.isEmpty()) {
                if (line.isEmpty() && advance(QString(piece).trimmed()) > limit && !charWrap) {
                    // a word longer than the line: break it by characters
                    QString part;
                    for (QChar c : piece) {
                        if (!part.isEmpty() && advance(part + c) > limit) {
                            lines.append(part);
                            part.clear();
                        }
                        part += c;
                    }
                    line = part;
                } else {
                    line = candidate;
                }
                pos = end;
            } else {
                while (line.endsWith(' '))
                    line.chop(1);
                lines.append(line);
                line.clear();
            }
        }
        while (line.endsWith(' '))
            line.chop(1);
        lines.append(line);
    }
    return lines;
}

int TppPrintContext::GenerateChild(TppChildReport *child, int x, int y, std::vector<TppDrawCommandPtr> &out,
                                   int &detailCount)
{
    return Generator->GenerateChild(child, x, y, out, detailCount);
}

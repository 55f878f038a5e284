#include "report/TextCache.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QImage>
#include <QPaintDevice>
#include <QRawFont>
#include <QTextLine>
#include <QTextOption>
#include <cmath>

size_t qHash(const TppFontKey &key, size_t seed)
{
    return qHashMulti(seed, key.Name, key.Size, key.Style, key.DpiX, key.DpiY);
}

namespace {
constexpr int kFontCapacity = 256;
constexpr int kTextCapacity = 1024;

TppFontKey fontKey(const TppFont &font, const QPaintDevice *device)
{
    return {font.Name, font.Size, font.Style, device ? device->logicalDpiX() : 0,
            device ? device->logicalDpiY() : 0};
}

struct TextKey
{
    TppFontKey Font;
    QString Text;
    int Direction = 0;
    bool operator==(const TextKey &o) const = default;
};
size_t qHash(const TextKey &key, size_t seed = 0)
{
    return qHashMulti(seed, key.Font, key.Text, key.Direction);
}

struct MeasureFont
{
    QFontMetricsF Metrics;
};

MeasureFont &measureFont(const TppFont &font)
{
    thread_local TppTwoGenerationCache<TppFontKey, MeasureFont> cache(kFontCapacity);
    const TppFontKey key = fontKey(font, nullptr);
    if (MeasureFont *f = cache.Find(key))
        return *f;
    return *cache.Insert(key, std::make_unique<MeasureFont>(MeasureFont{QFontMetricsF(font.ToQFont(), ppMeasureDevice())}));
}

// What QPainter::drawText changes in a text before laying it out: carriage returns become
// spaces. A text it treats otherwise (line feeds, tabs, length variants, right-to-left script)
// is left to it.
bool plainText(const QString &text, QString &out)
{
    out = text;
    for (QChar &c : out) {
        const char16_t u = c.unicode();
        if (u == '\r')
            c = QLatin1Char(' ');
        else if (u == '\n' || u == '\t')
            return false;   // line breaks and tab stops
        else if (u == 0x9c)
            return false;   // a text with length variants
        else if ((u >= 0x0590 && u <= 0x08FF) || (u >= 0xFB1D && u <= 0xFDFF) || (u >= 0xFE70 && u <= 0xFEFF)
                 || (u >= 0xD800 && u <= 0xDFFF) || (u >= 0x200E && u <= 0x200F) || (u >= 0x202A && u <= 0x202E)
                 || (u >= 0x2066 && u <= 0x2069))
            return false;   // right-to-left script or direction marks: QPainter aligns those its own way
    }
    return true;
}

// The first line of a text laid out as QPainter::drawText does, at the layout's top-left.
std::unique_ptr<TppShapedLine> shape(const QFont &deviceFont, Qt::LayoutDirection direction, const QString &plain,
                                     double lineWidth, int &lines)
{
    auto made = std::make_unique<TppShapedLine>();
    QTextLayout &layout = made->Layout;
    layout.setText(plain);
    layout.setFont(deviceFont);
    QTextOption option;
    option.setTextDirection(direction);
    option.setAlignment(Qt::AlignLeft);
    layout.setTextOption(option);
    layout.setCacheEnabled(true);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid()) {
        line.setLineWidth(lineWidth);
        line.setPosition(QPointF(0, 0));
        lines = 1;
        while (layout.createLine().isValid())
            ++lines;
    }
    layout.endLayout();
    if (!line.isValid())
        return nullptr;
    made->Advance = line.horizontalAdvance();
    made->NaturalWidth = line.naturalTextWidth();
    made->Height = line.height();
    for (const QGlyphRun &run : line.glyphRuns()) {
        const QRawFont raw = run.rawFont();
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < glyphs.size() && i < positions.size(); ++i) {
            const QRectF r = raw.boundingRect(glyphs[i]);
            if (r.isEmpty())
                continue;
            made->Ink = made->HasInk ? made->Ink.united(r.translated(positions[i])) : r.translated(positions[i]);
            made->HasInk = true;
        }
    }
    return made;
}

struct WrappedKey
{
    QFont Font;
    int DpiX = 0, DpiY = 0, Direction = 0;
    double Width = 0;
    QString Text;
    bool operator==(const WrappedKey &o) const = default;
};
size_t qHash(const WrappedKey &key, size_t seed = 0)
{
    return qHashMulti(seed, key.Font, key.DpiX, key.DpiY, key.Direction, key.Width, key.Text);
}
}

const TppDeviceFont &ppDeviceFont(const TppFont &font, const QPaintDevice *device)
{
    thread_local TppTwoGenerationCache<TppFontKey, TppDeviceFont> cache(kFontCapacity);
    const TppFontKey key = fontKey(font, device);
    if (TppDeviceFont *f = cache.Find(key))
        return *f;
    auto made = std::make_unique<TppDeviceFont>();
    made->Font = device ? QFont(font.ToQFont(), device) : font.ToQFont();
    made->Height = QFontMetrics(made->Font).height();
    return *cache.Insert(key, std::move(made));
}

const TppShapedLine *ppShapedLine(const TppFont &font, const QPaintDevice *device, Qt::LayoutDirection direction,
                                  const QString &text)
{
    if (direction == Qt::RightToLeft)
        return nullptr;
    thread_local TppTwoGenerationCache<TextKey, TppShapedLine> cache(kTextCapacity);
    const TextKey key{fontKey(font, device), text, int(direction)};
    if (TppShapedLine *line = cache.Find(key))
        return line;
    QString plain;
    if (text.isEmpty() || !plainText(text, plain))
        return nullptr;
    int lines = 0;
    auto made = shape(ppDeviceFont(font, device).Font, direction, plain, 0x01000000, lines);
    if (!made)
        return nullptr;
    return cache.Insert(key, std::move(made));
}

const TppShapedLine *ppShapedWrappedText(const QFont &deviceFont, const QPaintDevice *device,
                                         Qt::LayoutDirection direction, const QString &text, double width)
{
    if (direction == Qt::RightToLeft || text.isEmpty())
        return nullptr;
    struct Entry
    {
        std::unique_ptr<TppShapedLine> Line;   // null: not a single line that fits
    };
    thread_local TppTwoGenerationCache<WrappedKey, Entry> cache(kTextCapacity);
    const WrappedKey key{deviceFont, device ? device->logicalDpiX() : 0, device ? device->logicalDpiY() : 0,
                         int(direction), width, text};
    if (Entry *e = cache.Find(key))
        return e->Line.get();
    auto entry = std::make_unique<Entry>();
    QString plain;
    if (plainText(text, plain)) {
        int lines = 0;
        auto made = shape(deviceFont, direction, plain, std::max(0.0, width), lines);
        if (made && lines == 1 && made->NaturalWidth <= width)
            entry->Line = std::move(made);
    }
    return cache.Insert(key, std::move(entry))->Line.get();
}

double ppMeasuredAdvance(const TppFont &font, const QString &text)
{
    thread_local TppTwoGenerationCache<TextKey, double> cache(kTextCapacity);
    const TextKey key{fontKey(font, nullptr), text};
    if (double *w = cache.Find(key))
        return *w;
    const double w = measureFont(font).Metrics.horizontalAdvance(text);
    cache.Insert(key, std::make_unique<double>(w));
    return w;
}

double ppMeasuredHeight(const TppFont &font)
{
    return measureFont(font).Metrics.height();
}

QPaintDevice *ppMeasureDevice()
{
    static QImage *img = [] {
        auto *i = new QImage(4, 4, QImage::Format_RGB32);
        const int dpm = int(std::lround(1200.0 / 0.0254));
        i->setDotsPerMeterX(dpm);
        i->setDotsPerMeterY(dpm);
        return i;
    }();
    return img;
}

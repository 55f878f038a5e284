#pragma once
// Shaped text and font objects kept between draws. The forms repeat the same captions, codes and
// dates on every page; shaping and measuring them again for each page was most of the cost of
// writing a long document. Every cache is per thread and bounded.
#include "report/DrawCommands.h"

#include <QFont>
#include <QHash>
#include <QRectF>
#include <QString>
#include <QTextLayout>
#include <memory>
#include <unordered_map>

class QPaintDevice;

// Two generations: a hit in the older one moves the entry to the newer; when the newer is full
// the older is dropped. Texts used on every page stay, one-off texts age out.
template<typename Key, typename Value>
class TppTwoGenerationCache
{
public:
    explicit TppTwoGenerationCache(int capacity) : m_capacity(capacity) {}
    Value *Find(const Key &key)
    {
        auto it = m_young.find(key);
        if (it != m_young.end())
            return it->second.get();
        auto old = m_old.find(key);
        if (old == m_old.end())
            return nullptr;
        std::unique_ptr<Value> v = std::move(old->second);
        m_old.erase(old);
        return Insert(key, std::move(v));
    }
    Value *Insert(const Key &key, std::unique_ptr<Value> value)
    {
        if (qsizetype(m_young.size()) >= m_capacity) {
            m_old = std::move(m_young);
            m_young.clear();
        }
        Value *raw = value.get();
        m_young[key] = std::move(value);
        return raw;
    }
    int Size() const { return int(m_young.size() + m_old.size()); }
    void Clear()
    {
        m_young.clear();
        m_old.clear();
    }

private:
    struct Hasher
    {
        size_t operator()(const Key &key) const { return qHash(key); }
    };
    qsizetype m_capacity;
    std::unordered_map<Key, std::unique_ptr<Value>, Hasher> m_young;
    std::unordered_map<Key, std::unique_ptr<Value>, Hasher> m_old;
};

// What identifies a layout font on a device: face, size, style and the device's resolution.
struct TppFontKey
{
    QString Name;
    double Size = 0;
    int Style = 0;
    int DpiX = 0;
    int DpiY = 0;
    bool operator==(const TppFontKey &o) const = default;
};
size_t qHash(const TppFontKey &key, size_t seed = 0);

// A layout font resolved for a device, with the metrics drawing needs.
struct TppDeviceFont
{
    QFont Font;        // resolved against the device
    int Height = 0;    // QFontMetrics::height on the device
};
const TppDeviceFont &ppDeviceFont(const TppFont &font, const QPaintDevice *device);

// One line of text shaped as QPainter::drawText lays out a single left-to-right line.
struct TppShapedLine
{
    QTextLayout Layout;
    double Advance = 0;   // the line's horizontal advance
    double NaturalWidth = 0;
    double Height = 0;    // QTextLine::height
    QRectF Ink;           // the glyphs' ink relative to the line's top-left
    bool HasInk = false;
};
// Null when the text cannot take the cached path (it needs QPainter::drawText's own handling):
// a right-to-left painter or text in a right-to-left script among others.
const TppShapedLine *ppShapedLine(const TppFont &font, const QPaintDevice *device, Qt::LayoutDirection direction,
                                  const QString &text);

// A word-wrapped, left-aligned text (QPainter::drawText with Qt::TextWordWrap in a box 'width'
// wide) that stays one line within the width; null for any other text, which QPainter draws.
const TppShapedLine *ppShapedWrappedText(const QFont &deviceFont, const QPaintDevice *device,
                                         Qt::LayoutDirection direction, const QString &text, double width);

// The 1200 dpi device layouts are measured on.
QPaintDevice *ppMeasureDevice();
// Width of a text in pixels of a 1200 dpi measuring device (the layout's measurement).
double ppMeasuredAdvance(const TppFont &font, const QString &text);
// Line height (QFontMetricsF::height) on that device.
double ppMeasuredHeight(const TppFont &font);

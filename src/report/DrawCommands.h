#pragma once
// A generated page is a display list of draw commands in layout units (thousandths of a mm,
// measured from the paper's top-left corner). Each command renders itself with QPainter on
// any device; the render context converts units with the device's dpi.
#include <QBrush>
#include <QColor>
#include <QFont>
#include <QList>
#include <QPen>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class QPainter;
class QSvgRenderer;

enum class TppDeviceKind { Screen, Printer, Other };

// Pixels per inch of the screen that "screen pixels" refer to (the preview at 100 %).
constexpr double ppScreenDpi = 96.0;

struct TppRenderContext
{
    double DpiX = ppScreenDpi;
    double DpiY = ppScreenDpi;
    TppDeviceKind Device = TppDeviceKind::Printer;
    // Device pixels from layout units; no QPainter scaling is ever used.
    double X(double mm) const { return mm * DpiX / 25400.0; }
    double Y(double mm) const { return mm * DpiY / 25400.0; }
    QRectF Rect(double left, double top, double width, double height) const
    {
        return QRectF(X(left), Y(top), X(width), Y(height));
    }
    // The screen device's scale factors relative to screen pixels at 100 %.
    double ScaleX() const { return DpiX / ppScreenDpi; }
    double ScaleY() const { return DpiY / ppScreenDpi; }
};

enum TppTextAlignment { taLeftJustified, taCentered, taRightJustified };
enum TppFontStyleFlag { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

// A layout's font: face, size in points, style flags, colour.
struct TppFont
{
    QString Name = QStringLiteral("Arial");
    double Size = 10;
    int Style = 0;
    QColor Color = Qt::black;
    int CharSet = 1;   // default character set
    QFont ToQFont() const;   // point size; resolves against the painter's device dpi
    bool operator==(const TppFont &o) const = default;
};
TppFont ppFont(const QString &name, double size, int style = 0, const QColor &color = Qt::black);

class TppDrawCommand
{
public:
    virtual ~TppDrawCommand() = default;
    int mmLeft = 0, mmTop = 0, mmWidth = 0, mmHeight = 0;
    // Bookkeeping: which band and component the command came from.
    QString BandName;
    QString ComponentName;
    virtual QString ClassName() const = 0;
    virtual void Draw(QPainter &painter, const TppRenderContext &ctx) const = 0;
    virtual void Translate(int dx, int dy) { mmLeft += dx; mmTop += dy; }
    virtual void Assign(const TppDrawCommand &source);
};
using TppDrawCommandPtr = std::shared_ptr<TppDrawCommand>;

// Text as lines already wrapped at generation time, so every device shows the same lines.
class TppDrawText : public TppDrawCommand
{
public:
    QString Text;
    QStringList Lines;       // empty: one line, Text
    TppFont Font;
    QColor Color = Qt::white;   // background when not transparent
    TppTextAlignment Alignment = taLeftJustified;
    bool AutoSize = false;
    bool WordWrap = false;
    bool Transparent = true;
    int Leading = 0;
    int mmLineHeight = 0;    // 0: the font's line spacing
    // Already fitted to its width when generated; a device whose glyphs run wider elides the
    // end again rather than cut a letter.
    bool FitWidth = false;
    QString ClassName() const override { return QStringLiteral("TppDrawText"); }
    void Draw(QPainter &painter, const TppRenderContext &ctx) const override;
    void Assign(const TppDrawCommand &source) override;
};

enum TppLinePosition { lpTop, lpBottom, lpLeft, lpRight };

class TppDrawLine : public TppDrawCommand
{
public:
    TppLinePosition Position = lpTop;
    double Weight = 0.75;    // points
    QColor Color = Qt::black;
    QString ClassName() const override { return QStringLiteral("TppDrawLine"); }
    void Draw(QPainter &painter, const TppRenderContext &ctx) const override;
};

class TppDrawShape : public TppDrawCommand
{
public:
    double PenWidth = 0.75;  // points
    QColor PenColor = Qt::black;
    QBrush Brush = Qt::NoBrush;
    QString ClassName() const override { return QStringLiteral("TppDrawShape"); }
    void Draw(QPainter &painter, const TppRenderContext &ctx) const override;
};

// A picture shared by every page that shows it: SVG (drawn as vector) or a raster image.
class TppPicture
{
public:
    static std::shared_ptr<TppPicture> FromFile(const QString &fileName);   // SVG or raster; null when unreadable
    static std::shared_ptr<TppPicture> FromSvgData(const QByteArray &svg);
    static std::shared_ptr<TppPicture> FromImage(const QImage &image);
    ~TppPicture();
    bool IsSvg() const { return !m_svg.isEmpty(); }
    // Natural size in layout units (from the SVG's width/height, or the image's dpi).
    int mmWidth() const { return m_mmWidth; }
    int mmHeight() const { return m_mmHeight; }
    void Draw(QPainter &painter, const QRectF &target) const;
private:
    TppPicture() = default;
    QByteArray m_svg;
    std::shared_ptr<QImage> m_image;
    mutable std::unique_ptr<QSvgRenderer> m_renderer;
    int m_mmWidth = 0, m_mmHeight = 0;
};

class TppDrawImage : public TppDrawCommand
{
public:
    std::shared_ptr<TppPicture> Picture;
    QString ClassName() const override { return QStringLiteral("TppDrawImage"); }
    void Draw(QPainter &painter, const TppRenderContext &ctx) const override;
};

enum TppBarCodeOrientation { orLeftToRight, orRightToLeft, orTopToBottom, orBottomToTop };

// Bars as module runs; narrowed to fit the box, never clipped.
class TppDrawBarCode : public TppDrawCommand
{
public:
    int Modules = 0;
    QList<QPair<int, int>> Bars;   // (first module, module count) of each dark run
    int mmBarWidth = 254;          // narrowest bar when it fits
    int QuietModules = 0;          // blank modules kept inside the box at each end of the symbol
    TppBarCodeOrientation Orientation = orLeftToRight;
    TppTextAlignment Alignment = taCentered;
    QColor BarColor = Qt::black;
    QString Data;
    QString ClassName() const override { return QStringLiteral("TppDrawBarCode"); }
    void Draw(QPainter &painter, const TppRenderContext &ctx) const override;
    // Module width in device pixels along the symbol on this device. With whole dots it is the
    // narrowest bar rounded up to whole dots (on a device of a multiple of 300 dpi, whole dots at
    // 300 and 600 dpi too); only a symbol that would not fit its box gets narrower bars.
    double ModulePixels(const TppRenderContext &ctx, bool wholeDots) const;
    // Where the symbol's bars start and end along its length, in device pixels.
    QPair<double, double> SymbolExtent(const TppRenderContext &ctx, bool wholeDots) const;
};

struct TppPage
{
    int PageNo = 0;
    int mmWidth = 215900;
    int mmHeight = 279401;
    bool Landscape = false;
    std::vector<TppDrawCommandPtr> Commands;
};

struct TppDocument
{
    QString DocumentName = QStringLiteral("Report");
    std::vector<TppPage> Pages;
    int PageCount() const { return int(Pages.size()); }
};

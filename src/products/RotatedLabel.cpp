#include "products/RotatedLabel.h"

#include "report/Engine.h"
#include "report/TextCache.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <cmath>

namespace {
constexpr double kRadians = 0.017453292519943295769;

int screenToLayout(int px) { return int(std::lround(px * 25400.0 / ppScreenDpi)); }

// Rounding of this component: halves go to the even neighbour.
int roundEven(double v) { return int(std::nearbyint(v)); }

QImage &screenCanvas()
{
    static QImage img = [] {
        QImage i(4, 4, QImage::Format_RGB32);
        const int dpm = int(std::lround(ppScreenDpi / 0.0254));
        i.setDotsPerMeterX(dpm);
        i.setDotsPerMeterY(dpm);
        return i;
    }();
    return img;
}
}

// ---------------------------------------------------------------- geometry and fonts

int TRotatedLabel::ScreenWidthPixels()
{
    if (qGuiApp)
        if (QScreen *s = QGuiApplication::primaryScreen())
            if (s->geometry().width() > 0)
                return s->geometry().width();
    return 1280;
}

namespace {
struct MeasureKey
{
    QFont Font;
    int DpiX = 0, DpiY = 0, WidthLimit = 0;
    QString Text;
    bool operator==(const MeasureKey &o) const = default;
};
size_t qHash(const MeasureKey &k, size_t seed = 0)
{
    return qHashMulti(seed, k.Font, k.DpiX, k.DpiY, k.WidthLimit, k.Text);
}
}

QRect TRotatedLabel::MeasureText(const QFont &font, const QString &text, QPaintDevice *device, int widthLimit)
{
    // The same captions are measured for every page they are printed on.
    thread_local TppTwoGenerationCache<MeasureKey, QRect> cache(1024);
    const MeasureKey key{font, device ? device->logicalDpiX() : 0, device ? device->logicalDpiY() : 0, widthLimit,
                         text};
    if (const QRect *r = cache.Find(key))
        return *r;
    return *cache.Insert(key, std::make_unique<QRect>(measureText(font, text, device, widthLimit)));
}

QRect TRotatedLabel::measureText(const QFont &font, const QString &text, QPaintDevice *device, int widthLimit)
{
    QFontMetrics fm(font, device);
    const QRect r = fm.boundingRect(QRect(0, 0, widthLimit, 1 << 20),
                                    Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextExpandTabs, text);
    return QRect(0, 0, r.width(), text.isEmpty() ? fm.height() : r.height());
}

void TRotatedLabel::TurnedBox(const QRect &measured, int angle, QRect &box, QPoint &origin)
{
    const int left = measured.left(), top = measured.top();
    const int w = measured.width(), h = measured.height();
    const double a = angle * kRadians;
    const double dX = h * std::sin(a), dY = h * std::cos(a);
    const double eX = w * std::cos(a), eY = -w * std::sin(a);
    double px = left, py = top;
    int bl = left, bt = top, br = left, bb = top;
    auto extend = [&] {
        if (px > br)
            br = int(std::trunc(px)) + 1;
        else if (px < bl)
            bl = int(std::trunc(px));
        if (py > bb)
            bb = int(std::trunc(py)) + 1;
        else if (py < bt)
            bt = int(std::trunc(py));
    };
    px += dX; py += dY; extend();
    px += eX; py += eY; extend();
    px -= dX; py -= dY; extend();
    px -= eX; py -= eY; extend();
    const int dx = left - bl, dy = top - bt;
    origin = QPoint(left + dx, top + dy);
    box = QRect(QPoint(bl + dx, bt + dy), QPoint(br + dx - 1, bb + dy - 1));   // right/bottom exclusive
}

namespace {
struct TurnedFontKey
{
    QString Name;
    double Size = 0;
    int Style = 0;
    double Dpi = 0;
    bool operator==(const TurnedFontKey &o) const = default;
};
size_t qHash(const TurnedFontKey &k, size_t seed = 0)
{
    return qHashMulti(seed, k.Name, k.Size, k.Style, k.Dpi);
}
}

QFont TRotatedLabel::TurnedFont(const TppFont &font, double dpi)
{
    // Asked for every caption drawn: one font object a face and size keeps what Qt looked up
    // for it (its engine) from one caption to the next.
    thread_local TppTwoGenerationCache<TurnedFontKey, QFont> cache(64);
    const TurnedFontKey key{font.Name, font.Size, font.Style, dpi};
    if (const QFont *f = cache.Find(key))
        return *f;
    return *cache.Insert(key, std::make_unique<QFont>(turnedFont(font, dpi)));
}

QFont TRotatedLabel::turnedFont(const TppFont &font, double dpi)
{
    QFont f(font.Name);
    f.setPixelSize(std::max(1, roundEven(font.Size * dpi / 72.0)));
    f.setBold(font.Style & fsBold);
    f.setItalic(font.Style & fsItalic);
    f.setUnderline(font.Style & fsUnderline);
    f.setStrikeOut(font.Style & fsStrikeOut);
    f.setKerning(false);
    return f;
}

bool TRotatedLabel::IsTrueTypeFace(const QString &face)
{
    // The program adds no fonts while it runs, so a face's answer holds; asked once per text drawn.
    thread_local QHash<QString, bool> known;
    auto it = known.constFind(face);
    if (it != known.constEnd())
        return it.value();
    if (known.size() > 256)
        known.clear();
    const bool scalable = isTrueTypeFace(face);
    known.insert(face, scalable);
    return scalable;
}

bool TRotatedLabel::isTrueTypeFace(const QString &face)
{
    // Select the face and look at what the font system gave: an outline font or not.
    QFont f(face);
    const QFontInfo info(f);
    return QFontDatabase::isScalable(info.family(), info.styleName());
}

QString TRotatedLabel::ReplacementFace(const QString &face)
{
    static const QHash<QString, QString> table = {
        {QStringLiteral("Courier"), QStringLiteral("Courier New")},
        {QStringLiteral("Fixedsys"), QStringLiteral("Arial")},
        {QStringLiteral("Modern"), QStringLiteral("Arial")},
        {QStringLiteral("MS Sans Serif"), QStringLiteral("Arial")},
        {QStringLiteral("MS Serif"), QStringLiteral("Courier New")},
        {QStringLiteral("Small Fonts"), QStringLiteral("Arial")},
        {QStringLiteral("System"), QStringLiteral("Arial")},
        {QStringLiteral("Terminal"), QStringLiteral("Arial")},
    };
    return table.value(face, face);
}

// ---------------------------------------------------------------- the label

TRotatedLabel::TRotatedLabel()
{
    Font.Name = QStringLiteral("Arial");
}

void TRotatedLabel::SetAngle(int angle)
{
    if (angle == m_angle)
        return;
    m_angle = angle;
    remeasure();
}

void TRotatedLabel::Loaded()
{
    remeasure();
}

void TRotatedLabel::SetUserName(const QString &name)
{
    if (name != UserName && (!(Reading || Loading) || Pasting) && Caption == UserName)
        Caption = name;
    UserName = name;
}

void TRotatedLabel::remeasure()
{
    if (Reading || Loading)
        return;
    ++RemeasureCount;
    const QRect measured = MeasureText(TurnedFont(Font, ppScreenDpi), Caption, &screenCanvas(), ScreenWidthPixels());
    QRect box;
    QPoint origin;
    TurnedBox(measured, m_angle, box, origin);
    m_textOrigin = origin;
    if (AutoSize) {
        mmWidth = screenToLayout(box.width());
        mmHeight = screenToLayout(box.height());
    }
}

void TRotatedLabel::Generate(TppPrintContext &, int x, int y, int &height, std::vector<TppDrawCommandPtr> &out)
{
    // the origin follows the caption as printed (an OnPrint handler may have changed it)
    const QRect measured = MeasureText(TurnedFont(Font, ppScreenDpi), Caption, &screenCanvas(), ScreenWidthPixels());
    QRect box;
    TurnedBox(measured, m_angle, box, m_textOrigin);
    auto cmd = NewDrawCommand<TDrawRotatedText>(x, y, mmWidth, height);
    cmd->TextOrigin = m_textOrigin;
    cmd->Angle = m_angle;
    cmd->Alignment = TextAlignment;
    cmd->AutoSize = AutoSize;
    cmd->Color = Color;
    cmd->Text = Caption;
    cmd->Transparent = Transparent;
    cmd->WordWrap = WordWrap;
    cmd->Font = Font;
    out.push_back(cmd);
}

// ---------------------------------------------------------------- the draw command

void TDrawRotatedText::Assign(const TppDrawCommand &source)
{
    TppDrawText::Assign(source);
    if (auto *r = dynamic_cast<const TDrawRotatedText *>(&source)) {
        Angle = r->Angle;
        TextOrigin = r->TextOrigin;
    }
}

void TDrawRotatedText::Draw(QPainter &painter, const TppRenderContext &ctx) const
{
    DrawOn(painter, ctx);
}

static void writeTurned(QPainter &painter, const QFont &font, const QColor &color, const QString &text,
                        QPointF at, int angle, int widthLimit)
{
    painter.save();
    painter.setFont(font);
    painter.setPen(color);
    painter.setBrush(Qt::NoBrush);
    painter.translate(at);
    painter.rotate(-angle);   // the page's counter-clockwise is negative in y-down coordinates
    // A caption that stays one line is shaped once for all the pages it is printed on.
    if (const TppShapedLine *line = ppShapedWrappedText(painter.font(), painter.device(), painter.layoutDirection(),
                                                        text, widthLimit))
        line->Layout.lineAt(0).draw(&painter, QPointF(0, 0));
    else
        painter.drawText(QRect(0, 0, widthLimit, 1 << 20),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextExpandTabs, text);
    painter.restore();
}

bool TDrawRotatedText::DrawOn(QPainter &painter, const TppRenderContext &ctx) const
{
    if (ctx.Device == TppDeviceKind::Other)
        return true;
    if (!TRotatedLabel::IsTrueTypeFace(Font.Name))
        return true;   // not an outline face: nothing, and no error
    TppFont face = Font;
    face.Name = TRotatedLabel::ReplacementFace(Font.Name);
    const QPoint pos(int(std::lround(ctx.X(mmLeft))), int(std::lround(ctx.Y(mmTop))));

    if (ctx.Device == TppDeviceKind::Printer) {
        const QFont font = TRotatedLabel::TurnedFont(face, ctx.DpiY);
        const int limit = int(std::lround(TRotatedLabel::ScreenWidthPixels() * ctx.ScaleX()));
        // A caption that stays one line is measured on the line it is drawn with: shaped once.
        QRect measured;
        if (const TppShapedLine *line = ppShapedWrappedText(QFont(font, painter.device()), painter.device(),
                                                            painter.layoutDirection(), Text, limit))
            measured = QRect(0, 0, int(std::ceil(line->NaturalWidth)), int(std::ceil(line->Height)));
        else
            measured = TRotatedLabel::MeasureText(font, Text, painter.device(), limit);
        QRect box;
        QPoint origin;
        TRotatedLabel::TurnedBox(measured, Angle, box, origin);
        const QPoint moved = pos + origin;
        painter.save();
        if (Transparent)
            painter.setCompositionMode(QPainter::CompositionMode_Multiply);   // source AND destination
        else
            painter.fillRect(box.translated(pos), Color);
        writeTurned(painter, font, Font.Color, Text, moved, Angle, limit);
        painter.restore();
        return true;
    }

    // screen: the stored origin, scaled to the zoom
    const int height = int(std::nearbyint(std::nearbyint(face.Size * ppScreenDpi / 72.0) * ctx.ScaleY()));
    QFont font = TRotatedLabel::TurnedFont(face, ppScreenDpi);
    font.setPixelSize(std::max(1, height));
    const QPoint moved = pos + QPoint(int(std::lround(TextOrigin.x() * ctx.ScaleX())),
                                      int(std::lround(TextOrigin.y() * ctx.ScaleY())));
    const int limit = int(std::lround(TRotatedLabel::ScreenWidthPixels() * ctx.ScaleX()));
    if (!Transparent) {
        const QRect measured = TRotatedLabel::MeasureText(font, Text, painter.device(), limit);
        QRect box;
        QPoint origin;
        TRotatedLabel::TurnedBox(measured, Angle, box, origin);
        painter.fillRect(box.translated(moved - origin), Color);
    }
    writeTurned(painter, font, Font.Color, Text, moved, Angle, limit);
    return true;
}

void RegisterRotatedLabel()
{
    ppRegisterComponent({QStringLiteral("TRotatedLabel"), QStringLiteral("Standard Components"),
                         QStringLiteral("RotatedLabel"), 11, [] { return std::make_unique<TRotatedLabel>(); }});
    ppRegisterDrawCommand(QStringLiteral("TDrawRotatedText"), [] { return std::make_shared<TDrawRotatedText>(); });
}

void UnRegisterRotatedLabel()
{
    ppUnRegisterComponent(QStringLiteral("TRotatedLabel"));
    ppUnRegisterDrawCommand(QStringLiteral("TDrawRotatedText"));
}

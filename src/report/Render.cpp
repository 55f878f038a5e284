#include "report/Engine.h"
#include "report/TextCache.h"

#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImageReader>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QVarLengthArray>
#include <QPdfWriter>
#include <QPrinter>
#include <QSvgRenderer>
#include <QXmlStreamReader>
#include <cmath>

// ---------------------------------------------------------------- pictures

namespace {
// An SVG length ("266.7mm", "10.5in", "300", "72pt") in layout units; user units are 96 dpi px.
int svgLength(QString text)
{
    text = text.trimmed();
    double factor = 25400.0 / 96.0;
    if (text.endsWith(QLatin1String("mm"))) { factor = 1000.0; text.chop(2); }
    else if (text.endsWith(QLatin1String("cm"))) { factor = 10000.0; text.chop(2); }
    else if (text.endsWith(QLatin1String("in"))) { factor = 25400.0; text.chop(2); }
    else if (text.endsWith(QLatin1String("pt"))) { factor = 25400.0 / 72.0; text.chop(2); }
    else if (text.endsWith(QLatin1String("pc"))) { factor = 25400.0 / 6.0; text.chop(2); }
    else if (text.endsWith(QLatin1String("px"))) { text.chop(2); }
    else if (text.endsWith('%')) return 0;
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok ? int(std::lround(v * factor)) : 0;
}
}

TppPicture::~TppPicture() = default;

std::shared_ptr<TppPicture> TppPicture::FromSvgData(const QByteArray &svg)
{
    auto renderer = std::make_unique<QSvgRenderer>(svg);
    if (!renderer->isValid())
        return nullptr;
    std::shared_ptr<TppPicture> pic(new TppPicture);
    pic->m_svg = svg;
    QXmlStreamReader xml(svg);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement) {
            pic->m_mmWidth = svgLength(xml.attributes().value(QLatin1String("width")).toString());
            pic->m_mmHeight = svgLength(xml.attributes().value(QLatin1String("height")).toString());
            break;
        }
    }
    if (pic->m_mmWidth <= 0 || pic->m_mmHeight <= 0) {
        const QRectF vb = renderer->viewBoxF();
        pic->m_mmWidth = int(std::lround(vb.width() * 25400.0 / 96.0));
        pic->m_mmHeight = int(std::lround(vb.height() * 25400.0 / 96.0));
    }
    pic->m_renderer = std::move(renderer);
    return pic;
}

std::shared_ptr<TppPicture> TppPicture::FromImage(const QImage &image)
{
    if (image.isNull())
        return nullptr;
    std::shared_ptr<TppPicture> pic(new TppPicture);
    pic->m_image = std::make_shared<QImage>(image);
    const double dpmX = image.dotsPerMeterX() > 0 ? image.dotsPerMeterX() : 96 / 0.0254;
    const double dpmY = image.dotsPerMeterY() > 0 ? image.dotsPerMeterY() : 96 / 0.0254;
    pic->m_mmWidth = int(std::lround(image.width() / dpmX * 1e6));
    pic->m_mmHeight = int(std::lround(image.height() / dpmY * 1e6));
    return pic;
}

std::shared_ptr<TppPicture> TppPicture::FromFile(const QString &fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        return nullptr;
    const QByteArray data = f.readAll();
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("svg") || data.left(256).contains("<svg") || data.left(64).startsWith("<?xml"))
        if (auto pic = FromSvgData(data))
            return pic;
    QImage image;
    if (!image.loadFromData(data))
        return nullptr;
    return FromImage(image);
}

void TppPicture::Draw(QPainter &painter, const QRectF &target) const
{
    if (!m_svg.isEmpty()) {
        if (!m_renderer)
            m_renderer = std::make_unique<QSvgRenderer>(m_svg);
        m_renderer->render(&painter, target);
    } else if (m_image) {
        painter.drawImage(target, *m_image);
    }
}

// ---------------------------------------------------------------- draw commands

void TppDrawCommand::Assign(const TppDrawCommand &source)
{
    mmLeft = source.mmLeft;
    mmTop = source.mmTop;
    mmWidth = source.mmWidth;
    mmHeight = source.mmHeight;
    BandName = source.BandName;
    ComponentName = source.ComponentName;
}

void TppDrawText::Assign(const TppDrawCommand &source)
{
    TppDrawCommand::Assign(source);
    if (auto *t = dynamic_cast<const TppDrawText *>(&source)) {
        Text = t->Text;
        Lines = t->Lines;
        Font = t->Font;
        Color = t->Color;
        Alignment = t->Alignment;
        AutoSize = t->AutoSize;
        WordWrap = t->WordWrap;
        Transparent = t->Transparent;
        Leading = t->Leading;
        mmLineHeight = t->mmLineHeight;
        FitWidth = t->FitWidth;
    }
}

void TppDrawText::Draw(QPainter &painter, const TppRenderContext &ctx) const
{
    const QRectF box = ctx.Rect(mmLeft, mmTop, mmWidth, mmHeight);
    if (!Transparent)
        painter.fillRect(box, Color);
    const TppDeviceFont &font = ppDeviceFont(Font, painter.device());
    painter.setPen(Font.Color);
    const QStringList lines = Lines.isEmpty() ? QStringList{Text} : Lines;
    const double lh = mmLineHeight > 0 ? ctx.Y(mmLineHeight) : font.Height;
    int flags = Qt::AlignTop | Qt::TextDontClip | Qt::TextSingleLine;
    flags |= Alignment == taCentered ? Qt::AlignHCenter : Alignment == taRightJustified ? Qt::AlignRight : Qt::AlignLeft;
    // A fixed single-line text stays inside its width; descenders may pass the height.
    const bool clipped = !AutoSize && !WordWrap;
    const double room = std::max(box.height(), lh) * 2;
    const QRectF clip(box.left(), box.top() - room, box.width(), box.height() + 2 * room);
    // Underlined or struck-out type, and right-to-left painters, keep QPainter's own text path.
    const Qt::LayoutDirection direction = painter.layoutDirection();
    const bool cached = !(Font.Style & (fsUnderline | fsStrikeOut)) && direction != Qt::RightToLeft;
    bool clipSet = false;
    auto clipNow = [&] {
        if (clipped && !clipSet) {
            painter.setClipRect(clip, Qt::IntersectClip);
            clipSet = true;
        }
    };
    for (int i = 0; i < lines.size(); ++i) {
        const QRectF r(box.left(), box.top() + i * lh, box.width(), lh);
        QString line = lines[i];
        if (line.isEmpty())
            continue;   // nothing to draw
        if (FitWidth) {
            const QFontMetricsF fm(font.Font, painter.device());
            if (fm.horizontalAdvance(line) > box.width())
                line = fm.elidedText(line, Qt::ElideRight, box.width());
        }
        const TppShapedLine *shaped = cached ? ppShapedLine(Font, painter.device(), direction, line) : nullptr;
        if (!shaped) {
            clipNow();
            painter.setFont(font.Font);
            painter.drawText(r, flags, line);
            continue;
        }
        double x = r.left();
        if (Alignment == taRightJustified)
            x += r.width() - shaped->Advance;
        else if (Alignment == taCentered)
            x += (r.width() - shaped->Advance) / 2;
        const QPointF at(x, r.top());
        // The clip only matters when some ink would fall outside it.
        if (shaped->HasInk && !clip.contains(shaped->Ink.translated(at)))
            clipNow();
        shaped->Layout.lineAt(0).draw(&painter, at);
    }
}

void TppDrawLine::Draw(QPainter &painter, const TppRenderContext &ctx) const
{
    const QRectF box = ctx.Rect(mmLeft, mmTop, mmWidth, mmHeight);
    const double w = std::max(1.0, Weight * ctx.DpiY / 72.0);
    QPen pen(Color, w);
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    const double h = w / 2;
    switch (Position) {
    case lpTop: painter.drawLine(QPointF(box.left(), box.top() + h), QPointF(box.right(), box.top() + h)); break;
    case lpBottom: painter.drawLine(QPointF(box.left(), box.bottom() - h), QPointF(box.right(), box.bottom() - h)); break;
    case lpLeft: painter.drawLine(QPointF(box.left() + h, box.top()), QPointF(box.left() + h, box.bottom())); break;
    case lpRight: painter.drawLine(QPointF(box.right() - h, box.top()), QPointF(box.right() - h, box.bottom())); break;
    }
}

void TppDrawShape::Draw(QPainter &painter, const TppRenderContext &ctx) const
{
    const double w = std::max(1.0, PenWidth * ctx.DpiY / 72.0);
    QPen pen(PenColor, w);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Brush);
    const QRectF box = ctx.Rect(mmLeft, mmTop, mmWidth, mmHeight).adjusted(w / 2, w / 2, -w / 2, -w / 2);
    painter.drawRect(box);
    painter.setBrush(Qt::NoBrush);
}

void TppDrawImage::Draw(QPainter &painter, const TppRenderContext &ctx) const
{
    if (Picture)
        Picture->Draw(painter, ctx.Rect(mmLeft, mmTop, mmWidth, mmHeight));
}

namespace {
// Dots of the coarsest common printer grid (300 dpi) on a device whose resolution is a multiple
// of it, so that vector output stays on the dots of 300 and 600 dpi printers; otherwise 1.
double gridDots(double dpi)
{
    const double k = dpi / 300.0;
    return k >= 1 && std::abs(k - std::round(k)) < 1e-9 ? std::round(k) : 1.0;
}
}

double TppDrawBarCode::ModulePixels(const TppRenderContext &ctx, bool wholeDots) const
{
    if (Modules <= 0)
        return 0;
    const bool vertical = Orientation == orTopToBottom || Orientation == orBottomToTop;
    const double boxLen = vertical ? ctx.Y(mmHeight) : ctx.X(mmWidth);
    const double bar = vertical ? ctx.Y(mmBarWidth) : ctx.X(mmBarWidth);
    const int span = Modules + 2 * std::max(0, QuietModules);
    if (!wholeDots) {
        // narrow the bars until the symbol fits its box; never clip
        return std::min(bar, boxLen / span);
    }
    // never below the narrowest bar: round up to whole dots (of the 300 dpi grid when there is one)
    const double grid = gridDots(vertical ? ctx.DpiY : ctx.DpiX);
    const double nominal = std::ceil(bar / grid - 1e-6) * grid;
    if (nominal * span <= boxLen + 1e-6)
        return nominal;
    return std::max(1.0, std::floor(boxLen / span + 1e-9));
}

QPair<double, double> TppDrawBarCode::SymbolExtent(const TppRenderContext &ctx, bool wholeDots) const
{
    const double m = ModulePixels(ctx, wholeDots);
    const bool vertical = Orientation == orTopToBottom || Orientation == orBottomToTop;
    const QRectF box = ctx.Rect(mmLeft, mmTop, mmWidth, mmHeight);
    const double boxLen = vertical ? box.height() : box.width();
    const double symLen = m * Modules;
    const double quiet = m * std::max(0, QuietModules);
    double start = (vertical ? box.top() : box.left());
    if (Alignment == taCentered)
        start += (boxLen - symLen) / 2;
    else if (Alignment == taRightJustified)
        start += boxLen - quiet - symLen;
    else
        start += quiet;
    if (wholeDots) {
        // bar edges on the device's dots, and on the 300 dpi grid where the device has one
        const double grid = gridDots(vertical ? ctx.DpiY : ctx.DpiX);
        start = Alignment == taLeftJustified ? std::ceil(start / grid - 1e-6) * grid
                                             : std::round(start / grid) * grid;
    }
    return {start, start + symLen};
}

void TppDrawBarCode::Draw(QPainter &painter, const TppRenderContext &ctx) const
{
    if (Modules <= 0)
        return;
    // On a printer every module is a whole number of dots, so all bars keep their ratios.
    const bool wholeDots = ctx.Device == TppDeviceKind::Printer;
    const double m = ModulePixels(ctx, wholeDots);
    const bool vertical = Orientation == orTopToBottom || Orientation == orBottomToTop;
    const bool reversed = Orientation == orRightToLeft || Orientation == orBottomToTop;
    const QRectF box = ctx.Rect(mmLeft, mmTop, mmWidth, mmHeight);
    const double start = SymbolExtent(ctx, wholeDots).first;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, !wholeDots);
    painter.setPen(Qt::NoPen);
    painter.setBrush(BarColor);
    // One call for the symbol: a PDF then fills all its bars at once.
    QVarLengthArray<QRectF, 64> rects;
    for (const auto &bar : Bars) {
        const int first = reversed ? Modules - bar.first - bar.second : bar.first;
        const double a = start + first * m;
        const double len = bar.second * m;
        QRectF r = vertical ? QRectF(box.left(), a, box.width(), len) : QRectF(a, box.top(), len, box.height());
        if (wholeDots)
            r = vertical ? QRectF(std::round(box.left()), a, std::round(box.width()), len)
                         : QRectF(a, std::round(box.top()), len, std::round(box.height()));
        rects.append(r);
    }
    painter.drawRects(rects.constData(), int(rects.size()));
    painter.restore();
}

// ---------------------------------------------------------------- rendering

void RenderPage(QPainter &painter, const TppPage &page, const TppRenderContext &ctx)
{
    painter.save();
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    for (const auto &cmd : page.Commands) {
        painter.save();
        cmd->Draw(painter, ctx);
        painter.restore();
    }
    painter.restore();
}

QImage RenderPageToImage(const TppPage &page, double dpi, TppDeviceKind device, QImage::Format format)
{
    const int w = int(std::ceil(page.mmWidth * dpi / 25400.0));
    const int h = int(std::ceil(page.mmHeight * dpi / 25400.0));
    QImage image(w, h, format == QImage::Format_Grayscale8 ? QImage::Format_RGB32 : format);
    const int dpm = int(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dpm);
    image.setDotsPerMeterY(dpm);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        TppRenderContext ctx;
        ctx.DpiX = ctx.DpiY = dpi;
        ctx.Device = device;
        RenderPage(painter, page, ctx);
    }
    if (format == QImage::Format_Grayscale8)
        return image.convertToFormat(QImage::Format_Grayscale8);
    return image;
}

static QPageLayout layoutFor(const TppPage &page)
{
    const double w = page.mmWidth / 1000.0, h = page.mmHeight / 1000.0;
    const QPageSize size(QSizeF(std::min(w, h), std::max(w, h)), QPageSize::Millimeter, QString(),
                         QPageSize::FuzzyMatch);
    return QPageLayout(size, w > h ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                       QPageLayout::Millimeter);
}

bool ExportToPdf(const TppDocument &document, const QString &fileName, QString *error)
{
    // The writer ignores failed writes, so the file is ours and checked after every page:
    // a full disk must not pass for a finished export.
    QFile file(fileName);
    auto failed = [&](const QString &reason) {
        if (error)
            *error = reason;
        file.close();
        // A cut-off PDF is worse than none; devices and other non-files are left alone.
        const QFileInfo info(fileName);
        if (info.isFile() && !info.isSymLink())
            QFile::remove(fileName);
        return false;
    };
    // A short write (the disk filled in the middle of a block) leaves no reason behind;
    // one more write at the same end gives the system's.
    auto writeFailure = [&]() {
        const QString first = file.errorString();
        file.unsetError();
        file.write("\n", 1);
        return file.flush() ? first : file.errorString();
    };
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return failed(file.errorString());
    bool ok = true;
    {
        QPdfWriter writer(&file);
        writer.setResolution(1200);
        writer.setTitle(document.DocumentName);
        writer.setCreator(QStringLiteral("Corvane Lite"));
        if (!document.Pages.empty())
            writer.setPageLayout(layoutFor(document.Pages.front()));
        QPainter painter;
        if (!painter.begin(&writer))
            return failed(file.error() != QFileDevice::NoError ? file.errorString()
                                                               : QStringLiteral("Cannot write %1").arg(fileName));
        TppRenderContext ctx;
        ctx.DpiX = writer.logicalDpiX();
        ctx.DpiY = writer.logicalDpiY();
        ctx.Device = TppDeviceKind::Printer;
        for (size_t i = 0; i < document.Pages.size() && ok; ++i) {
            const TppPage &page = document.Pages[i];
            if (i > 0) {
                writer.setPageLayout(layoutFor(page));
                writer.newPage();
            }
            RenderPage(painter, page, ctx);
            ok = file.error() == QFileDevice::NoError;
        }
        painter.end();
    }
    if (!ok || file.error() != QFileDevice::NoError || !file.flush())
        return failed(writeFailure());
    file.close();
    if (file.error() != QFileDevice::NoError)
        return failed(file.errorString());
    return true;
}

bool PrintToPrinter(const TppDocument &document, QPrinter &printer, int fromPage, int toPage, QString *error)
{
    const int count = document.PageCount();
    int first = fromPage > 0 ? fromPage : 1;
    int last = toPage > 0 ? std::min(toPage, count) : count;
    if (count == 0 || first > last)
        return true;
    printer.setFullPage(true);
    printer.setDocName(document.DocumentName);
    printer.setPageLayout(layoutFor(document.Pages[first - 1]));
    QPainter painter;
    if (!painter.begin(&printer)) {
        if (error)
            *error = QStringLiteral("The printer could not be started");
        return false;
    }
    TppRenderContext ctx;
    ctx.DpiX = printer.logicalDpiX();
    ctx.DpiY = printer.logicalDpiY();
    ctx.Device = TppDeviceKind::Printer;
    for (int n = first; n <= last; ++n) {
        const TppPage &page = document.Pages[n - 1];
        if (n > first) {
            printer.setPageLayout(layoutFor(page));
            printer.newPage();
        }
        RenderPage(painter, page, ctx);
    }
    painter.end();
    return true;
}

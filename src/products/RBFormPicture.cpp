#include "products/RBFormPicture.h"
#include "app/Exceptions.h"

#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QPainter>
#include <QPaintDevice>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QXmlStreamReader>

namespace {

// Length of an SVG width/height attribute in thousandths of a millimetre.
double SvgLengthUm(const QString &value)
{
    static const QRegularExpression re(QStringLiteral("^\\s*([0-9.]+)\\s*(in|mm|cm|pt|px)?\\s*$"));
    const auto m = re.match(value);
    if (!m.hasMatch())
        return 0;
    const double v = m.captured(1).toDouble();
    const QString unit = m.captured(2);
    if (unit == QLatin1String("in")) return v * 25400.0;
    if (unit == QLatin1String("mm")) return v * 1000.0;
    if (unit == QLatin1String("cm")) return v * 10000.0;
    if (unit == QLatin1String("pt")) return v * 25400.0 / 72.0;
    return v * 25400.0 / 96.0;
}

QSizeF SvgFrame(const QByteArray &data)
{
    QXmlStreamReader xml(data);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("svg")) {
            const auto a = xml.attributes();
            return {SvgLengthUm(a.value(QLatin1String("width")).toString()),
                    SvgLengthUm(a.value(QLatin1String("height")).toString())};
        }
    }
    return {};
}

bool LooksLikeSvg(const QByteArray &data)
{
    return data.left(512).contains("<svg") || data.left(512).contains("<?xml");
}

} // namespace

TFormPicture::TFormPicture() = default;
TFormPicture::~TFormPicture() = default;

TFormCaptions TFormPicture::ParseCaptions(const QString &text)
{
    TFormCaptions result;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString &raw : lines) {
        QString line = raw;
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList f = line.split(QLatin1Char('\t'));
        if (f.size() < 7)
            continue;
        TFormCaption c;
        c.Rect = QRectF(f[0].toDouble(), f[1].toDouble(), f[2].toDouble(), f[3].toDouble());
        c.Points = f[4].toDouble();
        const QString flags = f[5];
        c.Bold = flags.contains(QLatin1Char('b'));
        c.Wrap = flags.contains(QLatin1Char('w'));
        int h = Qt::AlignLeft;
        if (flags.contains(QLatin1Char('c'))) h = Qt::AlignHCenter;
        if (flags.contains(QLatin1Char('r'))) h = Qt::AlignRight;
        const int v = flags.contains(QLatin1Char('m')) ? Qt::AlignVCenter : Qt::AlignTop;
        c.Align = h | v;
        c.Text = f.mid(6).join(QLatin1Char('\t')).replace(QLatin1String("\\n"), QLatin1String("\n"));
        result.append(c);
    }
    return result;
}

void TFormPicture::LoadFromResource(const QString &base)
{
    LoadFromFile(base + QStringLiteral(".svg"));
    QFile caps(base + QStringLiteral(".captions"));
    if (caps.open(QIODevice::ReadOnly))
        m_captions = ParseCaptions(QString::fromUtf8(caps.readAll()));
}

void TFormPicture::LoadFromFile(const QString &path)
{
    auto readAll = [](const QString &p, QByteArray &out) {
        QFile f(p);
        if (!f.open(QIODevice::ReadOnly))
            return false;
        out = f.readAll();
        return true;
    };
    QByteArray data;
    QString used = path;
    bool ok = readAll(path, data) && LooksLikeSvg(data);
    if (!ok && path.endsWith(QLatin1String(".wmf"), Qt::CaseInsensitive)) {
        // We draw vector pictures as SVG; a Windows metafile's drawing sits beside it.
        const QFileInfo fi(path);
        const QString sibling = fi.path() + QLatin1Char('/') + fi.completeBaseName() + QStringLiteral(".svg");
        QByteArray alt;
        if (readAll(sibling, alt) && LooksLikeSvg(alt)) {
            data = alt;
            used = sibling;
            ok = true;
        }
    }
    if (!ok) {
        if (!QFileInfo::exists(path))
            throw Exception(QStringLiteral("Cannot open file \"%1\". The picture file does not exist.").arg(path));
        throw Exception(QStringLiteral("Cannot read the picture file \"%1\".").arg(path));
    }
    auto svg = std::make_unique<QSvgRenderer>(data);
    if (!svg->isValid())
        throw Exception(QStringLiteral("Cannot read the picture file \"%1\".").arg(used));
    m_svg = std::move(svg);
    m_frame = SvgFrame(data);
    if (m_frame.isEmpty())
        m_frame = m_svg->viewBoxF().size();
    m_source = used;
    m_captions.clear();
}

bool TFormPicture::IsEmpty() const
{
    return !m_svg;
}

QRectF TFormPicture::ViewBox() const
{
    return m_svg ? m_svg->viewBoxF() : QRectF();
}

QSizeF TFormPicture::FrameSize() const
{
    return m_frame;
}

void TFormPicture::DrawLines(QPainter &painter, const QRectF &target) const
{
    if (m_svg)
        m_svg->render(&painter, target);
}

void TFormPicture::DrawCaptions(QPainter &painter, const QRectF &target) const
{
    const QRectF vb = ViewBox();
    if (vb.isEmpty() || m_captions.isEmpty())
        return;
    const double sx = target.width() / vb.width();
    const double sy = target.height() / vb.height();
    // Point sizes follow the picture when it is stretched: the height of one
    // viewBox unit on the device, against a thousandth of a millimetre.
    const double dpiY = painter.device() ? painter.device()->logicalDpiY() : 96.0;
    const double unitsPerUm = dpiY / 25400.0;
    const double fontScale = unitsPerUm > 0 ? sy / unitsPerUm : 1.0;
    painter.save();
    painter.setPen(Qt::black);
    for (const TFormCaption &c : m_captions) {
        QFont font(QStringLiteral("Arial"));
        font.setPointSizeF(c.Points * fontScale);
        font.setBold(c.Bold);
        painter.setFont(font);
        const QRectF r(target.left() + (c.Rect.left() - vb.left()) * sx,
                       target.top() + (c.Rect.top() - vb.top()) * sy,
                       c.Rect.width() * sx, c.Rect.height() * sy);
        painter.drawText(r, c.Align | (c.Wrap ? Qt::TextWordWrap : 0), c.Text);
    }
    painter.restore();
}

void TFormPicture::Draw(QPainter &painter, const QRectF &target) const
{
    DrawLines(painter, target);
    DrawCaptions(painter, target);
}

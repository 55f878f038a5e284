#include "products/RBFormPicture.h"
#include "app/Exceptions.h"
#include "report/Engine.h"
#include "report/ReportModel.h"

#include <QFile>
#include <QFileInfo>
#include <QSvgRenderer>
#include <cmath>

namespace {

bool LooksLikeSvg(const QByteArray &data)
{
    const QByteArray head = data.left(1024);
    return head.contains("<svg");
}

bool ReadFile(const QString &path, QByteArray &out)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    out = f.readAll();
    return true;
}

} // namespace

TFormCaptions TFormPicture::ParseCaptions(const QString &text)
{
    TFormCaptions result;
    for (QString line : text.split(QLatin1Char('\n'))) {
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
        const QString &flags = f[5];
        c.Bold = flags.contains(QLatin1Char('b'));
        c.HAlign = flags.contains(QLatin1Char('c')) ? 1 : flags.contains(QLatin1Char('r')) ? 2 : 0;
        c.VCenter = flags.contains(QLatin1Char('m'));
        c.Text = f.mid(6).join(QLatin1Char('\t')).replace(QLatin1String("\\n"), QLatin1String("\n"));
        result.append(c);
    }
    return result;
}

void TFormPicture::LoadFromResource(const QString &base)
{
    LoadFromFile(base + QStringLiteral(".svg"));
    QByteArray caps;
    if (ReadFile(base + QStringLiteral(".captions"), caps))
        m_captions = ParseCaptions(QString::fromUtf8(caps));
}

void TFormPicture::LoadFromFile(const QString &path)
{
    QByteArray data;
    QString used = path;
    bool ok = ReadFile(path, data) && LooksLikeSvg(data);
    if (!ok && path.endsWith(QLatin1String(".wmf"), Qt::CaseInsensitive)) {
        // Our pictures are SVG drawings; a metafile's drawing sits beside it under that name.
        const QFileInfo fi(path);
        const QString sibling = fi.path() + QLatin1Char('/') + fi.completeBaseName() + QStringLiteral(".svg");
        QByteArray alt;
        if (ReadFile(sibling, alt) && LooksLikeSvg(alt)) {
            data = alt;
            used = sibling;
            ok = true;
        }
    }
    if (!ok) {
        if (!QFileInfo::exists(path))
            throw Exception(QStringLiteral("Cannot open file \"%1\". The system cannot find the file specified").arg(path));
        throw Exception(QStringLiteral("Cannot read the picture in file \"%1\"").arg(path));
    }
    QSvgRenderer renderer(data);
    if (!renderer.isValid() || renderer.viewBoxF().isEmpty())
        throw Exception(QStringLiteral("Cannot read the picture in file \"%1\"").arg(used));
    m_svg = data;
    m_viewBox = renderer.viewBoxF();
    m_source = used;
    m_captions.clear();
}

std::shared_ptr<TppPicture> TFormPicture::Picture() const
{
    return m_svg.isEmpty() ? nullptr : TppPicture::FromSvgData(m_svg);
}

QList<TppLabel *> TFormPicture::Apply(TppImage *image) const
{
    QList<TppLabel *> labels;
    image->Picture = Picture();
    if (!image->Picture || m_viewBox.isEmpty())
        return labels;
    int width = image->mmWidth, height = image->mmHeight;
    if (image->AutoSize) {
        width = image->Picture->mmWidth();
        height = image->Picture->mmHeight();
        image->mmWidth = width;
        image->mmHeight = height;
    }
    const double sx = width / m_viewBox.width();
    const double sy = height / m_viewBox.height();
    int n = 0;
    for (const TFormCaption &c : m_captions) {
        const TppFont font = ppFont(QStringLiteral("Arial"), c.Points, c.Bold ? fsBold : 0);
        const int left = image->mmLeft + int(std::lround((c.Rect.left() - m_viewBox.left()) * sx));
        int top = image->mmTop + int(std::lround((c.Rect.top() - m_viewBox.top()) * sy));
        int w = int(std::lround(c.Rect.width() * sx));
        int h = int(std::lround(c.Rect.height() * sy));
        // a caption never ends at its box's edge: the box takes the text's width, keeping its anchor
        double textWidth = 0;
        for (const QString &line : c.Text.split(QLatin1Char('\n')))
            textWidth = std::max(textWidth, TppPrintContext::TextWidth(font, line));
        int boxLeft = left;
        // screen fonts at small sizes run a little wider than measured: leave them room
        const double needed = textWidth * 1.08 + 200;
        if (needed > w) {
            const int grow = int(std::ceil(needed)) - w;
            boxLeft -= c.HAlign == 2 ? grow : c.HAlign == 1 ? grow / 2 : 0;
            w += grow;
        }
        const int lines = int(c.Text.count(QLatin1Char('\n'))) + 1;
        const int textHeight = int(std::ceil(lines * TppPrintContext::LineHeight(font)));
        if (c.VCenter && textHeight < h)
            top += (h - textHeight) / 2;
        h = std::max(h, textHeight);
        TppLabel *l = addLabel(image->Band, QStringLiteral("lblFormCaption%1").arg(++n), boxLeft, top, w, h,
                               c.Text, font,
                               c.HAlign == 1 ? taCentered : c.HAlign == 2 ? taRightJustified : taLeftJustified);
        l->WordWrap = lines > 1;
        l->Transparent = true;
        labels.append(l);
    }
    return labels;
}

#include "products/SimpleGrid.h"

#include "report/Engine.h"

#include <QPainter>
#include <cmath>

namespace {
int layoutToScreen(int mm) { return int(std::lround(mm * ppScreenDpi / 25400.0)); }
int screenToLayout(int px) { return int(std::lround(px * 25400.0 / ppScreenDpi)); }
}

TGridGeometry ComputeGridGeometry(int left, int top, int right, int bottom, int cols, int rows)
{
    TGridGeometry g;
    cols = std::max(1, cols);
    rows = std::max(1, rows);
    const int origRight = right, origBottom = bottom;
    while (right > left && (right - left) % cols != 0)
        --right;
    while (bottom > top && (bottom - top) % rows != 0)
        --bottom;
    g.CellWidth = std::max(0, (right - left) / cols);
    g.CellHeight = std::max(0, (bottom - top) / rows);
    if (g.CellWidth <= 0 || g.CellHeight <= 0) {
        // too small for its counts: the steps would not advance, so only the frame is drawn
        g.FrameOnly = true;
        g.Frame = QRect(QPoint(left, top), QPoint(origRight, origBottom));
        g.Xs = {left, origRight};
        g.Ys = {top, origBottom};
        return g;
    }
    g.Frame = QRect(QPoint(left, top), QPoint(right, bottom));
    for (int x = left; x <= right; x += g.CellWidth)
        g.Xs.append(x);
    for (int y = top; y <= bottom; y += g.CellHeight)
        g.Ys.append(y);
    return g;
}

void DrawGrid(QPainter &painter, int left, int top, int right, int bottom, int cols, int rows,
              const QBrush &brush, const QPen &pen, bool transparent)
{
    const TGridGeometry g = ComputeGridGeometry(left, top, right, bottom, cols, rows);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(brush);
    painter.setPen(pen);
    const int r = g.Frame.right(), b = g.Frame.bottom();
    if (!transparent)
        painter.fillRect(QRect(g.Frame.left(), g.Frame.top(), r - g.Frame.left(), b - g.Frame.top()), brush);
    for (int x : g.Xs)
        painter.drawLine(x, g.Frame.top(), x, b);
    for (int y : g.Ys)
        painter.drawLine(g.Frame.left(), y, r, y);
    painter.restore();
}

void TDrawSimpleGrid::Assign(const TppDrawCommand &source)
{
    TppDrawCommand::Assign(source);
    if (auto *g = dynamic_cast<const TDrawSimpleGrid *>(&source)) {
        ColCount = g->ColCount;
        RowCount = g->RowCount;
        Transparent = g->Transparent;
        Brush = g->Brush;
        Pen = g->Pen;
    }
}

void TDrawSimpleGrid::Draw(QPainter &painter, const TppRenderContext &ctx) const
{
    DrawOn(painter, ctx);
}

bool TDrawSimpleGrid::DrawOn(QPainter &painter, const TppRenderContext &ctx) const
{
    if (ctx.Device == TppDeviceKind::Other)
        return true;
    const int left = int(std::lround(ctx.X(mmLeft)));
    const int top = int(std::lround(ctx.Y(mmTop)));
    const int right = int(std::lround(ctx.X(mmLeft + mmWidth)));
    const int bottom = int(std::lround(ctx.Y(mmTop + mmHeight)));
    QPen pen = Pen;
    // the pen is in screen pixels; keep its look on finer devices
    pen.setWidth(std::max(1, int(std::lround(Pen.width() * ctx.ScaleX()))));
    DrawGrid(painter, left, top, right, bottom, ColCount, RowCount, Brush, pen, Transparent);
    return true;
}

TSimpleGrid::TSimpleGrid()
{
    Transparent = false;
    mmWidth = screenToLayout(100);
    mmHeight = screenToLayout(100);
}

void TSimpleGrid::changed()
{
    ++ChangeCount;
    if (OnChange)
        OnChange();
}

void TSimpleGrid::SetColCount(int value)
{
    if (value <= 0) {
        m_colCount = 1;
        return;
    }
    if (value == m_colCount)
        return;
    m_colCount = value;
    changed();
}

void TSimpleGrid::SetRowCount(int value)
{
    if (value <= 0) {
        m_rowCount = 1;
        return;
    }
    if (value == m_rowCount)
        return;
    m_rowCount = value;
    changed();
}

QRect TSimpleGrid::GridRect(int widthPixels, int heightPixels) const
{
    const int p = Pen.width() / 2;
    return QRect(QPoint(p, p), QPoint(widthPixels - p - 1, heightPixels - p - 1));
}

void TSimpleGrid::Generate(TppPrintContext &, int x, int y, int &height, std::vector<TppDrawCommandPtr> &out)
{
    const QRect r = GridRect(layoutToScreen(mmWidth), layoutToScreen(height));
    auto cmd = NewDrawCommand<TDrawSimpleGrid>(x + screenToLayout(r.left()), y + screenToLayout(r.top()),
                                               screenToLayout(r.right() - r.left()),
                                               screenToLayout(r.bottom() - r.top()));
    cmd->ColCount = m_colCount;
    cmd->RowCount = m_rowCount;
    cmd->Brush = Brush;
    cmd->Pen = Pen;
    cmd->Transparent = Transparent;
    out.push_back(cmd);
}

void RegisterSimpleGrid()
{
    ppRegisterComponent({QStringLiteral("TSimpleGrid"), QStringLiteral("Standard Components"),
                         QStringLiteral("SimpleGrid"), 12, [] { return std::make_unique<TSimpleGrid>(); }});
    ppRegisterDrawCommand(QStringLiteral("TDrawSimpleGrid"), [] { return std::make_shared<TDrawSimpleGrid>(); });
}

void UnRegisterSimpleGrid()
{
    ppUnRegisterComponent(QStringLiteral("TSimpleGrid"));
    ppUnRegisterDrawCommand(QStringLiteral("TDrawSimpleGrid"));
}

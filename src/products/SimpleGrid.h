#pragma once
// A rectangle ruled into equal columns and rows, optionally filled, and its draw command.
#include "report/ReportModel.h"

#include <QRect>

class TDrawSimpleGrid : public TppDrawCommand
{
public:
    int ColCount = 1;
    int RowCount = 1;
    QBrush Brush;
    QPen Pen;
    bool Transparent = false;
    QString ClassName() const override { return QStringLiteral("TDrawSimpleGrid"); }
    void Assign(const TppDrawCommand &source) override;
    void Draw(QPainter &painter, const TppRenderContext &ctx) const override;
    bool DrawOn(QPainter &painter, const TppRenderContext &ctx) const;
};

// The ruling of a grid in device pixels.
struct TGridGeometry
{
    QRect Frame;        // (left, top, right, bottom) as drawn: right/bottom moved in for equal cells
    int CellWidth = 0;
    int CellHeight = 0;
    QList<int> Xs;      // vertical lines
    QList<int> Ys;      // horizontal lines
    bool FrameOnly = false;   // narrower or lower than its counts: only the frame is drawn
};
TGridGeometry ComputeGridGeometry(int left, int top, int right, int bottom, int cols, int rows);
// Draw the grid ruling on a painter in device pixels.
void DrawGrid(QPainter &painter, int left, int top, int right, int bottom, int cols, int rows,
              const QBrush &brush, const QPen &pen, bool transparent);

class TSimpleGrid : public TppComponent
{
public:
    TSimpleGrid();
    QString ClassName() const override { return QStringLiteral("TSimpleGrid"); }
    QString DrawCommandClassName() const override { return QStringLiteral("TDrawSimpleGrid"); }
    QPen Pen = QPen(Qt::black, 1);
    QBrush Brush = QBrush(Qt::white);

    int ColCount() const { return m_colCount; }
    int RowCount() const { return m_rowCount; }
    void SetColCount(int value);
    void SetRowCount(int value);
    int ChangeCount = 0;    // how often the engine was told the grid changed
    std::function<void()> OnChange;

    // The drawing rectangle in screen pixels for a size in screen pixels.
    QRect GridRect(int widthPixels, int heightPixels) const;
    void Generate(TppPrintContext &ctx, int x, int y, int &height,
                  std::vector<TppDrawCommandPtr> &out) override;

private:
    void changed();
    int m_colCount = 1;
    int m_rowCount = 1;
};

void RegisterSimpleGrid();
void UnRegisterSimpleGrid();

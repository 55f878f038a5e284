#include "testmain.h"
#include "reporttest.h"
#include "products/RotatedLabel.h"
#include "products/SimpleGrid.h"
#include "report/Engine.h"

#include <QFontDatabase>
#include <QPainter>
#include <QTest>

namespace {
// Bounding box of pixels darker than mid grey.
QRect inkBox(const QImage &img)
{
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < 128)
                box |= QRect(x, y, 1, 1);
    return box;
}
int layoutOf(int px) { return int(std::lround(px * 25400.0 / ppScreenDpi)); }
}

class TestReportComponents : public QObject
{
    Q_OBJECT
private slots:
    void turnedBoxAndOrigin()
    {
        QRect box;
        QPoint origin;
        TRotatedLabel::TurnedBox(QRect(0, 0, 40, 10), 0, box, origin);
        QCOMPARE(origin, QPoint(0, 0));
        QCOMPARE(box.size(), QSize(41, 11));
        QCOMPARE(box.topLeft(), QPoint(0, 0));

        TRotatedLabel::TurnedBox(QRect(0, 0, 40, 10), 270, box, origin);
        QCOMPARE(origin, QPoint(10, 0));          // text starts at the box's top-right corner
        QCOMPARE(box.topLeft(), QPoint(0, 0));
        QVERIFY(box.width() >= 10 && box.width() <= 12);
        QVERIFY(box.height() >= 40 && box.height() <= 42);

        TRotatedLabel::TurnedBox(QRect(0, 0, 40, 10), 90, box, origin);
        QVERIFY(std::abs(origin.x()) <= 1);
        QVERIFY(std::abs(origin.y() - 40) <= 1);
        QVERIFY(box.width() >= 10 && box.width() <= 12);

        // a box not at the origin keeps its top-left corner
        TRotatedLabel::TurnedBox(QRect(5, 7, 40, 10), 180, box, origin);
        QCOMPARE(box.topLeft(), QPoint(5, 7));
        QVERIFY(std::abs(origin.x() - (5 + 40)) <= 1);
        QVERIFY(std::abs(origin.y() - (7 + 10)) <= 1);
    }
    void labelRemeasuresOnAngleChangeOnly()
    {
        TRotatedLabel label;
        QCOMPARE(label.Font.Name, QString("Arial"));
        QCOMPARE(label.Angle(), 0);
        label.Caption = "Collected 20030115";
        label.AutoSize = true;
        label.SetAngle(270);
        QCOMPARE(label.RemeasureCount, 1);
        const QRect measured = TRotatedLabel::MeasureText(TRotatedLabel::TurnedFont(label.Font, ppScreenDpi),
                                                          label.Caption, nullptr, 1280);
        QVERIFY(measured.width() > measured.height());
        QCOMPARE(label.TextOrigin(), QPoint(measured.height(), 0));
        // auto-size: the label takes the turned box, tall and narrow
        QVERIFY(label.mmHeight > label.mmWidth);
        QVERIFY(std::abs(label.mmWidth - layoutOf(measured.height())) <= layoutOf(2));
        QVERIFY(std::abs(label.mmHeight - layoutOf(measured.width())) <= layoutOf(2));
        const int w = label.mmWidth;
        label.SetAngle(270);
        QCOMPARE(label.RemeasureCount, 1);
        label.Loading = true;
        label.SetAngle(0);
        QCOMPARE(label.RemeasureCount, 1);   // skipped while loading
        label.Loading = false;
        label.Loaded();
        QCOMPARE(label.RemeasureCount, 2);
        QVERIFY(label.mmWidth > w);          // back to wide
    }
    void userNameCarriesTheCaption()
    {
        TRotatedLabel label;
        label.SetUserName("RotatedLabel1");
        label.Caption = "RotatedLabel1";
        label.SetUserName("lblSSN");
        QCOMPARE(label.Caption, QString("lblSSN"));
        label.Caption = "SSN";
        label.SetUserName("lblOther");
        QCOMPARE(label.Caption, QString("SSN"));
        label.Caption = "lblOther";
        label.Reading = true;
        label.SetUserName("lblRead");
        QCOMPARE(label.Caption, QString("lblOther"));
        label.Caption = "lblRead";
        label.Pasting = true;   // pasting renames even while reading
        label.SetUserName("lblPasted");
        QCOMPARE(label.Caption, QString("lblPasted"));
    }
    void faceReplacement()
    {
        QCOMPARE(TRotatedLabel::ReplacementFace("MS Sans Serif"), QString("Arial"));
        QCOMPARE(TRotatedLabel::ReplacementFace("Courier"), QString("Courier New"));
        QCOMPARE(TRotatedLabel::ReplacementFace("MS Serif"), QString("Courier New"));
        QCOMPARE(TRotatedLabel::ReplacementFace("Courier New"), QString("Courier New"));
        QVERIFY(TRotatedLabel::IsTrueTypeFace("Arial"));
        QVERIFY(TRotatedLabel::IsTrueTypeFace("Courier New"));
        QCOMPARE(TRotatedLabel::TurnedFont(ppFont("Arial", 8), 96).pixelSize(), 11);     // 10.67
        QCOMPARE(TRotatedLabel::TurnedFont(ppFont("Arial", 7.5), 96).pixelSize(), 10);   // 10.0
        QCOMPARE(TRotatedLabel::TurnedFont(ppFont("Arial", 9), 96).pixelSize(), 12);     // 12.0
        QCOMPARE(TRotatedLabel::TurnedFont(ppFont("Arial", 1.875), 96).pixelSize(), 2);  // 2.5 -> even
        // each face, size, style and resolution its own font, whatever was asked before
        QCOMPARE(TRotatedLabel::TurnedFont(ppFont("Arial", 8), 1200).pixelSize(), 133);  // 133.33
        QVERIFY(TRotatedLabel::TurnedFont(ppFont("Arial", 8, fsBold), 96).bold());
        QVERIFY(!TRotatedLabel::TurnedFont(ppFont("Arial", 8), 96).bold());
        QCOMPARE(TRotatedLabel::TurnedFont(ppFont("Arial", 8), 96).pixelSize(), 11);
        QCOMPARE(TRotatedLabel::TurnedFont(ppFont("Courier New", 8), 96).family(), QString("Courier New"));
    }
    void turnedTextReadsDownOnBothDevices()
    {
        for (TppDeviceKind device : {TppDeviceKind::Screen, TppDeviceKind::Printer}) {
            for (double dpi : {96.0, 300.0}) {
                TRotatedLabel label;
                label.Caption = "SSN 123-45-6789";
                label.Font = ppFont("Courier New", 8);
                label.AutoSize = true;
                label.SetAngle(270);
                TppPrintContext ctx;
                int h = label.mmHeight;
                std::vector<TppDrawCommandPtr> out;
                label.Generate(ctx, 5000, 5000, h, out);
                QCOMPARE(out.size(), size_t(1));
                QImage img = WhiteImage(int(60000 * dpi / 25400), int(80000 * dpi / 25400), dpi);
                {
                    QPainter p(&img);
                    TppRenderContext rc;
                    rc.DpiX = rc.DpiY = dpi;
                    rc.Device = device;
                    out[0]->Draw(p, rc);
                }
                const QRect ink = inkBox(img);
                QVERIFY2(!ink.isEmpty(), "nothing drawn");
                QVERIFY(ink.height() > 3 * ink.width());   // runs down the page
                // the ink stays in the label's box (one pixel of rounding)
                const QRectF box(5000 * dpi / 25400, 5000 * dpi / 25400, label.mmWidth * dpi / 25400,
                                 label.mmHeight * dpi / 25400);
                QVERIFY2(box.adjusted(-2, -2, 2, 2).contains(ink),
                         qPrintable(QString("ink %1,%2 %3x%4").arg(ink.x()).arg(ink.y()).arg(ink.width()).arg(ink.height())));
            }
        }
    }
    void fillAndTransparencyOfTurnedText()
    {
        TDrawRotatedText cmd;
        cmd.Text = "Tape";
        cmd.Font = ppFont("Arial", 10);
        cmd.Angle = 90;
        cmd.mmLeft = 2000;
        cmd.mmTop = 2000;
        cmd.Transparent = false;
        cmd.Color = Qt::yellow;
        TppRenderContext rc;
        rc.Device = TppDeviceKind::Printer;
        QImage img = WhiteImage(200, 200);
        {
            QPainter p(&img);
            p.fillRect(QRect(0, 150, 200, 50), Qt::gray);
            cmd.DrawOn(p, rc);
        }
        const QPoint inBox(int(2000 * 96 / 25400) + 2, int(2000 * 96 / 25400) + 2);
        QCOMPARE(img.pixelColor(inBox), QColor(Qt::yellow));
        // transparent: source AND destination keeps what was under the text
        cmd.Transparent = true;
        cmd.mmTop = 40000;   // over the grey strip
        img = WhiteImage(200, 200);
        {
            QPainter p(&img);
            p.fillRect(QRect(0, 150, 200, 50), Qt::gray);
            cmd.DrawOn(p, rc);
        }
        QVERIFY(!inkBox(img).isEmpty());
        int grey = 0;
        for (int x = 0; x < 200; ++x)
            grey += img.pixelColor(x, 199) == QColor(Qt::gray);
        QVERIFY(grey > 150);
        // a device that is neither screen nor printer gets nothing
        rc.Device = TppDeviceKind::Other;
        img = WhiteImage(200, 200);
        {
            QPainter p(&img);
            QVERIFY(cmd.DrawOn(p, rc));
        }
        QVERIFY(inkBox(img).isEmpty());
    }
    void assigningCopiesEverything()
    {
        TDrawRotatedText a;
        a.Text = "x";
        a.Angle = 270;
        a.TextOrigin = QPoint(11, 0);
        a.mmLeft = 5;
        a.Font = ppFont("Courier New", 8, fsBold);
        a.Transparent = false;
        TDrawRotatedText b;
        b.Assign(a);
        QCOMPARE(b.Angle, 270);
        QCOMPARE(b.TextOrigin, QPoint(11, 0));
        QCOMPARE(b.Text, QString("x"));
        QCOMPARE(b.mmLeft, 5);
        QVERIFY(b.Font == a.Font);
        QVERIFY(!b.Transparent);
        TDrawSimpleGrid g;
        g.ColCount = 3;
        g.RowCount = 4;
        g.Transparent = true;
        g.Pen = QPen(Qt::red, 3);
        g.Brush = QBrush(Qt::blue);
        TDrawSimpleGrid h;
        h.Assign(g);
        QCOMPARE(h.ColCount, 3);
        QCOMPARE(h.RowCount, 4);
        QVERIFY(h.Transparent);
        QCOMPARE(h.Pen, g.Pen);
        QCOMPARE(h.Brush, g.Brush);
    }
    void gridGeometry()
    {
        TSimpleGrid grid;
        QCOMPARE(grid.GridRect(100, 100), QRect(QPoint(0, 0), QPoint(99, 99)));
        grid.Pen.setWidth(3);
        QCOMPARE(grid.GridRect(100, 100), QRect(QPoint(1, 1), QPoint(98, 98)));

        TGridGeometry g = ComputeGridGeometry(0, 0, 99, 99, 3, 1);
        QCOMPARE(g.CellWidth, 33);
        QCOMPARE(g.Xs, QList<int>({0, 33, 66, 99}));
        QCOMPARE(g.CellHeight, 99);
        QCOMPARE(g.Ys, QList<int>({0, 99}));

        g = ComputeGridGeometry(0, 0, 99, 99, 7, 1);
        QCOMPARE(g.Frame.right(), 98);
        QCOMPARE(g.CellWidth, 14);
        QCOMPARE(g.Xs.size(), 8);
        QCOMPARE(g.Xs.last(), 98);

        // narrower than its column count: only the frame, and drawing ends
        g = ComputeGridGeometry(0, 0, 5, 50, 7, 2);
        QVERIFY(g.FrameOnly);
        QCOMPARE(g.Xs, QList<int>({0, 5}));
        QCOMPARE(g.Ys, QList<int>({0, 50}));
    }
    void gridCounts()
    {
        TSimpleGrid grid;
        QCOMPARE(grid.ColCount(), 1);
        QCOMPARE(grid.RowCount(), 1);
        QVERIFY(!grid.Transparent);
        QCOMPARE(grid.mmWidth, layoutOf(100));
        grid.SetColCount(4);
        QCOMPARE(grid.ChangeCount, 1);
        grid.SetColCount(4);
        QCOMPARE(grid.ChangeCount, 1);   // the same value again does nothing
        grid.SetColCount(0);
        QCOMPARE(grid.ColCount(), 1);
        grid.SetRowCount(-3);
        QCOMPARE(grid.RowCount(), 1);
        grid.SetRowCount(5);
        QCOMPARE(grid.RowCount(), 5);
        QCOMPARE(grid.ChangeCount, 2);
    }
    void gridDrawsLinesAndFill()
    {
        for (bool transparent : {false, true}) {
            TDrawSimpleGrid cmd;
            cmd.mmLeft = 0;
            cmd.mmTop = 0;
            cmd.mmWidth = layoutOf(99);
            cmd.mmHeight = layoutOf(99);
            cmd.ColCount = 3;
            cmd.RowCount = 1;
            cmd.Pen = QPen(Qt::black, 1);
            cmd.Brush = QBrush(Qt::green);
            cmd.Transparent = transparent;
            TppRenderContext rc;
            rc.Device = TppDeviceKind::Screen;
            QImage img = WhiteImage(120, 120);
            {
                QPainter p(&img);
                cmd.Draw(p, rc);
            }
            for (int x : {0, 33, 66, 99})
                QCOMPARE(img.pixelColor(x, 50), QColor(Qt::black));
            QCOMPARE(img.pixelColor(50, 0), QColor(Qt::black));
            QCOMPARE(img.pixelColor(50, 99), QColor(Qt::black));
            QCOMPARE(img.pixelColor(16, 50), transparent ? QColor(Qt::white) : QColor(Qt::green));
            QCOMPARE(img.pixelColor(110, 50), QColor(Qt::white));
        }
    }
    void registeredAsComponentKinds()
    {
        RegisterRotatedLabel();
        RegisterSimpleGrid();
        const TppComponentClass *r = ppFindComponentClass("TRotatedLabel");
        QVERIFY(r);
        QCOMPARE(r->PalettePage, QString("Standard Components"));
        QCOMPARE(r->Caption, QString("RotatedLabel"));
        QCOMPARE(r->Position, 11);
        const TppComponentClass *g = ppFindComponentClass("TSimpleGrid");
        QVERIFY(g);
        QCOMPARE(g->Caption, QString("SimpleGrid"));
        QCOMPARE(g->Position, 12);
        auto created = g->Create();
        QCOMPARE(created->ClassName(), QString("TSimpleGrid"));
        QCOMPARE(created->DrawCommandClassName(), QString("TDrawSimpleGrid"));
        QCOMPARE(ppCreateDrawCommand("TDrawRotatedText")->ClassName(), QString("TDrawRotatedText"));
        UnRegisterRotatedLabel();
        UnRegisterSimpleGrid();
        QVERIFY(!ppFindComponentClass("TRotatedLabel"));
        QVERIFY(!ppCreateDrawCommand("TDrawSimpleGrid"));
    }
};

CORVANE_TEST(TestReportComponents)
#include "tst_components.moc"

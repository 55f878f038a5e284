#include "testmain.h"
#include "report/Barcode.h"
#include "report/Engine.h"

#include <QTest>
#include <cmath>

// Bars in whole printer dots never thinner than the narrowest bar, and single-line texts
// that shrink and then elide inside their box.
class TestPrintDots : public QObject
{
    Q_OBJECT

    static TppDrawBarCode SheetSymbol(int boxWidth, int quiet)
    {
        TppDrawBarCode cmd;
        const TppBarcodeSymbol sym = EncodeCode128("533013200301150007AB1CDHQ  US");
        cmd.Modules = sym.Modules;
        cmd.Bars = sym.Bars;
        cmd.mmLeft = 11377;
        cmd.mmTop = 34396;
        cmd.mmWidth = boxWidth;
        cmd.mmHeight = 5292;
        cmd.QuietModules = quiet;
        cmd.Alignment = taLeftJustified;
        return cmd;
    }

private slots:
    void moduleInWholeDots_data()
    {
        QTest::addColumn<double>("dpi");
        QTest::addColumn<double>("dots");
        QTest::newRow("200 dpi") << 200.0 << 2.0;
        QTest::newRow("203 dpi thermal") << 203.0 << 3.0;
        QTest::newRow("300 dpi") << 300.0 << 3.0;
        QTest::newRow("360 dpi") << 360.0 << 4.0;
        QTest::newRow("600 dpi") << 600.0 << 6.0;
        QTest::newRow("1200 dpi PDF") << 1200.0 << 12.0;
    }
    void moduleInWholeDots()
    {
        QFETCH(double, dpi);
        QFETCH(double, dots);
        TppRenderContext ctx;
        ctx.DpiX = ctx.DpiY = dpi;
        ctx.Device = TppDeviceKind::Printer;
        // room enough: the bars are never thinner than 0.254 mm
        const TppDrawBarCode roomy = SheetSymbol(120000, 10);
        const double m = roomy.ModulePixels(ctx, true);
        QCOMPARE(m, dots);
        QVERIFY(m * 25400.0 / dpi >= 254 - 1e-6);
        const auto [start, end] = roomy.SymbolExtent(ctx, true);
        QCOMPARE(end - start, m * 266);
        // the left quiet zone inside the box, the bars' edges on the 300 dpi grid where it exists
        QVERIFY(start >= ctx.X(roomy.mmLeft) + 10 * m - 1e-6);
        const double grid = std::fmod(dpi, 300.0) == 0 ? dpi / 300.0 : 1.0;
        QCOMPARE(std::fmod(start, grid), 0.0);
        QVERIFY(end + 10 * m <= ctx.X(roomy.mmLeft + roomy.mmWidth) + 1e-6);
        // in its own 62.971 mm box the same symbol would have had to narrow below 0.254 mm
        const TppDrawBarCode tight = SheetSymbol(62971, 0);
        QVERIFY(tight.ModulePixels(ctx, true) * 266 <= ctx.X(62971) + 1e-6);
        QVERIFY(tight.ModulePixels(ctx, true) < dots);
    }

    // The component gives its draw command the room only when the symbol needs it.
    void barcodeTakesTheRoomItNeeds()
    {
        TppReport report;
        TppJITPipeline pipeline;
        pipeline.RecordCount = 2;
        report.SetDataPipeline(&pipeline);
        report.Detail()->mmHeight = 20000;
        TppBarCode *bc = addBarCode(report.Detail(), "brcd", 5027, 1000, 62971, 5292);
        bc->QuietModules = 10;
        bc->mmMaxWidth = 120000;
        const QStringList data = {"533013200301150007AB1CDHQ  US", "IR0001001"};
        bc->OnPrint = [&] { bc->Data = data[pipeline.RecordIndex()]; };
        const TppDocument doc = report.GeneratePages();
        QList<const TppDrawBarCode *> cmds;
        for (const auto &c : doc.Pages[0].Commands)
            if (auto *b = dynamic_cast<const TppDrawBarCode *>(c.get()))
                cmds.append(b);
        QCOMPARE(cmds.size(), 2);
        QCOMPARE(cmds[0]->mmWidth, 120000);
        QCOMPARE(cmds[0]->QuietModules, 10);
        QCOMPARE(cmds[1]->mmWidth, 62971);   // a short symbol keeps its box
    }

    void textShrinksThenElides()
    {
        TppReport report;
        TppJITPipeline pipeline;
        pipeline.RecordCount = 3;
        report.SetDataPipeline(&pipeline);
        report.Detail()->mmHeight = 6000;
        TppLabel *lbl = addLabel(report.Detail(), "lbl", 1000, 1000, 40000, 4500, QString(), ppFont("Arial", 10));
        lbl->ShrinkToFit = true;
        const QStringList texts = {"A CO 1-5 IN", "HHC 1ST BN 5TH INFANTRY REGT",
                                   "HEADQUARTERS AND HEADQUARTERS COMPANY, 1ST BATTALION, 5TH INFANTRY"};
        lbl->OnPrint = [&] { lbl->Caption = texts[pipeline.RecordIndex()]; };
        const TppDocument doc = report.GeneratePages();
        QList<const TppDrawText *> cmds;
        for (const auto &c : doc.Pages[0].Commands)
            if (auto *t = dynamic_cast<const TppDrawText *>(c.get()))
                cmds.append(t);
        QCOMPARE(cmds.size(), 3);
        // fits: untouched
        QCOMPARE(cmds[0]->Font.Size, 10.0);
        QCOMPARE(cmds[0]->Text, texts[0]);
        QVERIFY(!cmds[0]->FitWidth);
        // a little too long: smaller, whole
        QVERIFY(cmds[1]->Font.Size < 10 && cmds[1]->Font.Size >= 6);
        QCOMPARE(cmds[1]->Text, texts[1]);
        QVERIFY(TppPrintContext::TextWidth(cmds[1]->Font, texts[1]) <= 40000);
        TppFont bigger = cmds[1]->Font;
        bigger.Size += 0.5;
        QVERIFY(TppPrintContext::TextWidth(bigger, texts[1]) > 40000);
        // the baseline stays: a smaller text starts lower in its band (bands 6000 apart)
        const int top0 = cmds[0]->mmTop, top1 = cmds[1]->mmTop - 6000, top2 = cmds[2]->mmTop - 12000;
        QVERIFY(top1 > top0);
        QVERIFY(top2 > top1);
        QVERIFY(top2 + cmds[2]->mmHeight <= top0 + 4500);
        // far too long: 6 points and an ellipsis, the rest gone
        QCOMPARE(cmds[2]->Font.Size, 6.0);
        QVERIFY(cmds[2]->Text.endsWith(QChar(0x2026)));
        QVERIFY(texts[2].startsWith(cmds[2]->Text.chopped(1)));
        QVERIFY(TppPrintContext::TextWidth(cmds[2]->Font, cmds[2]->Text) <= 40000);
        QVERIFY(cmds[2]->FitWidth);
    }
};

CORVANE_TEST(TestPrintDots)
#include "tst_printdots.moc"

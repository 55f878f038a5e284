#include "testmain.h"
#include "report/Barcode.h"
#include "report/Engine.h"

#include <QTest>

#include <thread>

#ifdef HAVE_ZXING
#include <ZXing/ReadBarcode.h>
#endif

namespace {
#ifdef HAVE_ZXING
// Decode every barcode of a rendered page: each symbol's box (plus a quiet zone) is read on its
// own, in reading order of the page's commands.
QStringList decodeAll(const TppPage &page, double dpi)
{
    const QImage image = RenderPageToImage(page, dpi, TppDeviceKind::Printer, QImage::Format_Grayscale8);
    QStringList texts;
    for (const auto &c : page.Commands) {
        if (!dynamic_cast<TppDrawBarCode *>(c.get()))
            continue;
        const int quiet = 4000;
        const QRect box = QRectF((c->mmLeft - quiet) * dpi / 25400.0, (c->mmTop - quiet) * dpi / 25400.0,
                                 (c->mmWidth + 2 * quiet) * dpi / 25400.0, (c->mmHeight + 2 * quiet) * dpi / 25400.0)
                              .toAlignedRect()
                              .intersected(image.rect());
        const QImage crop = image.copy(box);
        ZXing::ImageView view(crop.constBits(), crop.width(), crop.height(), ZXing::ImageFormat::Lum,
                              int(crop.bytesPerLine()));
        ZXing::DecodeHints hints;
        hints.setFormats(ZXing::BarcodeFormat::Code128);
        hints.setTryRotate(true);
        const ZXing::Result r = ZXing::ReadBarcode(view, hints);
        texts.append(r.isValid() ? QString::fromStdString(r.text()) : QStringLiteral("<unreadable>"));
    }
    return texts;
}
#endif

// A report with one barcode per detail band, data from the record.
struct BarcodeReport
{
    TppReport report;
    TppJITPipeline pipeline;
    QStringList data;
    BarcodeReport(const QStringList &values, int width, int height, TppBarCodeOrientation orientation)
        : data(values)
    {
        pipeline.RecordCount = int(values.size());
        report.SetDataPipeline(&pipeline);
        report.Detail()->mmHeight = height + 10000;
        TppBarCode *bc = addBarCode(report.Detail(), "brcd", 10000, 5000, width, height, orientation, 254);
        bc->OnPrint = [this, bc] { bc->Data = data[pipeline.RecordIndex()]; };
    }
};
}

class TestBarcode : public QObject
{
    Q_OBJECT
private slots:
    void code128ChoosesShortestCodeSets()
    {
        const TppBarcodeSymbol sym = EncodeCode128("533013200301150007AB1CDHQ  US");
        QVERIFY(sym.IsValid());
        QCOMPARE(sym.Modules, 266);
        // runs cover modules inside the symbol and end with the stop pattern's final bar (2 modules)
        QVERIFY(!sym.Bars.isEmpty());
        QCOMPARE(sym.Bars.first().first, 0);
        QCOMPARE(sym.Bars.last().first + sym.Bars.last().second, sym.Modules);
        QVERIFY(!EncodeCode128(QString()).IsValid());
        // what a thread encoded before leaves nothing in the next symbol
        TppBarcodeSymbol first;
        std::thread([&first] { first = EncodeCode128("12"); }).join();
        const TppBarcodeSymbol after = EncodeCode128("12");
        QVERIFY(first.IsValid());
        QCOMPARE(after.Modules, first.Modules);
        QCOMPARE(after.Bars, first.Bars);
        const TppBarcodeSymbol again = EncodeCode128("533013200301150007AB1CDHQ  US");
        QCOMPARE(again.Modules, sym.Modules);
        QCOMPARE(again.Bars, sym.Bars);
    }
    void symbolNarrowsToItsBoxNeverClipped()
    {
        TppDrawBarCode cmd;
        const TppBarcodeSymbol sym = EncodeCode128("533013200301150007AB1CDHQ  US");
        cmd.Modules = sym.Modules;
        cmd.Bars = sym.Bars;
        cmd.mmWidth = 62971;
        cmd.mmHeight = 5292;
        cmd.mmBarWidth = 254;
        TppRenderContext printer;
        printer.DpiX = printer.DpiY = 600;
        printer.Device = TppDeviceKind::Printer;
        const double m = cmd.ModulePixels(printer, true);
        QCOMPARE(m, std::floor(m));                               // whole dots
        QVERIFY(m * sym.Modules <= printer.X(cmd.mmWidth));      // fits the box
        QVERIFY(m < printer.X(254));                              // had to narrow
        TppRenderContext screen;
        screen.Device = TppDeviceKind::Screen;
        QVERIFY(std::abs(cmd.ModulePixels(screen, false) * sym.Modules - screen.X(cmd.mmWidth)) < 1e-6);
        // a short symbol keeps the narrowest bar
        const TppBarcodeSymbol small = EncodeCode128("12");
        cmd.Modules = small.Modules;
        QCOMPARE(cmd.ModulePixels(printer, true), std::floor(printer.X(254) + 1e-9));
    }
#ifdef HAVE_ZXING
    void renderedBarcodesDecode_data()
    {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("left to right, narrowed") << int(orLeftToRight) << 62971 << 5292;
        QTest::newRow("left to right, roomy") << int(orLeftToRight) << 120000 << 8000;
        QTest::newRow("top to bottom, narrowed") << int(orTopToBottom) << 4763 << 31221;
        QTest::newRow("bottom to top") << int(orBottomToTop) << 6000 << 45000;
    }
    void renderedBarcodesDecode()
    {
        QFETCH(int, orientation);
        QFETCH(int, width);
        QFETCH(int, height);
        const QStringList values = {"533013200301150007AB1CDHQ  US", "IR0001001", "123456789", "20030115"};
        BarcodeReport r(values, width, height, TppBarCodeOrientation(orientation));
        const TppDocument doc = r.report.GeneratePages();
        QCOMPARE(doc.PageCount(), 1);
        QCOMPARE(decodeAll(doc.Pages[0], 300), values);
        QCOMPARE(decodeAll(doc.Pages[0], 600), values);
    }
#endif
};

CORVANE_TEST(TestBarcode)
#include "tst_barcode.moc"

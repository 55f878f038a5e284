#include "testmain.h"
#include "report/Engine.h"
#include "report/ui/PreviewForm.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
// n pages, one labelled band a page.
struct PagesReport
{
    TppReport report;
    TppJITPipeline pipeline;
    explicit PagesReport(int pages)
    {
        pipeline.RecordCount = pages;
        pipeline.AddField("N", dtInteger);
        pipeline.OnGetFieldValue = [this](const QString &) -> QVariant { return pipeline.RecordIndex() + 1; };
        report.SetDataPipeline(&pipeline);
        report.Detail()->mmHeight = 260000;
        addDBText(report.Detail(), "txtN", 10000, 10000, 30000, 6000, "N", ppFont("Arial", 14));
        addBarCode(report.Detail(), "brcd", 10000, 30000, 60000, 8000)->Data = "IR0001001";
    }
};
}

class TestPreviewForm : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        SetPreviewHandler(nullptr);
        SetPrinterHandler(nullptr);
        TppPreviewForm::PrintDialogHook = nullptr;
        TppPreviewForm::SaveFileDialogHook = nullptr;
    }
    void longDocumentRendersOnlyWhatIsSeen()
    {
        PagesReport r(1000);
        TppDocument doc = r.report.GeneratePages();
        QCOMPARE(doc.PageCount(), 1000);
        QElapsedTimer t;
        t.start();
        TppPreviewForm form(&r.report, std::move(doc));
        form.resize(1000, 700);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.repaint();
        QVERIFY2(t.elapsed() < 3000, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(form.PageCount(), 1000);
        QCOMPARE(form.ZoomPercentage(), 100);
        QCOMPARE(form.CurrentPage(), 1);
        QVERIFY(form.RenderedPageCount() >= 1);
        QVERIFY(form.RenderedPageCount() <= 2);
        for (int page : {500, 999, 3, 1000, 250, 750, 10, 20, 30, 40}) {
            form.GotoPage(page);
            form.repaint();
            QCOMPARE(form.CurrentPage(), page);
        }
        QVERIFY(form.RenderedPageCount() <= 8);   // a bounded cache, whatever was browsed
        form.GotoPage(5000);
        QCOMPARE(form.CurrentPage(), 1000);
        form.FirstPage();
        form.NextPage();
        QCOMPARE(form.CurrentPage(), 2);
        form.SetZoomPercentage(50);
        QCOMPARE(form.ZoomPercentage(), 50);
        QCOMPARE(form.CurrentPage(), 2);   // zooming keeps the page
    }
    void savesAndPrintsFromThePreview()
    {
        QTemporaryDir dir;
        PagesReport r(3);
        QStringList devices;
        r.report.BeforePrint = [&] { devices.append(r.report.DeviceType); };
        TppDocument doc = r.report.GeneratePages();
        TppPreviewForm form(&r.report, std::move(doc));
        const QString pdf = dir.filePath("saved.pdf");
        TppPreviewForm::SaveFileDialogHook = [&](QWidget *) { return pdf; };
        form.SaveAsPdf();
        QFile f(pdf);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.read(5) == "%PDF-");

        // printing runs the report again for the printer device
        const QString printed = dir.filePath("printed.pdf");
        TppPreviewForm::PrintDialogHook = [&](QPrinter &printer, QWidget *) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(printed);
            return true;
        };
        form.Print();
        QCOMPARE(devices, QStringList({"Screen", "Printer"}));
        QCOMPARE(r.report.DeviceType, QString("Screen"));
        QVERIFY(QFile::exists(printed));
        // a cancelled dialog prints nothing
        TppPreviewForm::PrintDialogHook = [&](QPrinter &, QWidget *) { return false; };
        form.Print();
        QCOMPARE(devices.size(), 2);
    }
    void printGoesThroughTheDeviceHandlers()
    {
        PagesReport r(2);
        int previews = 0, printed = 0, pagesSeen = 0;
        bool previewCreated = false;
        r.report.OnPreviewFormCreate = [&] {
            previewCreated = true;
            r.report.PreviewFormSettings.ZoomPercentage = 100;
        };
        SetPreviewHandler([&](TppReport &, TppDocument &doc) { ++previews; pagesSeen = doc.PageCount(); });
        SetPrinterHandler([&](TppReport &, TppDocument &) { ++printed; });
        r.report.Print();
        QCOMPARE(previews, 1);
        QCOMPARE(printed, 0);
        QCOMPARE(pagesSeen, 2);
        QVERIFY(previewCreated);
        r.report.DeviceType = "Printer";
        r.report.Print();
        QCOMPARE(previews, 1);
        QCOMPARE(printed, 1);
    }
    void previewWindowReturnsWhenClosed()
    {
        PagesReport r(2);
        InstallPreviewWindow();
        bool sawForm = false;
        QTimer::singleShot(200, [&] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *form = qobject_cast<TppPreviewForm *>(w); form && form->isVisible()) {
                    sawForm = form->PageCount() == 2 && form->ZoomPercentage() == 100;
                    form->close();
                }
        });
        r.report.Print();   // returns only after the window closed
        QVERIFY(sawForm);
    }
};

CORVANE_TEST(TestPreviewForm)
#include "tst_preview.moc"

#include "testmain.h"
#include "report/Engine.h"
#include "report/ui/PreviewForm.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGraphicsView>
#include <QLineEdit>
#include <QSpinBox>
#include <QToolBar>
#include <QPrinter>
#include <QTemporaryDir>
#include <QSignalSpy>
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

// Landscape Letter pages, as the custody document and the register print.
struct LandscapeReport : PagesReport
{
    explicit LandscapeReport(int pages) : PagesReport(pages)
    {
        report.PrinterSetup.Orientation = poLandscape;
        report.Detail()->mmHeight = 190000;
    }
};

// Presses the tool bar button of a preview action, as the user clicks it.
void ClickAction(TppPreviewForm &form, const char *name)
{
    auto *action = form.findChild<QAction *>(QLatin1String(name));
    QVERIFY2(action, name);
    QToolBar *bar = form.findChild<QToolBar *>("tbPreview");
    QWidget *button = bar->widgetForAction(action);
    QVERIFY2(button, name);
    QTest::mouseClick(button, Qt::LeftButton);
}

int PageBox(TppPreviewForm &form) { return form.findChild<QSpinBox *>("edtPage")->value(); }

// Types a page number into the page box and presses Enter.
void TypePage(TppPreviewForm &form, int page)
{
    auto *box = form.findChild<QSpinBox *>("edtPage");
    QLineEdit *edit = box->findChild<QLineEdit *>();
    edit->selectAll();
    QTest::keyClicks(edit, QString::number(page));
    QTest::keyClick(edit, Qt::Key_Return);
}
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
    // The print dialog opens on the queue the product last went to, else the system's default,
    // else the first queue that is no label printer (labels: the first label printer).
    void proposedPrinter_data()
    {
        QTest::addColumn<QString>("last");
        QTest::addColumn<QString>("systemDefault");
        QTest::addColumn<bool>("labels");
        QTest::addColumn<QString>("proposed");
        QTest::newRow("last used") << "Office" << "Forms" << false << "Office";
        QTest::newRow("last gone: default") << "Removed" << "Forms" << false << "Forms";
        QTest::newRow("default") << "" << "Forms" << false << "Forms";
        QTest::newRow("no default: no label printer") << "" << "" << false << "Forms";
        QTest::newRow("labels, no default: label printer") << "" << "" << true << "Bottle_Labels";
        QTest::newRow("labels, default") << "" << "Office" << true << "Office";
    }
    void proposedPrinter()
    {
        QFETCH(QString, last);
        QFETCH(QString, systemDefault);
        QFETCH(bool, labels);
        QFETCH(QString, proposed);
        // as CUPS lists them: alphabetically, the label printers first here
        const QList<TppPreviewForm::TPrintQueue> queues = {
            {"Bottle_Labels", "Brother QL-820NWB"}, {"Forms", "HP LaserJet"}, {"Office", "Generic PostScript"},
            {"Zebra_GK420", "Zebra ZPL Label Printer"}};
        QCOMPARE(TppPreviewForm::ProposedPrinter(last, queues, systemDefault, labels), proposed);
        QVERIFY(TppPreviewForm::IsLabelPrinter(queues[0]));
        QVERIFY(!TppPreviewForm::IsLabelPrinter(queues[1]));
        QCOMPARE(TppPreviewForm::ProposedPrinter(last, {}, systemDefault, labels), QString());
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
    // The page box names the page paged to, also where the last pages all fit in the window
    // and the view cannot scroll them to its top.
    void pageBoxFollowsPagingAtTheEnd()
    {
        LandscapeReport two(2);
        TppPreviewForm form(&two.report, two.report.GeneratePages());
        form.resize(1280, 800);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.SetZoomPercentage(100);
        form.FirstPage();
        QCOMPARE(PageBox(form), 1);
        ClickAction(form, "actNextPage");
        QCOMPARE(form.CurrentPage(), 2);
        QCOMPARE(PageBox(form), 2);
        ClickAction(form, "actPriorPage");
        QCOMPARE(PageBox(form), 1);

        PagesReport many(832);
        TppPreviewForm whole(&many.report, many.report.GeneratePages());
        whole.resize(1280, 800);
        whole.show();
        QVERIFY(QTest::qWaitForWindowExposed(&whole));
        whole.ZoomToWholePage();
        whole.FirstPage();
        ClickAction(whole, "actLastPage");
        QCOMPARE(whole.CurrentPage(), 832);
        QCOMPARE(PageBox(whole), 832);
        ClickAction(whole, "actPriorPage");
        QCOMPARE(PageBox(whole), 831);
        ClickAction(whole, "actFirstPage");
        QCOMPARE(PageBox(whole), 1);
        for (int page : {832, 831, 2, 500}) {
            TypePage(whole, page);
            QCOMPARE(whole.CurrentPage(), page);
            QCOMPARE(PageBox(whole), page);
        }
        // Scrolling by hand: the page taking most of the window becomes the current one.
        whole.LastPage();
        whole.ScrollBy(-100000);
        QCOMPARE(whole.CurrentPage(), whole.MostVisiblePage());
        QCOMPARE(PageBox(whole), whole.MostVisiblePage());
        QVERIFY(whole.CurrentPage() < 832);
    }

    // Page Up and Down, Home and End page through the document; Escape closes the window.
    void keysPageAndClose()
    {
        PagesReport r(5);
        TppPreviewForm form(&r.report, r.report.GeneratePages());
        form.resize(1000, 700);
        form.show();
        QApplication::setActiveWindow(&form);
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QWidget *view = form.findChild<QGraphicsView *>("gvPages");
        view->setFocus();
        form.FirstPage();
        QTest::keyClick(view, Qt::Key_PageDown);
        QCOMPARE(form.CurrentPage(), 2);
        QTest::keyClick(view, Qt::Key_PageDown);
        QCOMPARE(PageBox(form), 3);
        QTest::keyClick(view, Qt::Key_End);
        QCOMPARE(PageBox(form), 5);
        QTest::keyClick(view, Qt::Key_PageUp);
        QCOMPARE(PageBox(form), 4);
        QTest::keyClick(view, Qt::Key_Home);
        QCOMPARE(PageBox(form), 1);
        QSignalSpy closed(&form, &TppPreviewForm::closed);
        QTest::keyClick(view, Qt::Key_Escape);
        QCOMPARE(closed.size(), 1);
        QVERIFY(!form.isVisible());
    }

    // The window, the suggested PDF file, its title and the print job carry the document's name.
    void namedAfterTheDocument()
    {
        QTemporaryDir dir;
        PagesReport r(2);
        const QString name = QStringLiteral("DD Form 2624 - batch 0001");
        r.report.PrinterSetup.DocumentName = name;
        TppPreviewForm form(&r.report, r.report.GeneratePages());
        QCOMPARE(form.windowTitle(), name);

        QString suggested;
        QTimer::singleShot(0, [&suggested] {
            QFileDialog *dialog = nullptr;
            QTRY_VERIFY((dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())));
            suggested = QFileInfo(dialog->selectedFiles().value(0)).fileName();
            dialog->reject();
        });
        form.SaveAsPdf();
        QCOMPARE(suggested, name + ".pdf");

        const QString pdf = dir.filePath("saved.pdf");
        QVERIFY(form.SaveAsPdf(pdf));
        QFile f(pdf);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        // the document information's title, as UTF-16 with its byte order mark
        QByteArray title("\xFE\xFF", 2);
        for (QChar c : name)
            title += char(c.unicode() >> 8), title += char(c.unicode() & 0xFF);
        QVERIFY(bytes.contains("/Title"));
        QVERIFY(bytes.contains(title));

        QString job;
        TppPreviewForm::PrintDialogHook = [&job](QPrinter &printer, QWidget *) {
            job = printer.docName();
            return false;
        };
        form.Print();
        QCOMPARE(job, name);
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

// Measures a 1,000-page document: generation, PDF export (time, peak memory, size) and the
// preview opening at page 1. With --shot FILE it shows one synthetic page in the preview and
// saves a screenshot of the window.
#include "SyntheticReport.h"

#include "report/ui/PreviewForm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>

static long peakRssKb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

static long currentRssKb()
{
    FILE *f = std::fopen("/proc/self/statm", "r");
    long pages = 0, rss = 0;
    if (f) {
        if (std::fscanf(f, "%ld %ld", &pages, &rss) != 2)
            rss = 0;
        std::fclose(f);
    }
    return rss * 4;
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int shotAt = int(args.indexOf("--shot"));
    if (shotAt > 0 && shotAt + 1 < args.size()) {
        SyntheticReport r(3);
        TppDocument doc = r.report.GeneratePages();
        TppPreviewForm form(&r.report, std::move(doc));
        form.ShowMaximized();
        form.SetZoomPercentage(100);
        QTimer::singleShot(300, [&] { form.ScrollBy(560); });
        QTimer::singleShot(1500, [&] {
            QApplication::primaryScreen()->grabWindow(0).save(args[shotAt + 1]);
            form.grab().save(QString(args[shotAt + 1]).replace(".png", "-window.png"));
            app.quit();
        });
        return app.exec();
    }

    const int pdfAt = int(args.indexOf("--pdf"));
    if (pdfAt > 0 && pdfAt + 1 < args.size()) {
        SyntheticReport r(3);
        return ExportToPdf(r.report.GeneratePages(), args[pdfAt + 1]) ? 0 : 1;
    }
    const int pages = args.size() > 1 ? args[1].toInt() : 1000;
    QTemporaryDir dir;
    const QString pdf = dir.filePath("bench.pdf");
    const long rss0 = currentRssKb();

    QElapsedTimer t;
    t.start();
    SyntheticReport r(pages);
    TppDocument doc = r.report.GeneratePages();
    const qint64 genMs = t.elapsed();
    const long rssDoc = currentRssKb();

    t.restart();
    ExportToPdf(doc, pdf);
    const qint64 pdfMs = t.elapsed();
    const long peakAfterPdf = peakRssKb();

    t.restart();
    {
        TppPreviewForm form(&r.report, std::move(doc));
        form.resize(1280, 800);
        form.show();
        form.FirstPage();
        app.processEvents();
        form.repaint();
        app.processEvents();
        const qint64 previewMs = t.elapsed();
        form.LastPage();
        app.processEvents();
        form.repaint();
        for (int i = 0; i < 50; ++i) {
            form.GotoPage(i * 20 + 1);
            form.repaint();
        }
        app.processEvents();
        std::printf("preview: page 1 shown after %lld ms; pages holding an image after browsing 50 pages: %d\n",
                    previewMs, form.RenderedPageCount());
    }
    std::printf("pages: %d\n", pages);
    std::printf("generate: %lld ms, display lists %ld KB\n", genMs, rssDoc - rss0);
    std::printf("pdf export: %lld ms, %.1f MB\n", pdfMs, QFileInfo(pdf).size() / 1048576.0);
    std::printf("peak memory after export: %.1f MB; after preview browsing: %.1f MB\n", peakAfterPdf / 1024.0,
                peakRssKb() / 1024.0);
    return 0;
}

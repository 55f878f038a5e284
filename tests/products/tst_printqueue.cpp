#include "testmain.h"
#include "tst_rbfixture.h"

#include "app/Settings.h"
#include "products/LabelShift.h"
#include "products/RB2624Front.h"
#include "products/RBBottleLabels.h"
#include "report/ui/PreviewForm.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTransform>

using namespace rbtest;

namespace {
const QString Queue = QStringLiteral("CorvanePDF");
const QString LabelQueue = QStringLiteral("CorvaneLabels");   // labels have their own printer

void PrintTo(const QString &queue)
{
    TppPreviewForm::PrintDialogHook = [queue](QPrinter &printer, QWidget *) {
        printer.setPrinterName(queue);
        return true;
    };
}

// The printer the print dialog would open on for a report.
QString PresetFor(TppReport *report, const TppDocument &doc)
{
    QString preset;
    TppPreviewForm::PrintDialogHook = [&](QPrinter &printer, QWidget *) {
        preset = printer.printerName();
        return false;
    };
    TppPreviewForm form(report, doc);
    form.Print();
    return preset;
}

QString Run(const QString &program, const QStringList &args, int *status = nullptr, QString *err = nullptr)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(120000))
        p.kill();
    if (status)
        *status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    if (err)
        *err = QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

// The PDF cups-pdf wrote for a job title (it names the file after the title).
QString WaitForOutput(const QStringList &folders, const QString &title, const QDateTime &after)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 60000) {
        for (const QString &folder : folders) {
            const QFileInfoList found = QDir(folder).entryInfoList({title + QStringLiteral("*.pdf")}, QDir::Files,
                                                                   QDir::Time);
            // a file still being written is younger than a second
            if (!found.isEmpty() && found.first().lastModified() >= after
                && found.first().lastModified().msecsTo(QDateTime::currentDateTime()) > 1000 && found.first().size() > 0)
                return found.first().absoluteFilePath();
        }
        QTest::qWait(250);
    }
    return QString();
}

// Every barcode of a document page, decoded with zbarimg from the printed page: each symbol is
// cropped on its own, since zbar reports equal symbols of one image once.
QStringList DecodeAt(const QImage &img, const TppPage &page, const QString &workDir)
{
    const double kx = img.width() / double(page.mmWidth), ky = img.height() / double(page.mmHeight);
    QStringList out;
    int n = 0;
    for (const TppDrawBarCode *bc : Commands<TppDrawBarCode>(page)) {
        const int quiet = 3000;
        QRect r(int((bc->mmLeft - quiet) * kx), int((bc->mmTop - quiet) * ky), int((bc->mmWidth + 2 * quiet) * kx),
                int((bc->mmHeight + 2 * quiet) * ky));
        const QString file = QStringLiteral("%1/crop%2.png").arg(workDir).arg(n++);
        img.copy(r.intersected(img.rect())).save(file);
        const QString text = Run(QStringLiteral("zbarimg"), {QStringLiteral("--raw"), QStringLiteral("-q"),
                                                             QStringLiteral("-Sdisable"), QStringLiteral("-Scode128.enable"), file});
        out << (text.isEmpty() ? QStringLiteral("<no barcode>") : text);
    }
    return out;
}

// Every barcode of a document page, decoded with zbarimg from the printed page: each symbol is
// cropped on its own, since zbar reports equal symbols of one image once.
QStringList DecodePrinted(const QImage &printed, const TppPage &page, const QString &workDir)
{
    const bool pageLandscape = page.mmWidth > page.mmHeight;
    if ((printed.width() > printed.height()) == pageLandscape)
        return DecodeAt(printed, page, workDir);
    // a landscape page comes back from the queue turned onto portrait paper; which way round
    // is the driver's choice
    QStringList best;
    for (int angle : {90, -90}) {
        const QStringList found = DecodeAt(printed.transformed(QTransform().rotate(angle)), page, workDir);
        if (best.isEmpty() || found.count(QStringLiteral("<no barcode>")) < best.count(QStringLiteral("<no barcode>")))
            best = found;
    }
    return best;
}

QStringList Expected(const TppPage &page)
{
    QStringList out;
    for (const TppDrawBarCode *bc : Commands<TppDrawBarCode>(page))
        out << bc->Data;
    return out;
}
} // namespace

// Prints through the preview's print path to a real CUPS queue (the cups-pdf virtual printer)
// and reads every barcode back from the PDF the queue wrote.
class TestPrintQueue : public QObject
{
    Q_OBJECT
    ArmyProfile m_profile;
    QStringList m_outputFolders;
    QList<TppDocument> m_previewed;

private slots:
    void initTestCase()
    {
        int status = 0;
        QString err;
        const QString script = QStringLiteral(TEST_DATA_DIR "/../../scripts/cups-queue.sh");
        QString out;
        for (const QString &queue : {LabelQueue, Queue}) {
            out = Run(QStringLiteral("bash"), {script, queue}, &status, &err);
            if (status != 0)
                QSKIP(qPrintable(QStringLiteral("no CUPS queue to print to: ") + err));
        }
        if (Run(QStringLiteral("zbarimg"), {QStringLiteral("--version")}).isEmpty())
            QSKIP("zbarimg is not installed (package zbar-tools)");
        m_outputFolders << out << QDir::homePath() + QStringLiteral("/PDF")
                        << QStringLiteral("/var/spool/cups-pdf/ANONYMOUS");
        m_profile.Install();
        EditionSuffix = QStringLiteral("L");
        // the preview window prints as the user would, with the queue chosen in the dialog
        SetPreviewHandler([this](TppReport &report, TppDocument &doc) {
            m_previewed.append(doc);
            TppPreviewForm form(&report, doc);
            form.Print();
        });
    }
    void cleanupTestCase()
    {
        TppPreviewForm::PrintDialogHook = nullptr;
        SetPreviewHandler(nullptr);
        SetLabelPositionPrompt(nullptr);
        SetLabelShiftSource(nullptr);
        m_profile.Remove();
    }

    void frontAndLabelsThroughTheQueue()
    {
        const QString stamp = QString::number(QDateTime::currentMSecsSinceEpoch());
        const QDateTime started = QDateTime::currentDateTime().addSecs(-2);
        TestRun run(14);   // two custody sheets, two label sheets

        Trpt2624Front front;
        front.pprpt2624Front->PrinterSetup.DocumentName = QStringLiteral("CorvaneFront") + stamp;
        m_previewed.clear();
        PrintTo(Queue);
        front.Print(&run.Forms, &run.FormMembers);
        QCOMPARE(m_previewed.size(), 1);
        const TppDocument frontDoc = m_previewed.first();
        QCOMPARE(LastPrinterFor(QStringLiteral("pprpt2624Front")), Queue);
        QStringList shiftAskedFor;
        SetLabelShiftSource([&](const QString &printer) {
            shiftAskedFor << printer;
            return TLabelShift();
        });
        SetLabelPositionPrompt([](int, QString &position) {
            position = QStringLiteral("1");
            return true;
        });
        TrptBottleLabels labels;
        labels.pprptBottleLabel->PrinterSetup.DocumentName = QStringLiteral("CorvaneLabels") + stamp;
        m_previewed.clear();
        PrintTo(LabelQueue);
        QVERIFY2(labels.Print(&run.History, 14), "the labels went to a printer");
        QCOMPARE(m_previewed.size(), 1);
        const TppDocument labelDoc = m_previewed.first();
        // the preview is laid out for the default printer, the print for the queue chosen
        QCOMPARE(shiftAskedFor, QStringList({"Default", LabelQueue}));
        QCOMPARE(LastPrinterFor(QStringLiteral("pprptBottleLabel")), LabelQueue);
        // each product's print dialog opens on the printer it last went to
        QCOMPARE(PresetFor(front.pprpt2624Front.get(), frontDoc), Queue);
        QCOMPARE(PresetFor(labels.pprptBottleLabel.get(), labelDoc), LabelQueue);

        QTemporaryDir work;
        struct Job { QString Title; const TppDocument *Doc; };
        for (const Job &job : {Job{QStringLiteral("CorvaneFront") + stamp, &frontDoc},
                               Job{QStringLiteral("CorvaneLabels") + stamp, &labelDoc}}) {
            const QString pdf = WaitForOutput(m_outputFolders, job.Title, started);
            QVERIFY2(!pdf.isEmpty(), qPrintable("cups-pdf wrote no file for " + job.Title + " in "
                                                + m_outputFolders.join(", ")));
            const QString prefix = work.filePath(job.Title);
            int status = 0;
            Run(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("300"), QStringLiteral("-gray"),
                                             QStringLiteral("-png"), pdf, prefix}, &status);
            QCOMPARE(status, 0);
            QStringList pages = QDir(work.path()).entryList({job.Title + QStringLiteral("*.png")}, QDir::Files,
                                                            QDir::Name);
            QCOMPARE(pages.size(), job.Doc->PageCount());
            int decoded = 0;
            for (int i = 0; i < pages.size(); ++i) {
                const QImage img(work.filePath(pages.at(i)));
                QVERIFY(!img.isNull());
                const TppPage &page = job.Doc->Pages[size_t(i)];
                const QStringList expected = Expected(page);
                QVERIFY(!expected.isEmpty());
                QCOMPARE(DecodePrinted(img, page, work.path()), expected);
                decoded += int(expected.size());
            }
            qInfo("%s: %d barcodes decoded from %s", qPrintable(job.Title), decoded, qPrintable(pdf));
            QFile::remove(pdf);
        }
    }
};

CORVANE_TEST(TestPrintQueue)
#include "tst_printqueue.moc"

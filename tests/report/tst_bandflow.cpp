#include "testmain.h"
#include "reporttest.h"
#include "report/Engine.h"
#include "report/ui/PreviewForm.h"
#include "app/ui/Dialogs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

namespace {
// Records 1..n with a group key per record.
struct KeyedRows
{
    TppJITPipeline pipeline;
    QStringList keys;
    explicit KeyedRows(const QStringList &k) : keys(k)
    {
        pipeline.UserName = "Rows";
        pipeline.AddField("Row", dtInteger);
        pipeline.AddField("Key", dtString);
        pipeline.RecordCount = int(keys.size());
        pipeline.OnGetFieldValue = [this](const QString &name) -> QVariant {
            const int i = pipeline.RecordIndex();
            if (name.compare("Row", Qt::CaseInsensitive) == 0)
                return i + 1;
            if (name.compare("Key", Qt::CaseInsensitive) == 0)
                return keys.value(i);
            return QVariant();
        };
    }
};

#ifdef Q_OS_UNIX
// A file-size limit on this process for one scope: writes past it fail (EFBIG) as on a
// full disk. Only the soft limit moves, so it can be put back without privileges.
struct FileSizeLimit
{
    rlimit saved{};
    void (*savedHandler)(int) = nullptr;
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved);
        savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit l = saved;
        l.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &l);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, savedHandler);
    }
};
#endif

// A report of many pages, so that its PDF is far larger than a small limit.
struct LongReport
{
    TppReport report;
    KeyedRows rows{QStringList(400, "k")};
    LongReport()
    {
        report.SetDataPipeline(&rows.pipeline);
        report.Detail()->mmHeight = 6000;
        addDBText(report.Detail(), "dbtRow", 1000, 1000, 40000, 4000, "Row");
        addBarCode(report.Detail(), "brcd", 50000, 500, 60000, 5000)->Data = "IR0001001";
    }
};
} // namespace

class TestBandFlow : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        SetErrorBoxHook({});
        TppPreviewForm::SaveFileDialogHook = nullptr;
    }

    // Four records in groups a, a, b, b: each footer shows its own group's last record.
    void groupFooterSeesItsGroupsLastRecord()
    {
        TppReport report;
        KeyedRows rows({"a", "a", "b", "b", "c"});
        report.SetDataPipeline(&rows.pipeline);
        report.Detail()->mmHeight = 5000;
        addDBText(report.Detail(), "dbtRow", 0, 0, 20000, 4000, "Row");
        TppGroup *g = report.AddGroup("Group1", "Key", btDataField, false);
        g->Header()->mmHeight = 5000;
        addDBText(g->Header(), "dbtHeadRow", 0, 0, 20000, 4000, "Row");
        g->Footer()->mmHeight = 5000;
        addDBText(g->Footer(), "dbtFootRow", 0, 0, 20000, 4000, "Row");
        addDBText(g->Footer(), "dbtFootKey", 30000, 0, 20000, 4000, "Key");
        const TppDocument doc = report.GeneratePages();
        QCOMPARE(doc.PageCount(), 1);
        QCOMPARE(textsOf(doc.Pages[0], "dbtRow"), QStringList({"1", "2", "3", "4", "5"}));
        QCOMPARE(textsOf(doc.Pages[0], "dbtHeadRow"), QStringList({"1", "3", "5"}));
        QCOMPARE(textsOf(doc.Pages[0], "dbtFootRow"), QStringList({"2", "4", "5"}));
        QCOMPARE(textsOf(doc.Pages[0], "dbtFootKey"), QStringList({"a", "b", "c"}));
        // and the footer stands after its group's last detail, before the next header
        const auto details = commandsOf(doc.Pages[0], "dbtRow");
        const auto footers = commandsOf(doc.Pages[0], "dbtFootRow");
        const auto headers = commandsOf(doc.Pages[0], "dbtHeadRow");
        QVERIFY(footers[0]->mmTop > details[1]->mmTop);
        QVERIFY(footers[0]->mmTop < headers[1]->mmTop);
    }

    // The same inside a sub-report walking the detail records of each master record.
    void childGroupFooterSeesItsGroupsLastRecord()
    {
        TppReport report;
        TppJITPipeline master;
        master.AddField("ID", dtInteger);
        master.RecordCount = 1;
        master.OnGetFieldValue = [](const QString &) -> QVariant { return 0; };
        report.SetDataPipeline(&master);
        KeyedRows rows({"a", "a", "a", "b"});
        report.Detail()->mmHeight = 10000;
        report.Detail()->PrintHeight = phDynamic;
        TppSubReport *sub = addSubReport(report.Detail(), "sub", 0, 0, 100000, 5000);
        TppChildReport *child = sub->Report();
        child->SetDataPipeline(&rows.pipeline);
        child->Detail()->mmHeight = 5000;
        addDBText(child->Detail(), "dbtRow", 0, 0, 20000, 4000, "Row");
        TppGroup *g = child->AddGroup("Group1", "Key", btDataField, false);
        g->Footer()->mmHeight = 5000;
        addDBText(g->Footer(), "dbtFootRow", 0, 0, 20000, 4000, "Row");
        const TppDocument doc = report.GeneratePages();
        QCOMPARE(textsOf(doc.Pages[0], "dbtFootRow"), QStringList({"3", "4"}));
    }

    // Page header, detail and page footer: rows per page follow from the heights, the footer
    // sits at the page's foot below the last row, and a detail print position lower than the
    // header's foot keeps the first row under the header.
    void headerDetailAndFooterShareThePage()
    {
        TppReport report;
        KeyedRows rows(QStringList(50, "k"));
        report.SetDataPipeline(&rows.pipeline);
        report.Header()->mmHeight = 30000;
        addLabel(report.Header(), "lblHead", 0, 0, 50000, 5000, "Head");
        report.Detail()->mmHeight = 10000;
        report.Detail()->mmPrintPosition = 20000;   // inside the header: the header wins
        addDBText(report.Detail(), "dbtRow", 0, 0, 20000, 4000, "Row");
        report.Footer()->mmHeight = 15000;
        addLabel(report.Footer(), "lblFoot", 0, 0, 50000, 5000, "Foot");
        const TppDocument doc = report.GeneratePages();
        // (279401 - 2 * 6350 - 30000 - 15000) / 10000 = 22.17: 22 rows a page
        QCOMPARE(doc.PageCount(), 3);
        QCOMPARE(commandsOf(doc.Pages[0], "dbtRow").size(), 22);
        QCOMPARE(commandsOf(doc.Pages[1], "dbtRow").size(), 22);
        QCOMPARE(commandsOf(doc.Pages[2], "dbtRow").size(), 6);
        QCOMPARE(textsOf(doc.Pages[1], "dbtRow").first(), QString("23"));
        QCOMPARE(textsOf(doc.Pages[2], "dbtRow").last(), QString("50"));
        const int footTop = 279401 - 6350 - 15000;
        for (const TppPage &page : doc.Pages) {
            QCOMPARE(commandsOf(page, "lblHead").size(), 1);
            QCOMPARE(commandsOf(page, "lblHead").first()->mmTop, 6350);
            QCOMPARE(commandsOf(page, "lblFoot").size(), 1);
            QCOMPARE(commandsOf(page, "lblFoot").first()->mmTop, footTop);
            const auto details = commandsOf(page, "dbtRow");
            QCOMPARE(details.first()->mmTop, 6350 + 30000);
            QVERIFY(details.last()->mmTop + 10000 <= footTop);
        }
        // A print position below the header places the first row of every page there.
        report.Detail()->mmPrintPosition = 60000;
        const TppDocument lower = report.GeneratePages();
        for (const TppPage &page : lower.Pages)
            QCOMPARE(commandsOf(page, "dbtRow").first()->mmTop, 60000);
        QCOMPARE(commandsOf(lower.Pages[0], "dbtRow").size(), (279401 - 6350 - 15000 - 60000) / 10000);
    }

    // A write that fails part-way is an error with the system's reason, and leaves no file.
    void pdfExportReportsAFullDisk()
    {
        LongReport r;
        const TppDocument doc = r.report.GeneratePages();
        QString error;
#ifdef Q_OS_LINUX
        QVERIFY(!ExportToPdf(doc, "/dev/full", &error));
        QVERIFY2(error.contains("No space left on device"), qPrintable(error));
        QVERIFY(QFileInfo("/dev/full").exists());   // a device is never removed
#endif
#ifdef Q_OS_UNIX
        QTemporaryDir dir;
        const QString pdf = dir.filePath("cut.pdf");
        {
            FileSizeLimit limit(20000);
            QVERIFY(!ExportToPdf(doc, pdf, &error));
        }
        QVERIFY2(error.contains("too large", Qt::CaseInsensitive), qPrintable(error));
        QVERIFY(!QFile::exists(pdf));
        QVERIFY(ExportToPdf(doc, pdf, &error));   // the same document fits without the limit
        QVERIFY(QFileInfo(pdf).size() > 20000);
#endif
    }

    void previewSaveShowsTheErrorAndRemovesThePartialFile()
    {
#ifdef Q_OS_UNIX
        LongReport r;
        TppPreviewForm form(&r.report, r.report.GeneratePages());
        QTemporaryDir dir;
        const QString pdf = dir.filePath("saved.pdf");
        TppPreviewForm::SaveFileDialogHook = [&](QWidget *) { return pdf; };
        QStringList errors;
        SetErrorBoxHook([&](const QString &text) { errors.append(text); });
        {
            FileSizeLimit limit(20000);
            form.SaveAsPdf();
        }
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().startsWith(QString("Cannot write '%1': ").arg(pdf)), qPrintable(errors.first()));
        QVERIFY2(errors.first().contains("too large", Qt::CaseInsensitive), qPrintable(errors.first()));
        QVERIFY(!QFile::exists(pdf));
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden).size(), 0);
        // Without the limit the same save succeeds quietly.
        form.SaveAsPdf();
        QCOMPARE(errors.size(), 1);
        QVERIFY(QFile::exists(pdf));
#else
        QSKIP("needs a file-size limit");
#endif
    }
};

CORVANE_TEST(TestBandFlow)
#include "tst_bandflow.moc"

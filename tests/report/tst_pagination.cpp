#include "testmain.h"
#include "reporttest.h"
#include "report/Engine.h"

#include <QTest>

namespace {
TppJITPipeline *rowsPipeline(TppJITPipeline &p, int count)
{
    p.UserName = "Rows";
    p.AddField("Row", dtInteger);
    p.RecordCount = count;
    p.OnGetFieldValue = [&p](const QString &name) -> QVariant {
        if (name.compare("Row", Qt::CaseInsensitive) == 0)
            return p.RecordIndex() + 1;
        return QVariant();
    };
    return &p;
}
}

class TestPagination : public QObject
{
    Q_OBJECT
private slots:
    void rowsPerPageFollowFromBandHeights()
    {
        TppReport report;
        TppJITPipeline p;
        report.SetDataPipeline(rowsPipeline(p, 100));
        report.Header()->mmHeight = 23019;
        addLabel(report.Header(), "lblTitle", 0, 0, 50000, 5000, "Personnel");
        report.Detail()->mmHeight = 6879;
        addDBText(report.Detail(), "dbtRow", 1000, 1323, 20000, 4498, "Row");
        const TppDocument doc = report.GeneratePages();
        // (279401 - 2 * 6350 - 23019) / 6879 = 35.4: 35 rows a page
        QCOMPARE(doc.PageCount(), 3);
        QCOMPARE(countOf(doc.Pages[0], "dbtRow"), 35);
        QCOMPARE(countOf(doc.Pages[1], "dbtRow"), 35);
        QCOMPARE(countOf(doc.Pages[2], "dbtRow"), 30);
        for (const TppPage &page : doc.Pages)
            QCOMPARE(countOf(page, "lblTitle"), 1);
        QCOMPARE(textsOf(doc.Pages[1], "dbtRow").first(), QString("36"));
        QCOMPARE(textsOf(doc.Pages[2], "dbtRow").last(), QString("100"));
        // the first row sits right under the header, inside the top margin
        for (const auto &c : doc.Pages[0].Commands)
            if (c->ComponentName == "dbtRow") {
                QCOMPARE(c->mmTop, 6350 + 23019 + 1323);
                QCOMPARE(c->mmLeft, 6350 + 1000);
                break;
            }
        QVERIFY(!p.Active());   // closed after the run
        QCOMPARE(p.RecordIndex(), 0);
    }
    void emptyPipelinePrintsNoDetailAndNoGroup()
    {
        TppReport report;
        TppJITPipeline p;
        p.RecordCount = 0;
        int asked = 0;
        p.OnGetFieldValue = [&](const QString &) { ++asked; return QVariant(1); };
        report.SetDataPipeline(&p);
        report.Header()->mmHeight = 10000;
        addDBText(report.Header(), "dbtHeaderValue", 0, 0, 20000, 5000, "Row");
        addDBText(report.Detail(), "dbtRow", 0, 0, 20000, 5000, "Row");
        report.Detail()->mmHeight = 5000;
        TppGroup *g = report.AddGroup("Group1", "Row", btDataField, true);
        g->Header()->mmHeight = 3000;
        addLabel(g->Header(), "lblGroup", 0, 0, 1000, 1000, "G");
        const TppDocument doc = report.GeneratePages();
        QCOMPARE(doc.PageCount(), 1);
        QCOMPARE(countOf(doc.Pages[0], "dbtRow"), 0);
        QCOMPARE(countOf(doc.Pages[0], "lblGroup"), 0);
        QCOMPARE(countOf(doc.Pages[0], "dbtHeaderValue"), 1);
        QCOMPARE(asked, 0);   // a pipeline without records is never asked for data
    }
    void groupWithNewPageStartsPages()
    {
        TppReport report;
        TppJITPipeline p;
        p.AddField("FormID", dtInteger);
        p.RecordCount = 7;
        const QList<int> forms = {0, 0, 0, 1, 1, 2, 2};
        p.OnGetFieldValue = [&](const QString &name) -> QVariant {
            if (name == "FormID")
                return forms[p.RecordIndex()];
            return QVariant();
        };
        report.SetDataPipeline(&p);
        report.Detail()->mmHeight = 10000;
        addDBText(report.Detail(), "lblFormID", 0, 0, 10000, 4000, "FormID")->Visible = false;
        addLabel(report.Detail(), "lblRow", 0, 0, 10000, 4000, "row");
        TppGroup *g = report.AddGroup("Group1", "lblFormID", btCustomField, true);
        addLabel(g->Header(), "lblGroupHead", 0, 0, 10000, 4000, "head");
        g->Header()->mmHeight = 5000;
        int starts = 0;
        report.OnStartPage = [&] { ++starts; };
        const TppDocument doc = report.GeneratePages();
        QCOMPARE(doc.PageCount(), 3);
        QCOMPARE(starts, 3);
        QCOMPARE(countOf(doc.Pages[0], "lblRow"), 3);
        QCOMPARE(countOf(doc.Pages[1], "lblRow"), 2);
        QCOMPARE(countOf(doc.Pages[2], "lblRow"), 2);
        for (const TppPage &page : doc.Pages)
            QCOMPARE(countOf(page, "lblGroupHead"), 1);
        QCOMPARE(countOf(doc.Pages[0], "lblFormID"), 0);   // hidden, but it drives the group
    }
};

CORVANE_TEST(TestPagination)
#include "tst_pagination.moc"

#include "testmain.h"
#include "tst_rbfixture.h"

#include "products/RB2624Back.h"
#include "products/RB2624Front.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace rbtest;

namespace {

// Where a text's ink lies inside its box (one line per text line, by alignment).
QRect InkRect(const TppDrawText *t)
{
    const QStringList lines = t->Lines.isEmpty() ? QStringList{t->Text} : t->Lines;
    double w = 0;
    for (const QString &l : lines)
        w = std::max(w, TppPrintContext::TextWidth(t->Font, l));
    const int width = int(std::min<double>(w, t->Alignment == taLeftJustified ? w : t->mmWidth));
    int left = t->mmLeft;
    if (t->Alignment == taRightJustified)
        left = t->mmLeft + t->mmWidth - int(w);
    else if (t->Alignment == taCentered)
        left = t->mmLeft + (t->mmWidth - int(w)) / 2;
    const int height = int(lines.size() * TppPrintContext::LineHeight(t->Font) * 0.8);
    return QRect(left, t->mmTop, std::max(width, int(w)), height);
}

bool IsCaption(const TppDrawCommand *c)
{
    return c->ComponentName.startsWith(QLatin1String("lblFormCaption"));
}

} // namespace

class TestRB2624 : public QObject
{
    Q_OBJECT
    ArmyProfile m_profile;

private slots:
    void init()
    {
        m_profile.Install();
        EditionSuffix = QStringLiteral("L");
    }
    void cleanup() { m_profile.Remove(); }

    void sheetBarcodeVariants_data()
    {
        QTest::addColumn<int>("service");
        QTest::addColumn<QString>("edition");
        QTest::addColumn<QString>("batch");
        QTest::addColumn<QString>("uic");
        QTest::addColumn<QString>("bac");
        QTest::addColumn<QString>("expected");
        const QString d = "20030115";
        QTest::newRow("army example") << 1 << "L" << "7" << "AB1CD" << "HQ" << "533013200301150007AB1CDHQ  US";
        QTest::newRow("edition not L") << 1 << "" << "7" << "AB1CD" << "HQ" << "533003200301150007AB1CDHQ  US";
        QTest::newRow("short uic, batch 12") << 1 << "L" << "12" << "AB1" << "HQ" << "533013200301150012AB1  HQ  US";
        QTest::newRow("empty values") << 1 << "L" << "" << "" << "" << "53301320030115" "0000" "     " "    " "US";
        QTest::newRow("long uic moves the rest") << 1 << "L" << "1" << "AB1CDEF" << "HQ" << "533013200301150001AB1CDEFHQ  US";
        QTest::newRow("service 2") << 2 << "L" << "7" << "AB1CD" << "HQ" << "533011" + d + "0007" "0HQ" "0" "US";
        QTest::newRow("service 3") << 3 << "L" << "1234" << "AB1CD" << "HQ" << "533012" + d + "234" "AB1CD" "1" "US";
        QTest::newRow("service 4") << 4 << "L" << "7" << "AB1CD" << "HQ" << "533014" + d + "0007AB1CDHQ  US";
        QTest::newRow("service 5") << 5 << "L" << "7" << "AB1CD" << "HQ" << "533015" + d + "0007AB1CDHQ  US";
        QTest::newRow("service 6") << 6 << "L" << "7" << "AB1CD" << "HQ" << "533016" + d + "0007AB1CDHQ  US";
        QTest::newRow("other service") << 9 << "L" << "7" << "AB1CD" << "HQ" << "53301US";
    }
    void sheetBarcodeVariants()
    {
        QFETCH(int, service);
        QFETCH(QString, edition);
        QFETCH(QString, batch);
        QFETCH(QString, uic);
        QFETCH(QString, bac);
        QFETCH(QString, expected);
        QCOMPARE(Trpt2624Front::SheetBarcodeData(service, edition, QDate(2003, 1, 15), batch, uic, bac, "US"),
                 expected);
    }

    void memberBarcode()
    {
        QCOMPARE(Trpt2624Front::MemberBarcodeData("5", "123456789", "IR", "A"), QString("005123456789IRA"));
        QCOMPARE(Trpt2624Front::MemberBarcodeData("012", "1234", "I", ""), QString("012     1234 I "));
    }

    // 30 members from batch 7: three sheets, one page each, every barcode scans.
    void frontPagesAndBarcodes()
    {
        TestRun run(30, 7);
        PreviewCapture capture;
        {
            Trpt2624Front rpt;
            rpt.Print(&run.Forms, &run.FormMembers);
        }
        QCOMPARE(capture.Documents.size(), 1);
        QVERIFY(capture.Settings.first().Maximized);
        QCOMPARE(capture.Settings.first().ZoomPercentage, 100);
        const TppDocument &doc = capture.Documents.first();
        QCOMPARE(doc.PageCount(), 3);
        const QList<int> rows = {12, 12, 6};
        const QStringList batches = {"0007", "0008", "0009"};
        for (int page = 0; page < 3; ++page) {
            const TppPage &pg = doc.Pages[page];
            QVERIFY(pg.Landscape);
            const QStringList sheet = DecodeAll(pg, "lblbcTopBarcode");
            QCOMPARE(sheet, QStringList{"53301320030115" + batches[page] + "AB1CDHQ  US"});
            const QStringList members = DecodeAll(pg, "lblBCSSNBarcode");
            QCOMPARE(members.size(), rows[page]);
            for (int r = 0; r < rows[page]; ++r) {
                const Member &m = run.Members[page * 12 + r];
                QCOMPARE(members[r], m.SpecimenNumber + m.SSN + "IR" + TestInfoOf(m.Rank));
            }
        }
        // the documented example sheet and a member row of it
        QCOMPARE(DecodeAll(doc.Pages[0], "lblbcTopBarcode").first(), QString("533013200301150007AB1CDHQ  US"));
        QCOMPARE(DecodeAll(doc.Pages[0], "lblBCSSNBarcode").at(4), QString("005123460841IRA"));
    }

    void frontBlocks()
    {
        TestRun run(30, 7);
        PreviewCapture capture;
        Trpt2624Front rpt;
        rpt.Print(&run.Forms, &run.FormMembers);
        const TppDocument &doc = capture.Documents.first();
        for (int page = 0; page < 3; ++page) {
            const TppPage &pg = doc.Pages[page];
            QCOMPARE(Texts(pg, "dbtxtBatch"), QStringList{QString("000%1").arg(7 + page)});
            QCOMPARE(Texts(pg, "dbtxtDateCollected"), QStringList{"20030115"});
            QCOMPARE(Texts(pg, "dbtxtBAC"), QStringList{"HQ"});
            QCOMPARE(Texts(pg, "dbtxtServiceDes"), QStringList{"W"});
            QCOMPARE(Texts(pg, "dbtxtUIC"), QStringList{"AB1CD"});
            QCOMPARE(Texts(pg, "dbtxtLocation"), QStringList{"US"});
            QCOMPARE(Texts(pg, "lblVersion"), QStringList{"Version 533L"});
            QCOMPARE(Texts(pg, "dbmmBlock1"), QStringList{"HQ, 1ST BN, 5TH INF\nFORT EXAMPLE, VA 22000"});
            QCOMPARE(Texts(pg, "dbmmBlock2"), QStringList{"1ST BRIGADE COMBAT TEAM"});
            QVERIFY(Texts(pg, "lblFormID").isEmpty());     // drives the page break only
            QVERIFY(Texts(pg, "lblNoOthers").isEmpty());   // never under the Army profile
        }
        // member rows: specimen, SSN with hyphens, premise, test information, row by row
        const TppPage &first = doc.Pages[0];
        const QStringList specimens = Texts(first, "dbtxtSpecimenNumber");
        QCOMPARE(specimens.size(), 12);
        QCOMPARE(specimens.first(), QString("001"));
        QCOMPARE(specimens.last(), QString("012"));
        QCOMPARE(Texts(first, "dbtxtSSN").first(), QString("123-45-6789"));
        QCOMPARE(Texts(first, "dbtxtPremise"), QStringList(QList<QString>(12, "IR")));
        QCOMPARE(Texts(first, "dbtxtTestInfo").mid(0, 4), (QStringList{"A", "B", "A", "B"}));
        // rows stand 11976 apart, the first at 40480 under the top margin
        const auto ssn = Commands<TppDrawText>(first, "dbtxtSSN");
        QCOMPARE(ssn.first()->mmTop, 6350 + 40480 + 7144);
        QCOMPARE(ssn.last()->mmTop - ssn.first()->mmTop, 11 * 11976);
        QCOMPARE(Texts(doc.Pages[2], "dbtxtSpecimenNumber").size(), 6);
    }

    // A long block text prints whole inside the block, in smaller type but no smaller than 6
    // points; 255 capitals need more than that, and the block refuses them rather than drop lines.
    void longBlockTextFitsItsBlock()
    {
        const QString capitals = QString("HEADQUARTERS AND HEADQUARTERS COMPANY 1ST BATTALION ").repeated(5);
        QVERIFY(Trpt2624Front::BlockOverflowMessage(1, capitals.left(255)).contains("DD Form 2624 Block 1"));
        TestRun run(1);
        run.Block1 = capitals.left(200);
        QVERIFY(Trpt2624Front::BlockOverflowMessage(1, run.Block1).isEmpty());
        PreviewCapture capture;
        Trpt2624Front rpt;
        rpt.Print(&run.Forms, &run.FormMembers);
        const TppPage &pg = capture.Documents.first().Pages[0];
        const TppDrawText *memo = Commands<TppDrawText>(pg, "dbmmBlock1").first();
        QVERIFY(memo->Font.Size < 9);
        QVERIFY(memo->Font.Size >= 6);
        QCOMPARE(memo->Lines.join(' ').simplified(), run.Block1.simplified());
        QVERIFY(memo->Lines.size() * TppPrintContext::LineHeight(memo->Font) <= 12700 + 1);
        // a text that fits keeps the layout's 9 points
        QCOMPARE(Commands<TppDrawText>(pg, "dbmmBlock2").first()->Font.Size, 9.0);
    }

    void frontProfileSwitches()
    {
        m_profile->ShowUic = false;
        m_profile->ShowServiceDesignator = false;
        m_profile->ServiceCode = 3;
        TestRun run(13);
        PreviewCapture capture;
        Trpt2624Front rpt;
        rpt.Print(&run.Forms, &run.FormMembers);
        const TppDocument &doc = capture.Documents.first();
        QCOMPARE(doc.PageCount(), 2);
        QVERIFY(Texts(doc.Pages[0], "dbtxtUIC").isEmpty());
        QVERIFY(Texts(doc.Pages[0], "dbtxtServiceDes").isEmpty());
        // the no-others line follows a sheet that is not full, right under its last row
        QVERIFY(Texts(doc.Pages[0], "lblNoOthers").isEmpty());
        const QStringList noOthers = Texts(doc.Pages[1], "lblNoOthers");
        QCOMPARE(noOthers.size(), 1);
        QVERIFY(noOthers.first().startsWith("AND NO OTHERS - - -"));
        QCOMPARE(Trpt2624Front::NoOthersText().size(), 13 + 150);
        const auto row = Commands<TppDrawText>(doc.Pages[1], "dbtxtSSN");
        const auto line = Commands<TppDrawText>(doc.Pages[1], "lblNoOthers");
        QVERIFY(line.first()->mmTop > row.last()->mmTop);
        QVERIFY(line.first()->mmTop < row.last()->mmTop + 11976);
    }

    // The values sit in their blocks: nothing printed touches a caption of the form.
    void frontValuesClearOfCaptions()
    {
        TestRun run(12);
        PreviewCapture capture;
        Trpt2624Front rpt;
        rpt.Print(&run.Forms, &run.FormMembers);
        const TppPage &pg = capture.Documents.first().Pages[0];
        QList<QRect> captions;
        for (const TppDrawText *t : Commands<TppDrawText>(pg))
            if (IsCaption(t))
                captions.append(InkRect(t));
        QVERIFY(captions.size() > 25);
        int values = 0;
        for (const auto &c : pg.Commands) {
            if (IsCaption(c.get()) || dynamic_cast<const TppDrawImage *>(c.get()))
                continue;
            const auto *t = dynamic_cast<const TppDrawText *>(c.get());
            const QRect r = t ? InkRect(t) : Rect(c.get());
            if (r.isEmpty())
                continue;
            ++values;
            for (const QRect &cap : captions)
                QVERIFY2(!r.intersects(cap), qPrintable(c->ComponentName));
        }
        QVERIFY(values > 60);
    }

    void frontPdfIsSearchable()
    {
        const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
        if (pdftotext.isEmpty())
            QSKIP("pdftotext is not installed");
        TestRun run(30, 7);
        PreviewCapture capture;
        Trpt2624Front rpt;
        rpt.Print(&run.Forms, &run.FormMembers);
        QTemporaryDir dir;
        const QString pdf = dir.filePath("front.pdf");
        QVERIFY(ExportToPdf(capture.Documents.first(), pdf));
        QVERIFY(QFileInfo(pdf).size() < 400 * 1024);
        QProcess p;
        p.start(pdftotext, {"-layout", pdf, "-"});
        QVERIFY(p.waitForFinished(30000));
        const QString text = QString::fromUtf8(p.readAllStandardOutput());
        for (const char *s : {"SPECIMEN CUSTODY DOCUMENT - DRUG TESTING", "1. SUBMITTING UNIT",
                              "2. ADDITIONAL SERVICE INFORMATION (SECOND ECHELON)", "3. BASE/AREA CODE",
                              "4.UNIT IDENTIFICATION CODE", "5. DOCUMENT/BATCH NUMBER",
                              "6. DATE SPECIMEN COLLECTED", "YYYY MM DD", "11. PRESCREEN",
                              "A. LABORATORY CONDUCTING TESTING", "G. RESULT", "DD Form 2624, FEB 1993",
                              "123-45-6789", "Version 533L"})
            QVERIFY2(text.contains(QLatin1String(s)), s);
        QCOMPARE(text.count("DD Form 2624, FEB 1993"), 3);
    }

    void backPipeline()
    {
        Trpt2624Back rpt;
        TDD2624BackLines lines{{QDateTime(QDate(2003, 1, 15), QTime(9, 30)), "SGT DOE", "SPC ROE", "shipped"}};
        // answers during printing only; drive the pipeline by hand through a print
        PreviewCapture capture;
        rpt.Print(3, lines);
        QCOMPARE(rpt.JITPipeline.RecordCount, 6);
        const TppDocument &doc = capture.Documents.first();
        QCOMPARE(doc.PageCount(), 3);
        for (const TppPage &pg : doc.Pages) {
            QVERIFY(pg.Landscape);
            QCOMPARE(Texts(pg, "txtDate"), (QStringList{"030115", ""}));
            QCOMPARE(Texts(pg, "mmReleased"), (QStringList{"SGT DOE", ""}));
            QCOMPARE(Texts(pg, "mmReceived"), (QStringList{"SPC ROE", ""}));
            QCOMPARE(Texts(pg, "mmRemarks"), (QStringList{"shipped", ""}));
            // line (1) sits on the form's first custody line, under the 12700 header
            const auto date = Commands<TppDrawText>(pg, "txtDate");
            QCOMPARE(date.first()->mmTop, 6350 + 12700 + 8467);
            QCOMPARE(date.last()->mmTop - date.first()->mmTop, 18288);
        }
    }

    void backFieldRules()
    {
        Trpt2624Back rpt;
        TDD2624BackLines lines{{QDateTime(QDate(2003, 1, 15), QTime()), "", "", ""}};
        rpt.JITPipeline.RecordCount = 4;
        PreviewCapture capture;
        // outside a print the pipeline still answers for its index
        rpt.JITPipeline.Open();
        rpt.JITPipeline.SetRecordIndex(3);
        QCOMPARE(rpt.JITPipelineGetFieldValue("formid").toInt(), 1);
        QCOMPARE(rpt.JITPipelineGetFieldAsString("Date"), QString());   // no lines bound
        QCOMPARE(Trpt2624Back::CustodyDateText(QDateTime(QDate(1899, 12, 30), QTime())), QString());
        QCOMPARE(Trpt2624Back::CustodyDateText(QDateTime()), QString());
        QCOMPARE(Trpt2624Back::CustodyDateText(QDateTime(QDate(2010, 7, 4), QTime(23, 59))), QString("100704"));
        m_profile->CustodyLinesPerForm = 3;
        TDD2624BackLines two{{QDateTime(QDate(2003, 1, 15), QTime()), "A", "B", "C"},
                             {QDateTime(QDate(2003, 1, 16), QTime()), "D", "E", "F"}};
        rpt.Print(2, two);
        const TppDocument &doc = capture.Documents.first();
        QCOMPARE(doc.PageCount(), 2);
        QCOMPARE(Texts(doc.Pages[1], "txtDate"), (QStringList{"030115", "030116", ""}));
        QCOMPARE(Texts(doc.Pages[1], "mmRemarks"), (QStringList{"C", "F", ""}));
    }

    void backPdfCaptions()
    {
        const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
        if (pdftotext.isEmpty())
            QSKIP("pdftotext is not installed");
        PreviewCapture capture;
        Trpt2624Back rpt;
        TDD2624BackLines lines{{QDateTime(QDate(2003, 1, 15), QTime()), "", "", ""}};
        rpt.Print(1, lines);
        QTemporaryDir dir;
        const QString pdf = dir.filePath("back.pdf");
        QVERIFY(ExportToPdf(capture.Documents.first(), pdf));
        QProcess p;
        p.start(pdftotext, {pdf, "-"});
        QVERIFY(p.waitForFinished(30000));
        const QString text = QString::fromUtf8(p.readAllStandardOutput());
        for (const char *s : {"12. CHAIN OF CUSTODY", "(YYMMDD)", "RELEASE BY", "RECEIVED BY", "PURPOSE OF CHANGE /",
                              "REMARKS", "(1)", "(10)", "SIGNATURE", "NAME", "INSTRUCTIONS", "BLOCK", "USA", "USN/MC",
                              "USAF", "DAMAGE TO SHIPPING CONTAINER/DISCREPANCIES", "DD Form 2624, FEB 1993 (Back)",
                              "030115"})
            QVERIFY2(text.contains(QLatin1String(s)), s);
    }
};

CORVANE_TEST(TestRB2624)
#include "tst_rb2624.moc"

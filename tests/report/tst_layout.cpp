#include "testmain.h"
#include "reporttest.h"
#include "report/DisplayFormat.h"
#include "report/Engine.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class TestReportLayout : public QObject
{
    Q_OBJECT
private slots:
    void editMasks_data()
    {
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("ssn") << "999-99-9999;0" << "123456789" << "123-45-6789";
        QTest::newRow("escaped ssn") << "000\\-00\\-0000;0;_" << "123456789" << "123-45-6789";
        QTest::newRow("short ssn keeps hyphens") << "999-99-9999;0" << "12345" << "123-45-    ";
        QTest::newRow("short ssn with blank char") << "000\\-00\\-0000;0;_" << "1234" << "123-4_-____";
        QTest::newRow("empty") << "999-99-9999;0" << "" << "   -  -    ";
        QTest::newRow("blanks pass through") << "999-99-9999;0" << "         " << "   -  -    ";
        QTest::newRow("too long is cut at the mask") << "999-99-9999;0" << "1234567890" << "123-45-6789";
        QTest::newRow("literals saved") << "999-99-9999;1" << "123-45-6789" << "123-45-6789";
    }
    void editMasks()
    {
        QFETCH(QString, mask);
        QFETCH(QString, value);
        QFETCH(QString, text);
        QVERIFY(IsEditMask(mask));
        QCOMPARE(FormatMaskText(mask, value), text);
    }
    void dateFormats_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("text");
        const QString sep = LocaleDateSeparator();
        QTest::newRow("YYYYMMDD") << "YYYYMMDD" << "20030105";
        QTest::newRow("yymmdd") << "yymmdd" << "030105";
        QTest::newRow("DD/MM/YYYY") << "DD/MM/YYYY" << "05" + sep + "01" + sep + "2003";
        QTest::newRow("MM/dd/yyyy") << "MM/dd/yyyy" << "01" + sep + "05" + sep + "2003";
        QTest::newRow("with time") << "MM/dd/yyyy h:nn:ss AM/PM" << "01" + sep + "05" + sep + "2003 2:07:09 PM";
        QTest::newRow("minutes after hour, months elsewhere") << "hh:mm m" << "14:07 1";
        QTest::newRow("quoted text") << "yyyy\"-W\"" << "2003-W";
    }
    void dateFormats()
    {
        QFETCH(QString, format);
        QFETCH(QString, text);
        QVERIFY(!IsEditMask(format));
        QCOMPARE(FormatDateTime(format, QDateTime(QDate(2003, 1, 5), QTime(14, 7, 9))), text);
    }
    void numberFormats()
    {
        QCOMPARE(FormatFloat("0000", 12), QString("0012"));
        QCOMPARE(FormatFloat("0000", 12345), QString("12345"));
        QCOMPARE(FormatFloat("#,##0.00", 1234.5), QString("1,234.50"));
        QCOMPARE(FormatFloat("0.##", 2.5), QString("2.5"));
        QCOMPARE(FormatFloat("0", -3), QString("-3"));
        QCOMPARE(FormatFloat("Batch 000", 7), QString("Batch 007"));
    }
    void dataTextsFormatValues()
    {
        TppReport report;
        TppJITPipeline p;
        p.AddField("DateCollected", dtDateTime);
        p.AddField("SSN");
        p.RecordCount = 2;
        const QList<QVariant> dates = {37636.0, QDate(2003, 1, 16)};   // a serial, then a QDate
        p.OnGetFieldValue = [&](const QString &name) -> QVariant {
            if (name.compare("datecollected", Qt::CaseInsensitive) == 0)
                return dates[p.RecordIndex()];
            if (name == "SSN")
                return QString("12345678%1").arg(p.RecordIndex());
            if (name == "Batch")
                return 12 + p.RecordIndex();
            return QVariant();
        };
        report.SetDataPipeline(&p);
        report.Detail()->mmHeight = 5000;
        addDBText(report.Detail(), "txtDate", 0, 0, 20000, 4000, "datecollected", TppFont(), taLeftJustified, "YYYYMMDD");
        addDBText(report.Detail(), "txtSSN", 30000, 0, 20000, 4000, "SSN", TppFont(), taLeftJustified, "999-99-9999;0");
        p.AddField("Batch", dtInteger);
        addDBText(report.Detail(), "txtBatch", 90000, 0, 20000, 4000, "Batch", TppFont(), taLeftJustified, "0000");
        auto *replaced = addDBText(report.Detail(), "txtReplaced", 60000, 0, 20000, 4000, "SSN");
        replaced->OnGetText = [](QString &text) { text = "x" + text.right(4); };
        const TppDocument doc = report.GeneratePages();
        QCOMPARE(textsOf(doc.Pages[0], "txtDate"), QStringList({"20030115", "20030116"}));
        QCOMPARE(textsOf(doc.Pages[0], "txtSSN"), QStringList({"123-45-6780", "123-45-6781"}));
        QCOMPARE(textsOf(doc.Pages[0], "txtReplaced"), QStringList({"x6780", "x6781"}));
        QCOMPARE(textsOf(doc.Pages[0], "txtBatch"), QStringList({"0012", "0013"}));
    }
    void subReportWalksOnlyItsMastersRecords()
    {
        // 3 sheets; members grouped by FormID in ascending order (sheet 1 has none)
        const QList<int> memberForm = {0, 0, 0, 2, 2};
        TppJITPipeline forms("Forms"), members("FormMembers");
        forms.AddField("ID", dtInteger);
        forms.RecordCount = 3;
        forms.OnGetFieldValue = [&](const QString &n) -> QVariant { return n == "ID" ? QVariant(forms.RecordIndex()) : QVariant(); };
        members.AddField("FormID", dtInteger);
        members.AddField("Name");
        members.RecordCount = int(memberForm.size());
        members.OnGetFieldValue = [&](const QString &n) -> QVariant {
            if (n == "FormID")
                return memberForm[members.RecordIndex()];
            if (n == "Name")
                return QString("M%1").arg(members.RecordIndex());
            return QVariant();
        };
        members.MasterFieldLinks.append({"ID", "FormID", soAscending});
        members.SetMasterDataPipeline(&forms);

        TppReport report;
        report.SetDataPipeline(&forms);
        TppBand *detail = report.Detail();
        detail->mmHeight = 30000;
        detail->PrintHeight = phDynamic;
        addDBText(detail, "lblFormID", 0, 0, 10000, 4000, "ID")->Visible = false;
        TppSubReport *sr = addSubReport(detail, "srHistory", 0, 10000, 100000, 5000);
        sr->SetDataPipeline(&members);
        sr->Report()->Detail()->mmHeight = 6000;
        addDBText(sr->Report()->Detail(), "txtName", 1000, 1000, 20000, 4000, "Name");
        TppLabel *after = addLabel(detail, "lblNoOthers", 0, 16000, 50000, 4000, "AND NO OTHERS");
        after->ShiftRelativeTo = sr;
        QList<int> rowsSeen;
        after->OnPrint = [&] { rowsSeen.append(sr->LastDetailCount); };
        report.AddGroup("Group1", "lblFormID", btCustomField, true);

        const TppDocument doc = report.GeneratePages();
        QCOMPARE(doc.PageCount(), 3);
        QCOMPARE(textsOf(doc.Pages[0], "txtName"), QStringList({"M0", "M1", "M2"}));
        QCOMPARE(textsOf(doc.Pages[1], "txtName"), QStringList());
        QCOMPARE(textsOf(doc.Pages[2], "txtName"), QStringList({"M3", "M4"}));
        QCOMPARE(rowsSeen, QList<int>({3, 0, 2}));
        // the label under the sub-report moves down by the rows' height beyond the sub-report's own
        const int top = 6350;
        QCOMPARE(commandsOf(doc.Pages[0], "lblNoOthers").first()->mmTop, top + 16000 + 3 * 6000 - 5000);
        QCOMPARE(commandsOf(doc.Pages[1], "lblNoOthers").first()->mmTop, top + 16000 - 5000);
        const auto rows = commandsOf(doc.Pages[2], "txtName");
        QCOMPARE(rows[0]->mmTop, top + 10000 + 1000);
        QCOMPARE(rows[1]->mmTop, top + 10000 + 6000 + 1000);
    }
    void columnsAndPrintPositions()
    {
        // two columns of labels placed from the paper's edges; the first page starts lower
        TppReport report;
        report.PrinterSetup.mmMarginTop = 12700;
        report.PrinterSetup.mmMarginRight = 0;
        TppJITPipeline p;
        p.RecordCount = 13;
        p.AddField("N", dtInteger);
        p.OnGetFieldValue = [&](const QString &) -> QVariant { return p.RecordIndex() + 1; };
        report.SetDataPipeline(&p);
        report.Detail()->mmHeight = 51065;
        addDBText(report.Detail(), "txtN", 1000, 1000, 10000, 4000, "N");
        report.mmColumnWidth = 101600;
        report.OnStartPage = [&] {
            report.Columns = 2;
            report.ColumnPositions = {4064, 110490};
            report.Detail()->mmPrintPosition = report.PageNo == 1 ? 2 * 50800 + 13970 : 0;
        };
        const TppDocument doc = report.GeneratePages();
        QCOMPARE(doc.PageCount(), 2);
        const auto first = commandsOf(doc.Pages[0], "txtN");
        // page 1: left column from row 3 (3 labels), right column full (5 labels)
        QCOMPARE(first.size(), 8);
        QCOMPARE(first[0]->mmTop, 2 * 50800 + 13970 + 1000);
        QCOMPARE(first[0]->mmLeft, 4064 + 1000);
        QCOMPARE(first[3]->mmLeft, 110490 + 1000);
        QCOMPARE(first[3]->mmTop, 12700 + 1000);   // the next column starts at its top
        const auto second = commandsOf(doc.Pages[1], "txtN");
        QCOMPARE(second.size(), 5);
        QCOMPARE(second[0]->mmTop, 12700 + 1000);
        QCOMPARE(textsOf(doc.Pages[1], "txtN").first(), QString("9"));
    }
    void dynamicMemoGrowsItsBand()
    {
        TppReport report;
        TppJITPipeline p;
        p.RecordCount = 2;
        p.AddField("Text");
        const QStringList texts = {"short", QString("word ").repeated(80)};
        p.OnGetFieldValue = [&](const QString &) -> QVariant { return texts[p.RecordIndex()]; };
        report.SetDataPipeline(&p);
        report.Detail()->mmHeight = 10000;
        report.Detail()->PrintHeight = phDynamic;
        TppDBMemo *memo = addDBMemo(report.Detail(), "mmText", 0, 0, 40000, 5000, "Text", ppFont("Arial", 8));
        Q_UNUSED(memo);
        const TppDocument doc = report.GeneratePages();
        const auto cmds = commandsOf(doc.Pages[0], "mmText");
        QCOMPARE(cmds.size(), 2);
        auto *longText = dynamic_cast<const TppDrawText *>(cmds[1]);
        QVERIFY(longText->Lines.size() > 5);
        // every wrapped line fits the memo's width
        for (const QString &line : longText->Lines)
            QVERIFY(TppPrintContext::TextWidth(ppFont("Arial", 8), line) <= 40000 + 1);
        QCOMPARE(longText->Lines.join(' ').simplified(), texts[1].simplified());
        QCOMPARE(cmds[1]->mmTop - cmds[0]->mmTop, 10000);   // first band kept its static height
        QVERIFY(cmds[1]->mmHeight > 5000);
    }
    void fixedTextStaysInItsWidth()
    {
        TppReport report;
        addLabel(report.Detail(), "lblLong", 10000, 10000, 20000, 5000, QString("W").repeated(40), ppFont("Arial", 12));
        auto *wide = addLabel(report.Detail(), "lblAuto", 10000, 30000, 20000, 5000, QString("W").repeated(40),
                              ppFont("Arial", 12));
        wide->AutoSize = true;
        report.Detail()->mmHeight = 50000;
        const TppDocument doc = report.GeneratePages();
        const QImage img = RenderPageToImage(doc.Pages[0], 100);
        auto inkRight = [&](int fromY, int toY) {
            int right = -1;
            for (int y = fromY; y < toY; ++y)
                for (int x = 0; x < img.width(); ++x)
                    if (qGray(img.pixel(x, y)) < 128)
                        right = std::max(right, x);
            return right;
        };
        const double px = 100 / 25400.0;
        const int boxRight = int((6350 + 10000 + 20000) * px);
        const int fixedRight = inkRight(int((6350 + 10000) * px), int((6350 + 16000) * px));
        QVERIFY(fixedRight > boxRight - 10);
        QVERIFY(fixedRight <= boxRight + 1);
        QVERIFY(inkRight(int((6350 + 30000) * px), int((6350 + 36000) * px)) > boxRight + 50);   // auto-size grows
    }
    void picturesTakeTheirSizeRule()
    {
        QTemporaryDir dir;
        const QString svg = dir.filePath("form.svg");
        QFile f(svg);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("<svg xmlns='http://www.w3.org/2000/svg' width='100mm' height='50mm' viewBox='0 0 100 50'>"
                "<rect x='1' y='1' width='98' height='48' fill='none' stroke='black'/></svg>");
        f.close();
        TppReport report;
        TppBand *style = report.PageStyle();
        auto *natural = addImage(style, "imgNatural", 0, 0, 10000, 10000, svg, false, false);
        natural->AutoSize = true;
        addImage(style, "imgStretched", 0, 60000, 150000, 20000, svg, true, false);
        addImage(style, "imgAspect", 0, 90000, 150000, 20000, svg, true, true);
        QVERIFY(!addImage(style, "imgMissing", 0, 0, 1000, 1000, dir.filePath("none.svg"))->Picture);
        const TppDocument doc = report.GeneratePages();
        auto size = [&](const QString &name) {
            const TppDrawCommand *c = commandsOf(doc.Pages[0], name).value(0);
            return c ? QSize(c->mmWidth, c->mmHeight) : QSize();
        };
        QCOMPARE(size("imgNatural"), QSize(100000, 50000));
        QCOMPARE(size("imgStretched"), QSize(150000, 20000));
        QCOMPARE(size("imgAspect"), QSize(40000, 20000));
        QCOMPARE(size("imgMissing"), QSize());
        // the page style sits inside the margins
        QCOMPARE(commandsOf(doc.Pages[0], "imgStretched").first()->mmTop, 6350 + 60000);
    }
    void pdfPagesHaveTheReportsPaper()
    {
        QTemporaryDir dir;
        TppReport report;
        report.PrinterSetup.Orientation = poLandscape;
        TppJITPipeline p;
        p.RecordCount = 3;
        report.SetDataPipeline(&p);
        report.Detail()->mmHeight = 150000;   // one band a page
        addLabel(report.Detail(), "lblText", 0, 0, 80000, 6000, "SPECIMEN CUSTODY DOCUMENT", ppFont("Arial", 12));
        const TppDocument doc = report.GeneratePages();
        QCOMPARE(doc.PageCount(), 3);
        QCOMPARE(doc.Pages[0].mmWidth, 279401);
        QCOMPARE(doc.Pages[0].mmHeight, 215900);
        const QString file = dir.filePath("out.pdf");
        QVERIFY(ExportToPdf(doc, file));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString pdf = QString::fromLatin1(f.readAll());
        QCOMPARE(pdf.count(QRegularExpression("/Type\\s*/Page\\b")), 3);
        // US Letter across: 792 by 612 points
        const QRegularExpressionMatch box = QRegularExpression("/MediaBox\\s*\\[\\s*0\\s+0\\s+([\\d.]+)\\s+([\\d.]+)").match(pdf);
        QVERIFY(box.hasMatch());
        QVERIFY(std::abs(box.captured(1).toDouble() - 792) < 1);
        QVERIFY(std::abs(box.captured(2).toDouble() - 612) < 1);
        QVERIFY(pdf.contains("/FontFile2"));   // text stays text, with its font embedded
    }
};

CORVANE_TEST(TestReportLayout)
#include "tst_layout.moc"

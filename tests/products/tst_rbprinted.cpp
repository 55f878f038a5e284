#include "testmain.h"
#include "tst_rbfixture.h"

#include "app/Exceptions.h"
#include "products/PrintProducts.h"
#include "products/RB2624Front.h"
#include "products/RBNotificationCopy.h"
#include "products/RBTestingRegister.h"
#include "products/RBWorkingCopy.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace rbtest;

// What the user gets on paper: texts that stay inside their boxes (and nothing hidden in the
// PDF), the sheet barcode's bars in whole printer dots, and the refusals before printing.
namespace {

const QString LongOrganization =
    QStringLiteral("HEADQUARTERS AND HEADQUARTERS COMPANY, 1ST BATTALION, 5TH INFANTRY REGIMENT");
const QString LongName =
    QStringLiteral("VANDERHOFFENSTEINERBERG-MACALLISTER-WORTHINGTON, BARTHOLOMEW ALEXANDER Q.");

constexpr double Dpi = 300.0;
int px(double mm) { return int(std::lround(mm * Dpi / 25400.0)); }

// The dark pixels of some commands drawn alone on a blank page, as a rectangle in pixels at Dpi.
QRect Ink(const TppPage &page, const QList<const TppDrawCommand *> &commands)
{
    TppPage alone;
    alone.mmWidth = page.mmWidth;
    alone.mmHeight = page.mmHeight;
    for (const auto &c : page.Commands)
        if (commands.contains(c.get()))
            alone.Commands.push_back(c);
    const QImage img = RenderPageToImage(alone, Dpi, TppDeviceKind::Printer, QImage::Format_Grayscale8);
    QRect ink;
    for (int y = 0; y < img.height(); ++y) {
        const uchar *row = img.constScanLine(y);
        for (int x = 0; x < img.width(); ++x)
            if (row[x] < 160)
                ink |= QRect(x, y, 1, 1);
    }
    return ink;
}

QRect PixelBox(const TppDrawCommand *c)
{
    return QRect(QPoint(px(c->mmLeft), px(c->mmTop)), QPoint(px(c->mmLeft + c->mmWidth), px(c->mmTop + c->mmHeight)));
}

// Runs a poppler tool; empty output when it is missing or fails.
QByteArray Poppler(const QString &tool, const QStringList &args)
{
    const QString exe = QStandardPaths::findExecutable(tool);
    if (exe.isEmpty())
        return QByteArray();
    QProcess p;
    p.start(exe, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QByteArray();
    return p.readAllStandardOutput();
}

struct PdfWord
{
    QString Text;
    QRectF Box;   // layout units from the page's top-left corner
};

// The words of a PDF's first page as pdftotext places them.
QList<PdfWord> PdfWords(const QString &pdf)
{
    const QString html = QString::fromUtf8(Poppler("pdftotext", {"-bbox", "-f", "1", "-l", "1", pdf, "-"}));
    static const QRegularExpression word(
        "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>");
    QList<PdfWord> out;
    const double k = 25400.0 / 72.0;
    for (auto it = word.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        out.append({m.captured(5).replace("&amp;", "&"),
                    QRectF(QPointF(m.captured(1).toDouble() * k, m.captured(2).toDouble() * k),
                           QPointF(m.captured(3).toDouble() * k, m.captured(4).toDouble() * k))});
    }
    return out;
}

// The dark runs (bars) and light runs between them along one pixel row, from the first dark pixel.
struct Runs
{
    int First = -1, Last = -1;        // first and last dark pixel
    QList<int> Bars, Spaces;
};

Runs RowRuns(const QImage &img, int y, int from, int to)
{
    Runs r;
    const uchar *row = img.constScanLine(y);
    int x = from;
    while (x < to && row[x] >= 128)
        ++x;
    r.First = x < to ? x : -1;
    while (x < to) {
        const bool dark = row[x] < 128;
        int end = x;
        while (end < to && (row[end] < 128) == dark)
            ++end;
        if (dark) {
            r.Bars.append(end - x);
            r.Last = end - 1;
        } else if (end < to) {
            r.Spaces.append(end - x);   // the light run that reaches the end is the quiet zone
        }
        x = end;
    }
    return r;
}

QString DecodeImage(const QImage &gray)
{
#ifdef HAVE_ZXING
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::Code128);
    hints.setTryHarder(true);
    const ZXing::ImageView view(gray.constBits(), gray.width(), gray.height(), ZXing::ImageFormat::Lum,
                                int(gray.bytesPerLine()));
    const ZXing::Result res = ZXing::ReadBarcode(view, hints);
    return res.isValid() ? QString::fromStdString(res.text()) : QStringLiteral("<no barcode>");
#else
    Q_UNUSED(gray);
    return QString();
#endif
}

// The selected members of a list, for the print operations without pages.
class Selection : public TSelectedMembers
{
public:
    explicit Selection(int count)
    {
        for (int i = 0; i < count; ++i) {
            TRosterRec r;
            r.Name = QStringLiteral("MEMBER%1, A.").arg(i);
            r.SSN = QString::number(123456789 + i);
            r.Rank = QStringLiteral("SGT");
            r.Gender = QStringLiteral("M");
            Members.append(r);
        }
    }
    QList<TRosterRec> Members;
    int SelectedCount() const override { return int(Members.size()); }
    const TRosterRec &GetSelectedMember(int n) const override { return Members.at(n); }
    void SetMemberPrintInfo(int n, int formIndex, const QString &specimen) override
    {
        Members[n].FormIndex = formIndex;
        Members[n].SpecimenNumber = specimen;
    }
    QString PremiseCode() const override { return QStringLiteral("IR"); }
    QString LocationCode() const override { return QStringLiteral("US"); }
};

QString Lines(int count)
{
    QStringList l;
    for (int i = 1; i <= count; ++i)
        l << QStringLiteral("LINE %1").arg(i);
    return l.join('\n');
}

} // namespace

class TestRBPrinted : public QObject
{
    Q_OBJECT
    ArmyProfile m_profile;

    template<class Report>
    TppDocument PrintCopy(TestRun &run)
    {
        PreviewCapture capture;
        {
            Report rpt;
            rpt.Print(&run.History);
        }
        return capture.Documents.first();
    }

private slots:
    void init()
    {
        m_profile.Install();
        EditionSuffix = QStringLiteral("L");
    }
    void cleanup() { m_profile.Remove(); }

    // The unit in the copies' header is right-aligned and grows leftwards up to the centred
    // titles: a short unit prints whole at the normal size, a long one uses the room beside the
    // titles, then smaller type (never below 7 pt), then an ellipsis; it never meets a title.
    // The detail rows shrink no further than 8 pt.
    void copiesHeaderUnit_data()
    {
        QTest::addColumn<bool>("working");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<bool>("whole");   // whole at 10 pt
        const QString sixty = QStringLiteral("HHC 1ST BATTALION 7TH CAVALRY REGIMENT 1ST CAVALRY DIV FT HOOD");
        Q_ASSERT(sixty.size() == 60);
        for (bool working : {false, true}) {
            const char *copy = working ? "working copy" : "notification copy";
            QTest::addRow("%s, HHC 1-7 CAV", copy) << working << QStringLiteral("HHC 1-7 CAV") << true;
            QTest::addRow("%s, 1ST SQDN 7TH CAV", copy) << working << QStringLiteral("1ST SQDN 7TH CAV") << true;
            QTest::addRow("%s, 60 characters", copy) << working << sixty << false;
            QTest::addRow("%s, long", copy) << working << LongOrganization << false;
        }
    }
    void copiesHeaderUnit()
    {
        QFETCH(bool, working);
        QFETCH(QString, unit);
        QFETCH(bool, whole);
        TestRun run(3);
        for (auto &m : run.Members)
            m.Organization = unit;
        run.Members[1].Name = LongName;
        run.Members[2].Organization = LongOrganization;   // a row's organisation, not the header's
        const TppDocument doc = working ? PrintCopy<TrptWorkingCopy>(run) : PrintCopy<TrptNotificationCopy>(run);
        const TppPage &pg = doc.Pages[0];
        const auto org = Commands<TppDrawText>(pg, "lblDescription");
        QCOMPARE(org.size(), 1);
        const TppDrawText *o = org.first();
        const int right = 6350 + 185738 + 17568;   // the layout's right edge, from the margin
        QCOMPARE(o->Alignment, taRightJustified);
        QCOMPARE(o->mmLeft + o->mmWidth, right);
        QVERIFY(o->mmTop >= 6350 + 1852 && o->mmTop < 6350 + 1852 + 4022);
        QVERIFY(TppPrintContext::TextWidth(o->Font, o->Text) <= o->mmWidth);
        if (whole) {
            QCOMPARE(o->Text, unit);
            QCOMPARE(o->Font.Size, 10.0);
        } else {
            QVERIFY2(o->Font.Size >= 7 && o->Font.Size < 10, qPrintable(QString::number(o->Font.Size)));
            if (o->Text != unit) {
                QVERIFY2(o->Text.endsWith(QChar(0x2026)), qPrintable(o->Text));
                QVERIFY(unit.startsWith(o->Text.chopped(1)));
                QCOMPARE(o->Font.Size, 7.0);   // cut only once the smallest type does not fit
            }
        }

        // its ink lies right of every title's, and right-aligned to the layout's edge
        const QRect orgInk = Ink(pg, {o});
        QVERIFY(!orgInk.isEmpty());
        QVERIFY(orgInk.right() <= px(right) + 1 && orgInk.right() >= px(right) - px(2540));
        QVERIFY(PixelBox(o).adjusted(-1, -1, 1, 1).contains(orgInk));
        int titlesRight = 0;
        for (const char *title : {"lblReportTitle", "Label1", "Label2"}) {
            const auto t = Commands<TppDrawText>(pg, title);
            QCOMPARE(t.size(), 1);
            QVERIFY2(!Rect(t.first()).intersects(Rect(o)), title);
            const QRect titleInk = Ink(pg, {t.first()});
            QVERIFY(!titleInk.isEmpty());
            QVERIFY2(titleInk.right() < orgInk.left(), title);
            titlesRight = std::max(titlesRight, titleInk.right());
        }
        if (!whole)   // a long unit takes the room up to the titles
            QVERIFY2(orgInk.left() - titlesRight < px(2540 + 3000), qPrintable(QString::number(orgInk.left() - titlesRight)));

        // no detail row text below 8 pt; what does not fit is cut, not shrunk further
        for (const auto &c : pg.Commands)
            if (const auto *t = dynamic_cast<const TppDrawText *>(c.get()); t && t->BandName == "dbHistory")
                QVERIFY2(t->Font.Size >= 8, qPrintable(t->ComponentName + ": " + t->Text));

        // the PDF holds the shown text only: a short unit is one run of words at the right edge
        QTemporaryDir dir;
        const QString pdf = dir.filePath("copy.pdf");
        QVERIFY(ExportToPdf(doc, pdf));
        const QList<PdfWord> words = PdfWords(pdf);
        if (words.isEmpty())
            QSKIP("pdftotext is not installed");
        QStringList header;
        for (const PdfWord &w : words) {
            QVERIFY2(!w.Text.contains("REGIMENT") || unit != LongOrganization, "hidden text in the PDF");
            if (w.Box.top() < 6350 + 5000 && w.Box.left() > 6350 + 110000) {
                header << w.Text;
                QVERIFY2(w.Box.left() >= o->mmLeft - 300 && w.Box.right() <= right + 300, qPrintable(w.Text));
            }
        }
        if (whole)
            QCOMPARE(header.join(' '), unit);
        else
            QVERIFY(!header.isEmpty());
    }

    // The register's organisation has the layout's box; long names and organisations shrink,
    // then lose their end, and the PDF holds no text beyond what shows.
    void registerBoxesAndLongTexts()
    {
        TestRun run(2);
        run.Members[0].Organization = LongOrganization;
        run.Members[1].Organization = LongOrganization;
        run.Members[0].Name = LongName;
        PreviewCapture capture;
        {
            TrptTestingRegister rpt;
            QCOMPARE(rpt.lblDescription->mmLeft, 121179);
            QCOMPARE(rpt.lblDescription->mmTop, 265);
            QCOMPARE(rpt.lblDescription->mmWidth, 24342);
            QCOMPARE(rpt.lblDescription->mmHeight, 3969);
            rpt.Print(&run.History);
        }
        const TppDocument &doc = capture.Documents.first();
        const TppPage &pg = doc.Pages[0];
        const TppDrawText *org = Commands<TppDrawText>(pg, "lblDescription").first();
        QCOMPARE(org->mmLeft, 6350 + 121179);
        QCOMPARE(org->mmWidth, 24342);
        QCOMPARE(org->Alignment, taCentered);
        QCOMPARE(org->Font.Size, 7.0);
        QVERIFY(org->Text.endsWith(QChar(0x2026)));
        const TppDrawText *name = Commands<TppDrawText>(pg, "dbtxtFullName").first();
        QCOMPARE(name->Font.Size, 8.0);   // rows shrink no further than 8 pt
        QVERIFY(name->Text.endsWith(QChar(0x2026)));
        QVERIFY(LongName.startsWith(name->Text.chopped(1)));
        // a name that fits keeps the layout's type, in place
        const TppDrawText *second = Commands<TppDrawText>(pg, "dbtxtFullName").at(1);
        QCOMPARE(second->Font.Size, 10.0);
        QCOMPARE(second->Text, run.Members[1].Name);
        for (const TppDrawText *t : {org, name}) {
            const QRect ink = Ink(pg, {t});
            QVERIFY(!ink.isEmpty());
            QVERIFY2(PixelBox(t).adjusted(-1, -1, 1, 1).contains(ink), qPrintable(t->ComponentName));
        }

        QTemporaryDir dir;
        const QString pdf = dir.filePath("register.pdf");
        QVERIFY(ExportToPdf(doc, pdf));
        const QString text = QString::fromUtf8(Poppler("pdftotext", {"-layout", pdf, "-"}));
        if (text.isEmpty())
            QSKIP("pdftotext is not installed");
        QVERIFY(text.contains("VANDERHOFFENSTEINERBERG"));
        QVERIFY(text.contains(run.Members[1].Name));
        QVERIFY2(!text.contains("BARTHOLOMEW"), "hidden text in the PDF");
        QVERIFY2(!text.contains("REGIMENT"), "hidden text in the PDF");
    }

    // At 0.254 mm the sheet's symbol is longer than its box: it takes the empty strip to its
    // right, with bars in whole dots of 300 and 600 dpi printers and its quiet zones kept.
    void sheetBarcodeInWholeDots()
    {
        TestRun run(1, 7);
        PreviewCapture capture;
        Trpt2624Front rpt;
        rpt.Print(&run.Forms, &run.FormMembers);
        const TppDocument &doc = capture.Documents.first();
        const TppPage &pg = doc.Pages[0];
        const auto sheet = Commands<TppDrawBarCode>(pg, "lblbcTopBarcode");
        QCOMPARE(sheet.size(), 1);
        const TppDrawBarCode *bc = sheet.first();
        const QString data = "533013200301150007AB1CDHQ  US";
        QCOMPARE(bc->Data, data);
        QCOMPARE(bc->Modules, 266);
        const TppDrawText *version = Commands<TppDrawText>(pg, "lblVersion").first();

        QTemporaryDir dir;
        const QString pdf = dir.filePath("front.pdf");
        QVERIFY(ExportToPdf(doc, pdf));

        for (const int dpi : {300, 600}) {
            const int module = 3 * dpi / 300;   // 0.254 mm
            const double k = dpi / 25400.0;
            // the strip from the page's left edge to the version label, over the bars' height
            const QRect strip(0, int(bc->mmTop * k) + 2, int(version->mmLeft * k), int(bc->mmHeight * k) - 4);
            QList<QPair<QString, QImage>> renders;
            renders.append({"image", RenderPageToImage(pg, dpi, TppDeviceKind::Printer, QImage::Format_Grayscale8)
                                         .copy(strip)});
            const QByteArray pgm = Poppler("pdftoppm", {"-r", QString::number(dpi), "-gray", "-f", "1", "-l", "1",
                                                        "-x", QString::number(strip.x()), "-y", QString::number(strip.y()),
                                                        "-W", QString::number(strip.width()), "-H",
                                                        QString::number(strip.height()), pdf});
            if (!pgm.isEmpty())
                renders.append({"pdf", QImage::fromData(pgm, "PGM").convertToFormat(QImage::Format_Grayscale8)});
            else
                qWarning("pdftoppm is not installed: the PDF is not measured");
            for (const auto &[source, img] : renders) {
                const QString what = QString("%1 at %2 dpi").arg(source).arg(dpi);
                QVERIFY2(!img.isNull(), qPrintable(what));
#ifdef HAVE_ZXING
                QCOMPARE(DecodeImage(img), data);
#endif
                for (const int y : {img.height() / 4, img.height() / 2, 3 * img.height() / 4}) {
                    const Runs r = RowRuns(img, y, int(bc->mmLeft * k) - 2 * module, img.width());
                    QVERIFY2(r.First > 0, qPrintable(what));
                    // every bar and space is a whole number of modules, the narrowest one module
                    int modules = 0;
                    int narrowest = 1 << 30;
                    for (const QList<int> &runs : {r.Bars, r.Spaces})
                        for (const int w : runs) {
                            QVERIFY2(w % module == 0, qPrintable(what + QString(": run of %1 dots").arg(w)));
                            modules += w / module;
                            narrowest = std::min(narrowest, w);
                        }
                    QCOMPARE(narrowest, module);
                    QCOMPARE(modules, 266);
                    QCOMPARE(r.Last - r.First + 1, 266 * module);
                    // quiet zones of ten modules inside the room it was given, clear of the version label
                    QVERIFY(r.First - 10 * module >= int(bc->mmLeft * k) - 1);
                    QVERIFY(r.Last + 10 * module < int(version->mmLeft * k));
                    QVERIFY(r.Last + 10 * module <= int((bc->mmLeft + bc->mmWidth) * k) + 1);
                }
            }
        }
        // nothing else printed stands in the symbol's room
        const QRect room(bc->mmLeft, bc->mmTop, bc->mmWidth, bc->mmHeight);
        for (const auto &c : pg.Commands) {
            if (c.get() == bc || dynamic_cast<const TppDrawImage *>(c.get()))
                continue;
            if (const auto *t = dynamic_cast<const TppDrawText *>(c.get()); t && ShownText(t).isEmpty())
                continue;
            QVERIFY2(!Rect(c.get()).intersects(room), qPrintable(c->ComponentName));
        }
    }

    // Blocks 1 and 2 print down to 6 points; a text that needs more lines than that is
    // refused, naming the block and what it holds.
    void blockTextFitsOrIsRefused()
    {
        // how many lines the block holds at its smallest type, from a text that shows them all
        int held = 0;
        for (int n = 1; n <= 12; ++n)
            if (Trpt2624Front::BlockOverflowMessage(1, Lines(n)).isEmpty())
                held = n;
        QVERIFY(held >= 4);

        TestRun run(1);
        run.Block1 = Lines(held);
        run.Block2 = Lines(held).replace("LINE", "ROW");
        PreviewCapture capture;
        {
            Trpt2624Front rpt;
            rpt.Print(&run.Forms, &run.FormMembers);
        }
        const TppPage &pg = capture.Documents.first().Pages[0];
        for (const char *name : {"dbmmBlock1", "dbmmBlock2"}) {
            const TppDrawText *memo = Commands<TppDrawText>(pg, name).first();
            QVERIFY(memo->Font.Size >= 6.0);
            QCOMPARE(memo->Lines.size(), held);
            QCOMPARE(memo->Lines.last(), QString(name == QLatin1String("dbmmBlock1") ? "LINE %1" : "ROW %1").arg(held));
            QVERIFY(memo->Lines.size() * TppPrintContext::LineHeight(memo->Font) <= 12700 + 1);
        }

        // through the print page's operation: refused before anything prints
        Selection members(3);
        TPrintProducts print(members, *m_profile);
        QStringList printed;
        TProductPrinters printers;
        printers.NotificationCopy = [&](TppJITPipeline *) { printed << "NotificationCopy"; };
        printers.Front2624 = [&](TppJITPipeline *, TppJITPipeline *) { printed << "Front2624"; };
        print.Inputs.NotificationCopy = true;
        print.Inputs.Front2624 = true;
        print.Inputs.Block1 = Lines(63);
        try {
            print.Print(printers);
            QFAIL("a block text of 63 lines must be refused");
        } catch (const Exception &e) {
            QVERIFY2(e.message().startsWith("The text for DD Form 2624 Block 1 does not fit its block"), qPrintable(e.message()));
            QVERIFY2(e.message().contains(QString("holds %1 printed lines").arg(held)), qPrintable(e.message()));
            QVERIFY2(e.message().contains("this text takes 63"), qPrintable(e.message()));
        }
        QVERIFY(printed.isEmpty());
        print.Inputs.Block1 = Lines(held);
        print.Inputs.Block2 = Lines(held + 1);
        try {
            print.Print(printers);
            QFAIL("block 2 must be refused");
        } catch (const Exception &e) {
            QVERIFY2(e.message().contains("DD Form 2624 Block 2"), qPrintable(e.message()));
            QVERIFY2(e.message().contains(QString("this text takes %1").arg(held + 1)), qPrintable(e.message()));
        }
        QVERIFY(printed.isEmpty());
        // without the custody document the blocks print nowhere and nothing is refused
        print.Inputs.Front2624 = false;
        print.Print(printers);
        QCOMPARE(printed, QStringList{"NotificationCopy"});
    }

    // A BAC or UIC goes into the sheet barcode: only printable ASCII, which every scanner reads alike.
    void barcodeValuesArePrintableAscii_data()
    {
        QTest::addColumn<QString>("bac");
        QTest::addColumn<QString>("uic");
        QTest::addColumn<QString>("shown");
        QTest::newRow("curly apostrophe") << QString("H\u2019Q") << "AB1CD" << "The BAC \"H\u2019Q\" holds \"\u2019\"";
        QTest::newRow("accented capital") << "HQ" << QString("\u00C9CO1") << "The UIC \"\u00C9CO1\" holds \"\u00C9\"";
        QTest::newRow("tab") << "H\tQ" << "AB1CD" << "The BAC \"H\tQ\" holds a control character";
    }
    void barcodeValuesArePrintableAscii()
    {
        QFETCH(QString, bac);
        QFETCH(QString, uic);
        QFETCH(QString, shown);
        Selection members(2);
        TPrintProducts print(members, *m_profile);
        bool printed = false;
        TProductPrinters printers;
        printers.Front2624 = [&](TppJITPipeline *, TppJITPipeline *) { printed = true; };
        print.Inputs.Front2624 = true;
        print.Inputs.BAC = bac;
        print.Inputs.UIC = uic;
        try {
            print.Print(printers);
            QFAIL("the value must be refused");
        } catch (const Exception &e) {
            QVERIFY2(e.message().startsWith(shown), qPrintable(e.message()));
            QVERIFY(e.message().contains("barcode"));
        }
        QVERIFY(!printed);
        QVERIFY(TPrintProducts::IsBarcodeText("HQ 1-5/IN (A) ~"));
        print.Inputs.BAC = "HQ";
        print.Inputs.UIC = "AB1CD";
        print.Print(printers);
        QVERIFY(printed);
    }
};

CORVANE_TEST(TestRBPrinted)
#include "tst_rbprinted.moc"

#include "testmain.h"
#include "app/ui/Help.h"
#include "tst_rbfixture.h"

#include "app/Exceptions.h"
#include "products/RBBottleLabels.h"
#include "products/RotatedLabel.h"
#include "products/ui/FormLabelPosition.h"

#include "app/ui/Dialogs.h"

#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QUrl>

// Takes the file URLs the program would hand to the desktop.
class TGuideCatcher : public QObject
{
    Q_OBJECT
public:
    int Opened = 0;
public slots:
    void open(const QUrl &) { ++Opened; }
};

using namespace rbtest;

namespace {
constexpr int Inch = 25400;

// Answers the position prompt with a fixed text, counting the questions.
struct Answer
{
    QString Position;
    bool Ok = true;
    int Asked = 0;
    int LabelCount = -1;
    Answer(QString p, bool ok = true) : Position(std::move(p)), Ok(ok)
    {
        SetLabelPositionPrompt([this](int count, QString &pos) {
            ++Asked;
            LabelCount = count;
            pos = Position;
            return Ok;
        });
    }
    ~Answer() { SetLabelPositionPrompt(nullptr); }
};

// Top-left of the first label printed on a page (its left tape box).
QPoint FirstLabel(const TppPage &page)
{
    const auto boxes = Commands<TppDrawShape>(page, "ppShape1");
    return boxes.isEmpty() ? QPoint(-1, -1) : QPoint(boxes.first()->mmLeft - 7144, boxes.first()->mmTop - 3703);
}
} // namespace

class TestRBBottleLabels : public QObject
{
    Q_OBJECT
    ArmyProfile m_profile;

private slots:
    void init() { m_profile.Install(); }
    void cleanup()
    {
        m_profile.Remove();
        SetLabelPositionDialogHook(nullptr);
    }

    void labelTexts()
    {
        TestRun run(10);
        PreviewCapture capture;
        Answer answer("1");
        TrptBottleLabels rpt;
        QVERIFY(!rpt.Print(&run.History, 10));
        QCOMPARE(answer.Asked, 1);
        QCOMPARE(answer.LabelCount, 10);
        QVERIFY(capture.Settings.first().Maximized);
        const TppPage &pg = capture.Documents.first().Pages[0];
        QCOMPARE(Texts(pg, "lblUPC").first(), QString("UPL _______"));
        QCOMPARE(Texts(pg, "lblSM").first(), QString("SM  _______"));
        QVERIFY(Texts(pg, "lblOB").isEmpty());        // no third caption under the Army
        QVERIFY(Texts(pg, "lblVersion").isEmpty());   // versions are not shown
        QCOMPARE(Texts(pg, "lblBAC").first(), QString("BAC: HQ"));
        QCOMPARE(Texts(pg, "lblUIC").first(), QString("UIC: AB1CD"));
        QCOMPARE(Texts(pg, "ppLabel1").size(), 10);
        QCOMPARE(Texts(pg, "ppLabel2").first(), QString("Tape\nHere"));
        const QStringList info = Texts(pg, "lblTestInfo");
        QCOMPARE(info.size(), 10);
        QCOMPARE(info.first(), QString("IR   0001   001"));
        QCOMPARE(info.last(), QString("IR   0001   010"));
        QCOMPARE(Texts(pg, "lblSSN").first(), QString("123-45-6789"));
        QCOMPARE(Texts(pg, "lblCollectedDate").first(), QString("20030115"));
        // every text of a label turns to run down the label
        const auto turned = Commands<TDrawRotatedText>(pg, "lblSSN");
        QCOMPARE(turned.size(), 10);
        QCOMPARE(turned.first()->Angle, 270);
        QCOMPARE(turned.first()->Font.Name, QString("Courier New"));
    }

    void labelBarcodesScan()
    {
        TestRun run(12);
        PreviewCapture capture;
        Answer answer("1");
        TrptBottleLabels rpt;
        rpt.Print(&run.History, 12);
        const TppDocument &doc = capture.Documents.first();
        QCOMPARE(doc.PageCount(), 2);
        QStringList expectedInfo, expectedSsn;
        for (int i = 0; i < 10; ++i) {
            expectedInfo << "IR0001" + run.Members[i].SpecimenNumber;
            expectedSsn << run.Members[i].SSN;
        }
        QCOMPARE(DecodeAll(doc.Pages[0], "brcdTestInfo"), expectedInfo);
        QCOMPARE(DecodeAll(doc.Pages[0], "brcdSSN"), expectedSsn);
        QCOMPARE(DecodeAll(doc.Pages[0], "brcdDateCollected"), QStringList(QList<QString>(10, "20030115")));
        QCOMPARE(DecodeAll(doc.Pages[1], "brcdTestInfo"), (QStringList{"IR0001011", "IR0001012"}));
        QCOMPARE(Commands<TppDrawBarCode>(doc.Pages[0], "brcdSSN").first()->Orientation, orTopToBottom);
    }

    void startPosition_data()
    {
        QTest::addColumn<QString>("position");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("top");
        const int top = 12700;   // the sheet's top margin: row 1
        QTest::newRow("1: left column, row 1") << "1" << 4064 << top;
        QTest::newRow("3: left column, row 3") << "3" << 4064 << int(4.55 * Inch);
        QTest::newRow("5: left column, row 5") << "5" << 4064 << int(8.55 * Inch);
        QTest::newRow("6: right column, row 1") << "6" << 110490 << top;
        QTest::newRow("8: right column, row 3") << "8" << 110490 << int(4.55 * Inch);
        QTest::newRow("11 lands like 6") << "11" << 110490 << top;
        QTest::newRow("15 lands like 10") << "15" << 110490 << int(8.55 * Inch);
        QTest::newRow("blanks around the number") << " 3" << 4064 << int(4.55 * Inch);
    }
    void startPosition()
    {
        QFETCH(QString, position);
        QFETCH(int, left);
        QFETCH(int, top);
        TestRun run(14);
        PreviewCapture capture;
        Answer answer(position);
        TrptBottleLabels rpt;
        rpt.Print(&run.History, 14);
        const TppDocument &doc = capture.Documents.first();
        QCOMPARE(FirstLabel(doc.Pages[0]), QPoint(left, top));
        if (left == 110490) {
            // the first sheet uses only its right column
            for (const TppDrawShape *s : Commands<TppDrawShape>(doc.Pages[0], "ppShape1"))
                QCOMPARE(s->mmLeft, 110490 + 7144);
        }
        // every later sheet starts at the top of its left column
        QCOMPARE(FirstLabel(doc.Pages.back()), QPoint(4064, 12700));
    }

    void labelsFillSheets()
    {
        TestRun run(25);
        PreviewCapture capture;
        Answer answer("1");
        TrptBottleLabels rpt;
        rpt.Print(&run.History, 25);
        const TppDocument &doc = capture.Documents.first();
        QCOMPARE(doc.PageCount(), 3);
        QCOMPARE(Commands<TppDrawShape>(doc.Pages[0], "ppShape1").size(), 10);
        QCOMPARE(Commands<TppDrawShape>(doc.Pages[1], "ppShape1").size(), 10);
        QCOMPARE(Commands<TppDrawShape>(doc.Pages[2], "ppShape1").size(), 5);
        // left column top to bottom, then the right column
        const auto first = Commands<TppDrawShape>(doc.Pages[0], "ppShape1");
        for (int i = 0; i < 5; ++i)
            QCOMPARE(first[i]->mmLeft, 4064 + 7144);
        for (int i = 5; i < 10; ++i)
            QCOMPARE(first[i]->mmLeft, 110490 + 7144);
        QVERIFY(first[1]->mmTop > first[0]->mmTop);
        QCOMPARE(first[5]->mmTop, first[0]->mmTop);
        // a label never runs off the sheet
        for (const TppPage &pg : doc.Pages)
            for (const TppDrawShape *s : Commands<TppDrawShape>(pg, "ppShape2"))
                QVERIFY(s->mmTop + s->mmHeight < 279401);
    }

    void badPositionPrintsNothing_data()
    {
        QTest::addColumn<QString>("position");
        QTest::addColumn<QString>("message");
        // The sheet has ten labels: every refusal names 1 to 10 (11 to 15 are taken, as 6 to 10,
        // but not advertised), and text that is no number gets the same plain message.
        const QString tail = QStringLiteral(" is not a label position on the sheet. Choose a starting position from 1 to 10");
        QTest::newRow("zero") << "0" << "'0'" + tail;
        QTest::newRow("negative") << "-4" << "'-4'" + tail;
        QTest::newRow("past the sheet") << "16" << "'16'" + tail;
        QTest::newRow("not a number") << "abc" << "'abc'" + tail;
        QTest::newRow("digits and letters") << "3l" << "'3l'" + tail;
        QTest::newRow("empty") << "" << "''" + tail;
    }
    void badPositionPrintsNothing()
    {
        QFETCH(QString, position);
        QFETCH(QString, message);
        TestRun run(3);
        PreviewCapture capture;
        Answer answer(position);
        TrptBottleLabels rpt;
        try {
            rpt.Print(&run.History, 3);
            QFAIL("the position must be refused");
        } catch (const Exception &e) {
            QCOMPARE(e.message(), message);
        }
        QVERIFY(capture.Documents.isEmpty());
    }

    void cancelPrintsNothing()
    {
        TestRun run(3);
        PreviewCapture capture;
        Answer answer("1", false);
        TrptBottleLabels rpt;
        QVERIFY(!rpt.Print(&run.History, 3));
        QCOMPARE(answer.Asked, 1);
        QVERIFY(capture.Documents.isEmpty());
    }

    void profileCaptions()
    {
        m_profile->ShowLabelBac = false;
        m_profile->LabelLine3Caption = "OBSV";
        m_profile->LabelLine1Caption = "U";
        m_profile->ShowLabelVersion = true;
        m_profile->UicCaption = "RUC";
        TestRun run(1);
        PreviewCapture capture;
        Answer answer("1");
        TrptBottleLabels rpt;
        rpt.Print(&run.History, 1);
        const TppPage &pg = capture.Documents.first().Pages[0];
        QVERIFY(Texts(pg, "lblBAC").isEmpty());
        QCOMPARE(Texts(pg, "lblUIC"), QStringList{"RUC: AB1CD"});
        // the UIC line takes the BAC line's place
        QCOMPARE(rpt.lblUIC->mmTop, 3704);
        QCOMPARE(Texts(pg, "lblOB"), QStringList{"OBSV _______"});   // longer than three: whole
        QCOMPARE(Texts(pg, "lblUPC"), QStringList{"U   _______"});
        QCOMPARE(Texts(pg, "lblVersion"), QStringList{"Version: 1"});

        m_profile->ShowUicField = false;
        PreviewCapture again;
        TrptBottleLabels second;
        second.Print(&run.History, 1);
        QVERIFY(Texts(again.Documents.first().Pages[0], "lblUIC").isEmpty());
    }

    void shortSsn()
    {
        QCOMPARE(TrptBottleLabels::SsnText("123456789"), QString("123-45-6789"));
        QCOMPARE(TrptBottleLabels::SsnText("1234"), QString("123-4-"));
        QCOMPARE(TrptBottleLabels::SsnText(""), QString("--"));
    }

    void printerFlag()
    {
        TestRun run(2);
        Answer answer("1");
        int printed = 0;
        SetPrinterHandler([&](TppReport &, TppDocument &doc) { printed = doc.PageCount(); });
        TrptBottleLabels rpt;
        rpt.pprptBottleLabel->DeviceType = "Printer";
        QVERIFY(rpt.Print(&run.History, 2));
        QCOMPARE(printed, 1);
        SetPrinterHandler(nullptr);
    }

    // The dialog as the window program shows it, answered through its test seam.
    void positionDialog()
    {
        InstallLabelPositionDialog();
        int shown = 0;
        SetLabelPositionDialogHook([&](TfrmLabelPosition &dlg) {
            ++shown;
            EXPECT_DIALOG(dlg);
            dlg.edtPosition->setText("8");
            return int(QDialog::Accepted);
        });
        TestRun run(4);
        PreviewCapture capture;
        TrptBottleLabels rpt;
        rpt.Print(&run.History, 4);
        QCOMPARE(shown, 1);
        QCOMPARE(FirstLabel(capture.Documents.first().Pages[0]), QPoint(110490, int(4.55 * Inch)));

        SetLabelPositionDialogHook([](TfrmLabelPosition &) { return int(QDialog::Rejected); });
        PreviewCapture none;
        TrptBottleLabels cancelled;
        QVERIFY(!cancelled.Print(&run.History, 4));
        QVERIFY(none.Documents.isEmpty());
        SetLabelPositionPrompt(nullptr);
    }

private:
    static void EXPECT_DIALOG(TfrmLabelPosition &dlg)
    {
        QCOMPARE(dlg.windowTitle(), QString("Starting Label Position"));
        QCOMPARE(dlg.Label1->text(), QString("Starting Page Position"));
        QCOMPARE(dlg.edtPosition->text(), QString("1"));
        QCOMPARE(dlg.lblLabelCount->text(), QString("# of Labels to Print"));
        QCOMPARE(dlg.edtLabelCount->text(), QString("4"));
        QVERIFY(dlg.edtLabelCount->isReadOnly());
        QCOMPARE(dlg.edtLabelCount->focusPolicy(), Qt::NoFocus);
        QCOMPARE(dlg.findChild<QLineEdit *>("edtLabelCount"), dlg.edtLabelCount);
        QVERIFY(dlg.findChild<QPushButton *>("BitBtn3"));
        // Help shows the guide or says where the positions are; entries and dialog stay as they were
        QStringList told;
        SetMessageDlgHook([&told](const QString &m, TMsgDlgType, TMsgDlgButtons) {
            told << m;
            return int(mrOk);
        });
        TGuideCatcher guide;   // no viewer is started from a test
        QDesktopServices::setUrlHandler("file", &guide, "open");
        dlg.edtPosition->setText("2");
        QTest::mouseClick(dlg.BitBtn3, Qt::LeftButton);
        QDesktopServices::unsetUrlHandler("file");
        SetMessageDlgHook({});
        // the program's own help window, with no desktop viewer and no message
        QCOMPARE(guide.Opened, 0);
        QVERIFY(told.isEmpty());
        QVERIFY(HelpWindow() && HelpWindow()->isVisible());
        delete HelpWindow();
        QCOMPARE(dlg.edtPosition->text(), QString("2"));
        QCOMPARE(dlg.result(), 0);
    }
};

CORVANE_TEST(TestRBBottleLabels)
#include "tst_rblabels.moc"

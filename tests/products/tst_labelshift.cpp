#include "testmain.h"
#include "tst_rbfixture.h"

#include "app/Settings.h"
#include "products/LabelShift.h"
#include "products/RBBottleLabels.h"
#include "products/ui/FormLabelPosition.h"

#include <QDoubleSpinBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QSettings>
#include <QTest>

using namespace rbtest;

namespace {
// The labels of a print, previewed with a position and a fixed shift (no shift: none).
TppDocument PrintLabels(int count, const QString &position, std::optional<TLabelShift> shift)
{
    TestRun run(count);
    PreviewCapture capture;
    SetLabelPositionPrompt([position](int, QString &p) {
        p = position;
        return true;
    });
    if (shift)
        SetLabelShiftSource([s = *shift](const QString &) { return s; });
    else
        SetLabelShiftSource(nullptr);
    TrptBottleLabels rpt;
    rpt.Print(&run.History, count);
    SetLabelPositionPrompt(nullptr);
    SetLabelShiftSource(nullptr);
    return capture.Documents.isEmpty() ? TppDocument() : capture.Documents.first();
}

// Every left tape box of the document, page by page: one per label.
QList<QList<QRect>> LabelBoxes(const TppDocument &doc)
{
    QList<QList<QRect>> out;
    for (const TppPage &page : doc.Pages) {
        QList<QRect> boxes;
        for (const TppDrawShape *s : Commands<TppDrawShape>(page, "ppShape1"))
            boxes << Rect(s);
        out << boxes;
    }
    return out;
}

// The box around everything drawn on a page rendered at 254 dpi (ten pixels a millimetre).
QRect InkBox(const TppPage &page)
{
    const QImage img = RenderPageToImage(page, 254, TppDeviceKind::Printer, QImage::Format_Grayscale8);
    int left = img.width(), top = img.height(), right = -1, bottom = -1;
    for (int y = 0; y < img.height(); ++y) {
        const uchar *row = img.constScanLine(y);
        for (int x = 0; x < img.width(); ++x)
            if (row[x] < 128) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    }
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

void ClearRemembered()
{
    auto s = OpenSettings();
    s->remove(QStringLiteral("LabelShift"));
    s->remove(QStringLiteral("Printers"));
}
} // namespace

class TestLabelShift : public QObject
{
    Q_OBJECT
    ArmyProfile m_profile;

private slots:
    void init()
    {
        m_profile.Install();
        ClearRemembered();
    }
    void cleanup()
    {
        m_profile.Remove();
        SetLabelPositionDialogHook(nullptr);
        SetLabelPositionPrompt(nullptr);
        SetLabelShiftSource(nullptr);
        ClearRemembered();
    }

    void everyLabelMovesByTheShift_data()
    {
        QTest::addColumn<QString>("position");
        QTest::addColumn<double>("right");
        QTest::addColumn<double>("down");
        QTest::newRow("from 1, right and up") << "1" << 1.5 << -2.0;
        QTest::newRow("from 3, left and down") << "3" << -0.7 << 3.1;
        QTest::newRow("from 6 (right column), full limits") << "6" << 5.0 << 5.0;
        QTest::newRow("from 10, full limits the other way") << "10" << -5.0 << -5.0;
    }
    void everyLabelMovesByTheShift()
    {
        QFETCH(QString, position);
        QFETCH(double, right);
        QFETCH(double, down);
        const int dx = int(std::lround(right * 1000)), dy = int(std::lround(down * 1000));
        const TppDocument plain = PrintLabels(23, position, std::nullopt);
        const TppDocument shifted = PrintLabels(23, position, TLabelShift{right, down});
        const auto before = LabelBoxes(plain), after = LabelBoxes(shifted);
        // same labels on the same sheets: a shift of up to 5 mm never pushes a row off a page
        QCOMPARE(after.size(), before.size());
        int labels = 0;
        for (int p = 0; p < before.size(); ++p) {
            QCOMPARE(after[p].size(), before[p].size());
            for (int i = 0; i < before[p].size(); ++i)
                QCOMPARE(after[p][i], before[p][i].translated(dx, dy));
            labels += int(before[p].size());
        }
        QCOMPARE(labels, 23);
        // and so does every other part of a label, barcodes included
        const auto codes0 = Commands<TppDrawBarCode>(plain.Pages[0]);
        const auto codes1 = Commands<TppDrawBarCode>(shifted.Pages[0]);
        QCOMPARE(codes1.size(), codes0.size());
        for (int i = 0; i < codes0.size(); ++i)
            QCOMPARE(Rect(codes1[i]), Rect(codes0[i]).translated(dx, dy));
        // the rendered page moves as well: ten pixels a millimetre
        for (int p : {0, int(plain.Pages.size()) - 1}) {
            const QRect ink0 = InkBox(plain.Pages[size_t(p)]), ink1 = InkBox(shifted.Pages[size_t(p)]);
            QVERIFY(ink0.isValid());
            QVERIFY2(std::abs(ink1.left() - ink0.left() - right * 10) <= 1.01
                         && std::abs(ink1.top() - ink0.top() - down * 10) <= 1.01,
                     qPrintable(QStringLiteral("page %1: ink at %2,%3, was %4,%5").arg(p + 1).arg(ink1.left())
                                    .arg(ink1.top()).arg(ink0.left()).arg(ink0.top())));
        }
    }

    void shiftIsKeptPerPrinterAndClamped()
    {
        SaveLabelShift("LabelTray", {1.2, -0.4});
        SaveLabelShift("Office", {-3.0, 2.5});
        SaveLabelShift("Wild", {12.0, -99.0});
        QCOMPARE(LoadLabelShift("LabelTray").RightMm, 1.2);
        QCOMPARE(LoadLabelShift("LabelTray").DownMm, -0.4);
        QCOMPARE(LoadLabelShift("Office").RightMm, -3.0);
        QCOMPARE(LoadLabelShift("Office").DownMm, 2.5);
        QCOMPARE(LoadLabelShift("Wild").RightMm, 5.0);
        QCOMPARE(LoadLabelShift("Wild").DownMm, -5.0);
        QCOMPARE(LoadLabelShift("Never").RightMm, 0.0);
        // a hand-edited file cannot move labels further either
        OpenSettings()->setValue("LabelShift/Edited/Right", "nan");
        OpenSettings()->setValue("LabelShift/Edited/Down", 40);
        QCOMPARE(LoadLabelShift("Edited").RightMm, 0.0);
        QCOMPARE(LoadLabelShift("Edited").DownMm, 5.0);
        // the labels' printer is the one they last went to
        RememberPrinterFor("pprptBottleLabel", "LabelTray");
        QCOMPARE(LabelPrinterName(), QString("LabelTray"));
    }

    // The dialog shows the shift of the labels' printer below its own controls; OK keeps what
    // was typed for that printer and the preview shows it; Cancel keeps nothing.
    void dialogShowsAndKeepsTheShift()
    {
        RememberPrinterFor("pprptBottleLabel", "LabelTray");
        SaveLabelShift("LabelTray", {0.8, -1.3});
        SaveLabelShift("Office", {4.0, 4.0});
        InstallLabelPositionDialog();
        int shown = 0;
        SetLabelPositionDialogHook([&](TfrmLabelPosition &dlg) {
            ++shown;
            CheckShiftControls(dlg);
            dlg.spnShiftRight->setValue(2.0);
            dlg.spnShiftDown->setValue(1.0);
            return int(QDialog::Accepted);
        });
        TestRun run(3);
        PreviewCapture capture;
        TrptBottleLabels rpt;
        rpt.Print(&run.History, 3);
        QCOMPARE(shown, 1);
        QVERIFY(!QTest::currentTestFailed());
        QCOMPARE(LoadLabelShift("LabelTray").RightMm, 2.0);
        QCOMPARE(LoadLabelShift("LabelTray").DownMm, 1.0);
        QCOMPARE(LoadLabelShift("Office").RightMm, 4.0);   // other printers keep theirs
        const auto boxes = LabelBoxes(capture.Documents.first());
        QCOMPARE(boxes.first().first().topLeft(), QPoint(4064 + 7144 + 2000, 12700 + 3703 + 1000));

        SetLabelPositionDialogHook([](TfrmLabelPosition &dlg) {
            dlg.spnShiftRight->setValue(-4.0);
            return int(QDialog::Rejected);
        });
        PreviewCapture none;
        TrptBottleLabels cancelled;
        QVERIFY(!cancelled.Print(&run.History, 3));
        QVERIFY(none.Documents.isEmpty());
        QCOMPARE(LoadLabelShift("LabelTray").RightMm, 2.0);
    }

private:
    static void CheckShiftControls(TfrmLabelPosition &dlg)
    {
        QCOMPARE(dlg.lblShiftRight->text(), QString("Shift right"));
        QCOMPARE(dlg.lblShiftDown->text(), QString("Shift down"));
        QCOMPARE(dlg.findChild<QDoubleSpinBox *>("spnShiftRight"), dlg.spnShiftRight);
        QCOMPARE(dlg.findChild<QDoubleSpinBox *>("spnShiftDown"), dlg.spnShiftDown);
        for (QDoubleSpinBox *b : {dlg.spnShiftRight, dlg.spnShiftDown}) {
            QCOMPARE(b->minimum(), -5.0);
            QCOMPARE(b->maximum(), 5.0);
            QCOMPARE(b->singleStep(), 0.1);
        }
        QCOMPARE(dlg.spnShiftRight->value(), 0.8);
        QCOMPARE(dlg.spnShiftDown->value(), -1.3);
        QVERIFY(dlg.lblShiftPrinter->text().contains("LabelTray"));
        // the dialog's own controls stay, above the calibration
        dlg.adjustSize();
        dlg.layout()->activate();
        QVERIFY(dlg.spnShiftRight->geometry().top() > dlg.edtLabelCount->geometry().bottom());
        QVERIFY(dlg.spnShiftDown->geometry().top() > dlg.spnShiftRight->geometry().bottom());
        QCOMPARE(dlg.edtPosition->text(), QString("1"));
        dlg.spnShiftRight->setValue(7.0);   // beyond the limit: stays at 5
        QCOMPARE(dlg.spnShiftRight->value(), 5.0);
        dlg.spnShiftRight->setValue(2.0);
    }
};

CORVANE_TEST(TestLabelShift)
#include "tst_labelshift.moc"

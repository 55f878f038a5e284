// The previews the print page opens, as the user sees them: each named after its product and
// batches, closed with Escape; and the label position dialog keeping a mistyped position.
#include "testmain.h"
#include "wizardtest.h"

#include "app/ServiceUtilsUnit.h"
#include "app/ui/AppStartup.h"
#include "app/ui/Dialogs.h"
#include "products/RBBottleLabels.h"
#include "app/ui/Help.h"
#include "products/ui/FormLabelPosition.h"
#include "products/ui/FormPrintProducts.h"
#include "report/ui/PreviewForm.h"
#include "selection/ui/FormSelectionParameters.h"
#include "roster/ImportTable.h"
#include "selection/ui/FormSelectMembers.h"
#include "selection/ui/MemberListModel.h"
#include "roster/ui/VornDirView.h"
#include "roster/ui/ImportGrid.h"
#include "roster/ui/FormFormatRoster.h"
#include "roster/ui/FormChooseRosterFile.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QToolButton>
#include <QTreeView>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTimer>

namespace {

TRosterRecs Roster(int count)
{
    TRosterRecs list;
    for (int i = 0; i < count; ++i) {
        TRosterRec r;
        r.Name = QStringLiteral("NAME%1, A.").arg(i, 2, 10, QLatin1Char('0'));
        r.Gender = QStringLiteral("M");
        r.SSN = QStringLiteral("1112233%1").arg(i, 2, 10, QLatin1Char('0'));
        r.Rank = QStringLiteral("SGT");
        list.append(r);
    }
    return list;
}

// Receives the file URLs the program asks the desktop to open.
class TUrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> Opened;
public slots:
    void open(const QUrl &url) { Opened.append(url); }
};

} // namespace

class TestProductPreviews : public QObject, private MessageHooks
{
    Q_OBJECT

    QStringList titles;      // of the previews closed so far
    QStringList documents;
    int wanted = 0;          // previews still to be closed: titles.size() < wanted
    QPointer<TppPreviewForm> noted;

    // Waits for the next preview, notes its names and closes it with Escape.
    void CloseNextPreview()
    {
        if (titles.size() >= wanted && (!noted || !noted->isVisible()))
            return;
        auto *preview = qobject_cast<TppPreviewForm *>(QApplication::activeModalWidget());
        if (!preview || !preview->isVisible()) {
            QTimer::singleShot(20, this, &TestProductPreviews::CloseNextPreview);
            return;
        }
        if (preview != noted) {   // the same window again when Escape came before it was active
            noted = preview;
            titles << preview->windowTitle();
            documents << preview->Document().DocumentName;
        }
        QApplication::setActiveWindow(preview);
        QTest::keyClick(preview, Qt::Key_Escape);
        QTimer::singleShot(20, this, &TestProductPreviews::CloseNextPreview);
    }

private slots:
    void init() { OpenWizardWithHooks(mrYes); }
    void cleanup()
    {
        wanted = 0;
        CloseWizardAndHooks();
        SetPreviewHandler(nullptr);
        SetLabelPositionDialogHook({});
        SetLabelPositionPrompt(nullptr);
    }

    // A whole test from the keyboard alone: the roster chosen on page 1, its columns mapped
    // on page 2, the location and a hand-selection premise on page 3, a member moved on page
    // 4, a product ticked and printed, its preview closed. Only the window manager's part
    // (which window is active) is done by the test.
    void keyboardOnlyRun()
    {
        InstallPreviewWindow();
        QTemporaryDir dir;
        QVERIFY(QFile::copy(testing_registry::dataPath("roster.csv"), dir.filePath("roster.csv")));
        const auto activate = [](QWidget *page) {
            QVERIFY(page->isVisible());
            QApplication::setActiveWindow(page);
            QVERIFY(QTest::qWaitForWindowActive(page));
        };
        const auto key = [](Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier, int times = 1) {
            for (int i = 0; i < times; ++i) {
                QWidget *w = QApplication::focusWidget();
                QVERIFY(w);
                QTest::keyClick(w, k, m);
            }
        };
        const auto focused = [] { return QApplication::focusWidget(); };

        // Page 1: type the folder, Tab to the file list, pick the roster, Enter
        frmChooseRosterFile->show();
        activate(frmChooseRosterFile);
        QCOMPARE(focused(), static_cast<QWidget *>(frmChooseRosterFile->edtDirectory));
        key(Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(focused(), dir.path());
        key(Qt::Key_Return);
        key(Qt::Key_Tab, Qt::NoModifier, 2);
        QCOMPARE(focused(), static_cast<QWidget *>(frmChooseRosterFile->VornDirView));
        QTRY_VERIFY(frmChooseRosterFile->VornDirView->model()->rowCount() > 0);   // listed
        key(Qt::Key_Space);   // the list's current (first) file
        QVERIFY2(frmChooseRosterFile->btnNext->isEnabled(), qPrintable(frmChooseRosterFile->VornDirView->Directory() + " | " + frmChooseRosterFile->pnlStatus->text()));
        key(Qt::Key_Return);
        QVERIFY(!frmChooseRosterFile->isVisible());

        // Page 2: Space, the kind, Enter; Right to the next column
        activate(frmFormatRoster);
        QCOMPARE(focused(), static_cast<QWidget *>(frmFormatRoster->dgImportTable));
        // LAST, FIRST, MI, SSN, RANK, SEX, ORG: the list's entries 2, 1, 3, 4, 5, 6, 7
        const int entries[] = {2, 1, 3, 4, 5, 6, 7};
        for (int col = 0; col < 7; ++col) {
            if (col > 0)
                key(Qt::Key_Right);
            key(Qt::Key_Space);
            key(Qt::Key_Down, Qt::NoModifier, entries[col]);
            key(Qt::Key_Return);
        }
        QCOMPARE(frmFormatRoster->Table().GetFieldKind(6), fkOrganization);
        key(Qt::Key_Backtab);
        QCOMPARE(focused(), static_cast<QWidget *>(frmFormatRoster->cbIgnoreHeader));
        key(Qt::Key_Space);
        key(Qt::Key_Return);   // Next
        QVERIFY(!frmFormatRoster->isVisible());

        // Page 3: the location by its letters, a hand-selection premise, Enter for Next
        activate(frmSelectionParameters);
        QCOMPARE(frmSelectionParameters->MemberCount(), 30);
        QCOMPARE(focused(), static_cast<QWidget *>(frmSelectionParameters->cbLocationCode));
        QTest::keyClicks(focused(), "US");
        QCOMPARE(frmSelectionParameters->LocationCode(), QString("US"));
        key(Qt::Key_Tab);
        QCOMPARE(focused(), static_cast<QWidget *>(frmSelectionParameters->cmbxPremise));
        key(Qt::Key_Down, Qt::NoModifier, 2);
        QCOMPARE(frmSelectionParameters->PremiseCode(), QString("CO"));
        key(Qt::Key_Return);   // Next
        QVERIFY(!frmSelectionParameters->isVisible());

        // Page 4: the first two available members, the arrow button, Enter for Finish
        activate(frmSelectMembers);
        QCOMPARE(focused(), static_cast<QWidget *>(frmSelectMembers->lvAvailable));
        key(Qt::Key_Down);
        key(Qt::Key_Down, Qt::ShiftModifier);
        key(Qt::Key_Tab);
        QCOMPARE(focused(), static_cast<QWidget *>(frmSelectMembers->btnAddPerson));
        key(Qt::Key_Space);
        QCOMPARE(frmSelectionParameters->SelectedCount(), 2);
        key(Qt::Key_Return);   // Finish, then the confirmation (answered Yes here)
        QVERIFY(!frmSelectMembers->isVisible());

        // Print page: Tab to the notification copy, Space, Enter prints; Escape closes the preview
        TfrmPrintProducts *page = frmPrintProducts;
        activate(page);
        for (int i = 0; i < 40 && focused() != page->cbNotificationCopy; ++i)
            key(Qt::Key_Tab);
        QCOMPARE(focused(), static_cast<QWidget *>(page->cbNotificationCopy));
        key(Qt::Key_Space);
        QVERIFY(page->cbNotificationCopy->isChecked());
        QVERIFY(page->btnPrint->isEnabled());
        titles.clear();
        documents.clear();
        wanted = 1;
        QTimer::singleShot(0, this, &TestProductPreviews::CloseNextPreview);
        key(Qt::Key_Return);
        QCOMPARE(titles, QStringList{"Notification Copy - batch 0001"});
        QVERIFY(page->isVisible());
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
    }

    // Every product through the real preview window: its title is the product's name with
    // the batches it covers, and Escape closes it so that the next one opens.
    void previewsAreNamedAfterTheirProducts()
    {
        InstallPreviewWindow();
        InstallLabelPositionDialog();
        SetLabelPositionDialogHook([](TfrmLabelPosition &) { return int(QDialog::Accepted); });
        frmSelectionParameters->LoadMembers(Roster(15));
        frmSelectionParameters->show();
        frmSelectionParameters->cbLocationCode->setCurrentIndex(LocationIndex("US"));
        frmSelectionParameters->cmbxPremise->setCurrentIndex(1);   // everybody
        QTest::mouseClick(frmSelectionParameters->btnFinish, Qt::LeftButton);
        TfrmPrintProducts *page = frmPrintProducts;
        QVERIFY(page->isVisible());
        for (QCheckBox *box : {page->cbNotificationCopy, page->cbWorkingCopy, page->cbTestingRegister,
                               page->cb2624Front, page->cb2624Back, page->cbBottleLabels})
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
        page->edtBatchNumber->setText(QStringLiteral("0041"));

        titles.clear();
        documents.clear();
        wanted = 6;
        QTimer::singleShot(0, this, &TestProductPreviews::CloseNextPreview);
        QTest::mouseClick(page->btnPrint, Qt::LeftButton);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
        const QStringList expected = {"Notification Copy - batches 0041-0042", "Working Copy - batches 0041-0042",
                                      "Testing Register - batches 0041-0042", "DD Form 2624 - batches 0041-0042",
                                      "DD Form 2624 (Back Side)", "Bottle Labels - batches 0041-0042"};
        QCOMPARE(titles, expected);
        QCOMPARE(documents, expected);

        // One sheet: one batch.
        frmPrintProducts->hide();
        frmSelectionParameters->LoadMembers(Roster(5));
        frmSelectionParameters->show();
        QTest::mouseClick(frmSelectionParameters->btnFinish, Qt::LeftButton);
        for (QCheckBox *box : {page->cbNotificationCopy, page->cbWorkingCopy, page->cbTestingRegister,
                               page->cb2624Back, page->cbBottleLabels})
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
        QVERIFY(page->cb2624Front->isChecked());
        page->edtBatchNumber->setText(QStringLiteral("0001"));
        titles.clear();
        documents.clear();
        wanted = 1;
        QTimer::singleShot(0, this, &TestProductPreviews::CloseNextPreview);
        QTest::mouseClick(page->btnPrint, Qt::LeftButton);
        QCOMPARE(titles, QStringList{"DD Form 2624 - batch 0001"});
    }

    // OK with a position that is no label: the error shows, the dialog stays with the text
    // selected for retyping, and a good position then closes it.
    void mistypedPositionKeepsTheDialog()
    {
        TfrmLabelPosition dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        for (const QString &typed : {QStringLiteral("x3"), QStringLiteral("0"), QStringLiteral("16")}) {
            errors.clear();
            dlg.edtPosition->selectAll();
            QTest::keyClicks(dlg.edtPosition, typed);
            QTest::mouseClick(dlg.BitBtn1, Qt::LeftButton);
            QCOMPARE(errors.size(), 1);
            QVERIFY(dlg.isVisible());
            QCOMPARE(dlg.result(), int(QDialog::Rejected));
            QCOMPARE(dlg.edtPosition->selectedText(), typed);
            // letters and numbers off the sheet get one plain message, naming the sheet's ten
            QCOMPARE(errors.first(), "'" + typed + "' is not a label position on the sheet. Choose a starting position from 1 to 10.");
        }
        dlg.edtPosition->selectAll();
        QTest::keyClicks(dlg.edtPosition, "7");
        QTest::keyClick(dlg.edtPosition, Qt::Key_Return);   // Enter is OK
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));

        // Through the labels' print: a mistyped position no longer ends the print.
        InstallLabelPositionDialog();
        int rounds = 0;
        SetLabelPositionDialogHook([&rounds](TfrmLabelPosition &d) {
            d.show();
            d.edtPosition->selectAll();
            QTest::keyClicks(d.edtPosition, ++rounds == 1 ? "12a" : "3");
            QTest::mouseClick(d.BitBtn1, Qt::LeftButton);
            if (d.isVisible()) {   // still open: the user types again
                d.edtPosition->selectAll();
                QTest::keyClicks(d.edtPosition, "3");
                QTest::mouseClick(d.BitBtn1, Qt::LeftButton);
            }
            return d.result();
        });
        QString position;
        errors.clear();
        QVERIFY(LabelPositionPrompt()(4, position));
        QCOMPARE(position, QString("3"));
        QCOMPARE(errors, QStringList{"'12a' is not a label position on the sheet. Choose a starting position from 1 to 10."});
    }

    // Tab walks the dialog as it is seen: position, the two shifts, then OK, Cancel and Help;
    // Shift+Tab walks back. The label count is shown, not a stop.
    void tabFollowsTheEye()
    {
        TfrmLabelPosition dlg;
        dlg.show();
        QApplication::setActiveWindow(&dlg);
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        const QList<QWidget *> order = {dlg.edtPosition, dlg.spnShiftRight, dlg.spnShiftDown,
                                        dlg.BitBtn1, dlg.BitBtn2, dlg.BitBtn3};
        const auto on = [](QWidget *expected) {
            QWidget *w = QApplication::focusWidget();
            return w == expected || expected->isAncestorOf(w);
        };
        dlg.edtPosition->setFocus();
        for (int i = 1; i <= order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QVERIFY2(on(order[i % order.size()]), qPrintable(order[i % order.size()]->objectName()));
        }
        for (int i = order.size() - 1; i >= 0; --i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
            QVERIFY2(on(order[i]), qPrintable(order[i]->objectName()));
        }
        // the order on screen is the same
        QVERIFY(dlg.spnShiftRight->y() < dlg.spnShiftDown->y());
        QVERIFY(dlg.spnShiftDown->y() < dlg.BitBtn1->y());
        QVERIFY(dlg.BitBtn1->x() < dlg.BitBtn2->x() && dlg.BitBtn2->x() < dlg.BitBtn3->x());
        QCOMPARE(dlg.edtLabelCount->focusPolicy(), Qt::NoFocus);
        QVERIFY(dlg.BitBtn1->isDefault());
    }

    // Help opens the user guide where there is one, else says where the positions are.
    void helpShowsTheGuideOrThePositions()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QDir root(dir.path());
        QVERIFY(root.mkpath("bin"));
        QCOMPARE(UserGuidePath(root.filePath("bin")), QString());
        QVERIFY(root.mkpath("share/doc/corvane-lite"));
        QFile md(root.filePath("share/doc/corvane-lite/user-guide.md"));
        QVERIFY(md.open(QIODevice::WriteOnly));
        md.write("# Guide\n");
        md.close();
        QCOMPARE(UserGuidePath(root.filePath("bin")),
                 QFileInfo(md.fileName()).canonicalFilePath());
        QFile html(root.filePath("share/doc/corvane-lite/user-guide.html"));
        QVERIFY(html.open(QIODevice::WriteOnly));
        html.close();
        QCOMPARE(UserGuidePath(root.filePath("bin")),
                 QFileInfo(html.fileName()).canonicalFilePath());   // the formatted copy first

        // The button, as the user presses it: the program's own help window, at the label
        // sheet; no desktop viewer is asked.
        TUrlCatcher catcher;
        QDesktopServices::setUrlHandler("file", &catcher, "open");
        TfrmLabelPosition dlg;
        dlg.show();
        shown.clear();
        QTest::mouseClick(dlg.BitBtn3, Qt::LeftButton);
        QDesktopServices::unsetUrlHandler("file");
        QVERIFY(catcher.Opened.isEmpty());
        QVERIFY(shown.isEmpty());
        QVERIFY(HelpWindow() && HelpWindow()->isVisible());
        QCOMPARE(HelpWindow()->txtGuide->textCursor().block().text(), QString("The label sheet"));
        QVERIFY(HelpWindow()->txtGuide->toPlainText().contains("type the position (1 to 10)"));
        HelpWindow()->close();
        // F1 in the dialog is its Help button
        QApplication::setActiveWindow(&dlg);
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        QTest::keyClick(&dlg, Qt::Key_F1);
        QVERIFY(HelpWindow()->isVisible());
        delete HelpWindow();
        QVERIFY(dlg.isVisible());   // help leaves the dialog open
    }
};

CORVANE_TEST(TestProductPreviews)
#include "tst_productpreviews.moc"

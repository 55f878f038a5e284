#include "testmain.h"
#include "wizardtest.h"
#include "printrecorder.h"

#include "app/ServiceUtilsUnit.h"
#include "app/VORNUtils.h"
#include "app/ui/AppStartup.h"
#include "app/ui/Dialogs.h"
#include "app/ui/WizTemplate.h"
#include "products/BatchManager.h"
#include "products/ui/FormPrintProducts.h"
#include "roster/ui/FormChooseRosterFile.h"
#include "selection/ui/FormSelectionParameters.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTreeView>

namespace {

TRosterRec Rec(const QString &name, const QString &gender, const QString &ssn,
               const QString &rank = QStringLiteral("SGT"))
{
    TRosterRec r;
    r.Name = name;
    r.Gender = gender;
    r.SSN = ssn;
    r.Rank = rank;
    r.Organization = QStringLiteral("HHC");
    return r;
}

// Fifteen members; names sort in the order they are made, every third one female.
TRosterRecs Roster(int count = 15)
{
    TRosterRecs list;
    for (int i = 0; i < count; ++i)
        list.append(Rec(QStringLiteral("NAME%1, A.").arg(i, 2, 10, QLatin1Char('0')),
                        i % 3 == 2 ? QStringLiteral("F") : QStringLiteral("M"),
                        QStringLiteral("1112233%1").arg(i, 2, 10, QLatin1Char('0'))));
    return list;
}

} // namespace

class TestPrintProductsPage : public QObject, private MessageHooks
{
    Q_OBJECT

    int mainClosed = 0;
    QStringList printed;

    // Page 3 with the members loaded, a location, the premise, then Finish.
    void FinishOnPageThree(const TRosterRecs &members, int premise, const QString &count = "10")
    {
        frmSelectionParameters->LoadMembers(members);
        frmSelectionParameters->show();
        frmSelectionParameters->cbLocationCode->setCurrentIndex(LocationIndex("US"));
        frmSelectionParameters->cmbxPremise->setCurrentIndex(premise);
        frmSelectionParameters->edtCount->setText(count);
        QVERIFY(frmSelectionParameters->btnFinish->isEnabled());
        QTest::mouseClick(frmSelectionParameters->btnFinish, Qt::LeftButton);
        QVERIFY(frmPrintProducts->isVisible());
        QVERIFY(!frmSelectionParameters->isVisible());
        frmPrintProducts->Printers = RecordingPrinters(printed);
    }

    QString RowText(int row, int column = 0) const
    {
        QAbstractItemModel *model = frmPrintProducts->lvSelected->model();
        return model->data(model->index(row, column)).toString();
    }

private slots:
    void init()
    {
        printed.clear();
        mainClosed = 0;
        EditionSuffix.clear();
        OpenWizardWithHooks(mrYes);
        SetMainFormClosedHandler([this] { ++mainClosed; });
    }
    void cleanup() { CloseWizardAndHooks(); }

    void finishLeadsHereAndPrintPrintsTheTickedProducts()
    {
        FinishOnPageThree(Roster(), 1);   // unit sweep: everybody
        TfrmPrintProducts *page = frmPrintProducts;
        QCOMPARE(EditionSuffix, QString("L"));
        QCOMPARE(page->lvSelected->model()->rowCount(), 15);
        QCOMPARE(RowText(0), QString("NAME00, A."));
        QCOMPARE(RowText(0, 1), QString("111-22-3300"));
        QCOMPARE(RowText(0, 2), QString("SGT"));
        QCOMPARE(page->StatusPanel0->text(), QString("IU"));
        QCOMPARE(page->StatusPanel1->text(), QString("Members Selected For Testing: 15"));
        QVERIFY(shown.size() == 1);   // only page 3's confirmation
        QVERIFY(!page->btnPrint->isEnabled());

        QTest::mouseClick(page->cb2624Front, Qt::LeftButton);
        QVERIFY(page->btnPrint->isEnabled());
        QTest::mouseClick(page->cbBottleLabels, Qt::LeftButton);
        page->edtBatchNumber->setText(QStringLiteral("0998"));
        QTest::mouseClick(page->btnPrint, Qt::LeftButton);

        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
        QCOMPARE(printed, (QStringList{"Front2624", "BottleLabels"}));
        const TForms &forms = page->Products().Forms();
        QCOMPARE(forms.size(), 2);
        QCOMPARE(forms[0].BatchNumber, QString("0998"));
        QCOMPARE(forms[1].BatchNumber, QString("0999"));
        // The numbers went into page 3's members.
        const TRosterRec last = frmSelectionParameters->GetSelectedMember(14);
        QCOMPARE(last.FormIndex, 1);
        QCOMPARE(last.SpecimenNumber, QString("003"));

        // Enter in an entry box presses Print, the page's default button.
        printed.clear();
        QTest::keyClick(page->edtUIC, Qt::Key_Return);
        QCOMPARE(printed, (QStringList{"Front2624", "BottleLabels"}));

        // Unticking every product disables Print again.
        QTest::mouseClick(page->cb2624Front, Qt::LeftButton);
        QTest::mouseClick(page->cbBottleLabels, Qt::LeftButton);
        QVERIFY(!page->btnPrint->isEnabled());
    }

    void controlsAsTheUserFindsThem()
    {
        FinishOnPageThree(Roster(3), 1);
        TfrmPrintProducts *page = frmPrintProducts;
        QCOMPARE(page->windowTitle(), QString("Corvane Lite"));
        QCOMPARE(page->findChild<QLabel *>("lblTitle")->text(), QString("Print Products"));
        QVERIFY(page->findChild<QLabel *>("Label3")->text().startsWith(
            "The members below have been selected for testing.  Fill out"));
        QCOMPARE(page->lvSelected->header()->sectionSize(0), 236);
        QCOMPARE(page->lvSelected->header()->sectionSize(1), 88);
        QCOMPARE(page->lvSelected->header()->sectionSize(2), 45);
        QAbstractItemModel *model = page->lvSelected->model();
        QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QString("Name"));
        QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QString("SSN"));
        QCOMPARE(model->headerData(2, Qt::Horizontal).toString(), QString("Rank"));
        QVERIFY(!model->data(model->index(2, 0), Qt::DecorationRole).isNull());

        QCOMPARE(page->findChild<QLabel *>("lblBac")->text(), QString("BAC"));
        QCOMPARE(page->findChild<QLabel *>("lblUIC")->text(), QString("UIC"));
        QCOMPARE(page->findChild<QLabel *>("lblServiceDesignator")->text(), QString("W"));
        QVERIFY(page->lblServiceDesignator->isVisible());
        QVERIFY(page->edtUIC->isVisible());

        auto *bac = page->findChild<QLineEdit *>("edtBAC");
        QTest::keyClicks(bac, "hq1x9");
        QCOMPARE(bac->text(), QString("HQ1X"));
        auto *uic = page->findChild<QLineEdit *>("edtUIC");
        QTest::keyClicks(uic, "ab1cde");
        QCOMPARE(uic->text(), QString("ab1cd"));

        auto *block1 = page->findChild<QPlainTextEdit *>("mmBlock1");
        block1->setPlainText(QString(300, QLatin1Char('x')));
        QCOMPARE(block1->toPlainText().size(), 255);
        // A line break takes two of the 255 characters it prints with.
        block1->setPlainText(QString(200, 'a') + "\n" + QString(100, 'b'));
        QCOMPARE(block1->toPlainText(), QString(200, 'a') + "\n" + QString(53, 'b'));
        QVERIFY(page->findChild<QPlainTextEdit *>("mmBlock2"));
        QCOMPARE(page->findChild<QLabel *>("Label11")->text(), QString("DD Form 2624 Block 1:"));
        QCOMPARE(page->findChild<QLabel *>("Label10")->text(), QString("DD Form 2624 Block 2:"));
        QCOMPARE(page->findChild<QLabel *>("Label1")->text(), QString("Collection Date"));
        QCOMPARE(page->dtpCollectionDate->date(), QDate::currentDate());
        // shown as the products print it: 12/09/2026, not 12/9/2026
        QCOMPARE(page->dtpCollectionDate->text(), QDate::currentDate().toString("MM/dd/yyyy"));
        QCOMPARE(page->findChild<QLabel *>("Label2")->text(), QString("Starting Batch"));
        QCOMPARE(page->findChild<QLineEdit *>("edtBatchNumber")->text(), QString("0001"));
        auto *group = page->findChild<QCheckBox *>("cbGroupByGender");
        QCOMPARE(group->text(), QString("Group By Gender"));
        QVERIFY(!group->isChecked());

        // The Army numbers batches 1 to 999 and does not show the range.
        QVERIFY(!page->lblBatchRange->isVisible());
        QVERIFY(!page->edtBatchStart->isVisible());
        QCOMPARE(page->findChild<QLineEdit *>("edtBatchStart")->text(), QString("1"));
        QCOMPARE(page->findChild<QLineEdit *>("edtBatchEnd")->text(), QString("999"));

        auto *box = page->findChild<QGroupBox *>("GroupBox");
        QCOMPARE(box->title(), QString("Available Printouts"));
        const QStringList names{"cbNotificationCopy", "cbWorkingCopy", "cbTestingRegister",
                                "cb2624Front", "cb2624Back", "cbBottleLabels", "cbSelectionRecord"};
        const QStringList captions{"Personnel To Be Tested (Notification Copy)",
                                   "Personnel To Be Tested (Working Copy)", "Testing Register",
                                   "DD Form 2624", "DD Form 2624 (Back Side)", "Bottle Labels",
                                   "Selection Record"};
        int previousTop = -1;
        for (int i = 0; i < names.size(); ++i) {
            auto *cb = box->findChild<QCheckBox *>(names[i]);
            QVERIFY2(cb, qPrintable(names[i]));
            QCOMPARE(cb->text(), captions[i]);
            QVERIFY(cb->y() > previousTop);
            previousTop = cb->y();
        }
        auto *print = page->findChild<QPushButton *>("btnPrint");
        QCOMPARE(print->text(), QString("&Print"));
        QVERIFY(print->isDefault());
        QVERIFY(!print->isEnabled());
        QCOMPARE(page->findChild<QPushButton *>("btnClose")->text(), QString("&Close"));
        QVERIFY(page->findChild<QStatusBar *>("StatusBar"));
    }

    // Typing down the page from the keyboard: each Tab goes to the next field, the date's
    // included (not to its day and year), and Shift+Tab comes back the same way.
    void typingDownThePageFillsEachField()
    {
        FinishOnPageThree(Roster(3), 1);
        TfrmPrintProducts *page = frmPrintProducts;
        QApplication::setActiveWindow(page);
        QVERIFY(QTest::qWaitForWindowActive(page));
        const QDate date = page->dtpCollectionDate->date();
        page->edtBAC->setFocus();
        const auto type = [](const QString &text) {
            QTest::keyClicks(QApplication::focusWidget(), text);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        };
        type("1234");
        type("1ABCD");
        type("A CO 1-22 IN");
        type("FT HOOD TX");
        QCOMPARE(QApplication::focusWidget(), page->dtpCollectionDate);
        // its parts are reached with the arrow keys
        QCOMPARE(page->dtpCollectionDate->currentSection(), QDateTimeEdit::MonthSection);
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(page->dtpCollectionDate, Qt::Key_Right);
        QCOMPARE(page->dtpCollectionDate->currentSection(), QDateTimeEdit::DaySection);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        type("0042");
        QCOMPARE(QApplication::focusWidget(), page->cbGroupByGender);
        QCOMPARE(page->edtBAC->text(), QString("1234"));
        QCOMPARE(page->edtUIC->text(), QString("1ABCD"));
        QCOMPARE(page->mmBlock1->toPlainText(), QString("A CO 1-22 IN"));
        QCOMPARE(page->mmBlock2->toPlainText(), QString("FT HOOD TX"));
        QCOMPARE(page->dtpCollectionDate->date(), date);
        QCOMPARE(page->edtBatchNumber->text(), QString("0042"));
        for (QWidget *back : {static_cast<QWidget *>(page->edtBatchNumber), static_cast<QWidget *>(page->dtpCollectionDate),
                              static_cast<QWidget *>(page->mmBlock2)}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
            QCOMPARE(QApplication::focusWidget(), back);
        }
    }

    void anotherServiceShowsItsRangeAndHidesTheUic()
    {
        ServiceUtils->ServiceCode = 4;
        ServiceUtils->ShowUicField = false;
        ServiceUtils->ShowServiceDesignator = false;
        ServiceUtils->BatchManager->SetMaxBatch(500);
        ServiceUtils->BatchManager->SetMinBatch(20);
        FinishOnPageThree(Roster(14), 1);
        TfrmPrintProducts *page = frmPrintProducts;
        QVERIFY(page->lblBatchRange->isVisible());
        QVERIFY(page->edtBatchEnd->isVisible());
        QCOMPARE(page->edtBatchStart->text(), QString("20"));
        QCOMPARE(page->edtBatchEnd->text(), QString("500"));
        QVERIFY(!page->lblUIC->isVisible());
        QVERIFY(!page->edtUIC->isVisible());
        QVERIFY(!page->lblServiceDesignator->isVisible());

        // The range edits are what numbering uses.
        page->edtBatchStart->setText("30");
        page->edtBatchEnd->setText("31");
        page->edtBatchNumber->setText("31");
        QTest::mouseClick(page->cbWorkingCopy, Qt::LeftButton);
        QTest::mouseClick(page->btnPrint, Qt::LeftButton);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
        QCOMPARE(page->Products().Forms().size(), 2);
        QCOMPARE(page->Products().Forms()[1].BatchNumber, QString("0030"));

        page->edtBatchEnd->setText("3l");
        QTest::mouseClick(page->btnPrint, Qt::LeftButton);
        QCOMPARE(errors, QStringList{"'3l' is not a valid integer value."});
    }

    void noMembersSelected()
    {
        FinishOnPageThree(Roster(5), 0, "0");   // a probability of 0 draws nobody
        TfrmPrintProducts *page = frmPrintProducts;
        QCOMPARE(page->lvSelected->model()->rowCount(), 0);
        QCOMPARE(shown.last().message, QString("No members selected, products may not be printed."));
        QCOMPARE(shown.last().type, mtError);
        QCOMPARE(shown.last().buttons, mbOK);
        QVERIFY(page->isVisible());
        QTest::mouseClick(page->cbTestingRegister, Qt::LeftButton);
        QVERIFY(!page->btnPrint->isEnabled());
        QCOMPARE(page->StatusPanel1->text(), QString("Members Selected For Testing: 0"));
    }

    void columnClicksAndGroupingSortThroughPageThree()
    {
        FinishOnPageThree(Roster(6), 1);
        TfrmPrintProducts *page = frmPrintProducts;
        QHeaderView *header = page->lvSelected->header();
        // Name is already the ascending sort column: a click turns it round.
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(0) + 5, header->height() / 2));
        QCOMPARE(RowText(0), QString("NAME05, A."));
        QCOMPARE(RowText(5), QString("NAME00, A."));
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(1) + 5, header->height() / 2));
        QCOMPARE(RowText(0), QString("NAME00, A."));

        QTest::mouseClick(page->cbGroupByGender, Qt::LeftButton);
        QVERIFY(frmSelectionParameters->GroupByGender());
        // Females (NAME02, NAME05) first, then the rest, each by SSN.
        QCOMPARE(RowText(0), QString("NAME02, A."));
        QCOMPARE(RowText(1), QString("NAME05, A."));
        QCOMPARE(RowText(2), QString("NAME00, A."));

        // Printing with grouping ticked puts each gender on its own sheets.
        QTest::mouseClick(page->cb2624Front, Qt::LeftButton);
        QTest::mouseClick(page->btnPrint, Qt::LeftButton);
        QCOMPARE(page->Products().Forms().size(), 2);
        QCOMPARE(page->Products().Forms()[0].MemberCount, 2);
        QCOMPARE(page->Products().Forms()[1].MemberCount, 4);
    }

    void invalidStartingBatchShowsTheErrorAndPrintsNothing()
    {
        FinishOnPageThree(Roster(4), 1);
        TfrmPrintProducts *page = frmPrintProducts;
        QTest::mouseClick(page->cbNotificationCopy, Qt::LeftButton);
        page->edtBatchNumber->setText("0");
        QTest::mouseClick(page->btnPrint, Qt::LeftButton);
        QCOMPARE(errors, QStringList{"\"0\" is too small a batch number."});
        QVERIFY(printed.isEmpty());
        QVERIFY(page->isVisible());
        QCOMPARE(page->edtBatchNumber->text(), QString("0"));
    }

    void closeAsksFirst()
    {
        FinishOnPageThree(Roster(2), 1);
        TfrmPrintProducts *page = frmPrintProducts;
        frmChooseRosterFile->show();
        shown.clear();
        answer = mrNo;
        QTest::mouseClick(page->btnClose, Qt::LeftButton);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].message, CloseQuestion);
        QCOMPARE(shown[0].type, mtConfirmation);
        QCOMPARE(shown[0].buttons, mbYesNo);
        QVERIFY(page->isVisible());
        QCOMPARE(mainClosed, 0);

        QTest::keyClick(page, Qt::Key_Escape);
        QCOMPARE(shown.size(), 2);
        QVERIFY(page->isVisible());

        answer = mrYes;
        QTest::mouseClick(page->btnClose, Qt::LeftButton);
        QVERIFY(!page->isVisible());
        QCOMPARE(mainClosed, 1);
    }

    void productBoxesFollowTheGroupHeight()
    {
        FinishOnPageThree(Roster(2), 1);
        TfrmPrintProducts *page = frmPrintProducts;
        for (const QSize size : {QSize(692, 540), QSize(800, 700), QSize(760, 611)}) {
            page->resize(size);
            QCoreApplication::processEvents();
            const QList<int> tops = ProductBoxTops(page->GroupBox->height(), 7);
            const QList<QCheckBox *> boxes{page->cbNotificationCopy, page->cbWorkingCopy,
                                           page->cbTestingRegister, page->cb2624Front,
                                           page->cb2624Back, page->cbBottleLabels,
                                           page->cbSelectionRecord};
            for (int i = 0; i < boxes.size(); ++i)
                QCOMPARE(boxes[i]->y(), tops[i]);
        }
    }
};

CORVANE_TEST(TestPrintProductsPage)
#include "tst_printproductspage.moc"

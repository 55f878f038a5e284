#include "testmain.h"
#include "wizardtest.h"
#include "printrecorder.h"

#include "app/ServiceUtilsUnit.h"
#include "app/VORNUtils.h"
#include "app/ui/AppStartup.h"
#include "app/ui/Dialogs.h"
#include "products/ui/FormPrintProducts.h"
#include "selection/ui/FormSelectionParameters.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QValidator>

// The print page's checks before anything prints: members without a valid SSN, values a
// barcode cannot carry, block texts too long for their block.
class TestPrintPageChecks : public QObject, private MessageHooks
{
    Q_OBJECT

    QStringList printed;

    static TRosterRec Rec(const QString &name, const QString &ssn)
    {
        TRosterRec r;
        r.Name = name;
        r.Gender = QStringLiteral("M");
        r.SSN = ssn;
        r.Rank = QStringLiteral("SGT");
        r.Organization = QStringLiteral("HHC");
        return r;
    }

    // A unit sweep of the members, then the print page with a recorder for the products.
    TfrmPrintProducts *Page(const TRosterRecs &members)
    {
        frmSelectionParameters->LoadMembers(members);
        frmSelectionParameters->show();
        frmSelectionParameters->cbLocationCode->setCurrentIndex(LocationIndex("US"));
        frmSelectionParameters->cmbxPremise->setCurrentIndex(1);
        QTest::mouseClick(frmSelectionParameters->btnFinish, Qt::LeftButton);
        TfrmPrintProducts *page = frmPrintProducts;
        if (!page->isVisible())
            return nullptr;
        page->Printers = RecordingPrinters(printed);
        shown.clear();
        return page;
    }

private slots:
    void init()
    {
        printed.clear();
        OpenWizardWithHooks(mrYes);
    }
    void cleanup() { CloseWizardAndHooks(); }

    // Members whose SSN is blank or short would print barcodes without an SSN: the page names
    // them and asks; No prints nothing, Yes prints.
    void membersWithoutSsnAreNamedFirst()
    {
        TfrmPrintProducts *page = Page({Rec("ADAMS, ANN A.", "123456789"), Rec("BAKER, BOB B.", "         "),
                                        Rec("CLARK, CY C.", ""), Rec("DAVIS, DI D.", "987654321")});
        QVERIFY(page);
        QTest::mouseClick(page->cbTestingRegister, Qt::LeftButton);
        QTest::mouseClick(page->cbBottleLabels, Qt::LeftButton);

        answer = mrNo;
        QTest::mouseClick(page->btnPrint, Qt::LeftButton);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].type, mtWarning);
        QCOMPARE(shown[0].buttons, mbYesNo);
        const QString &text = shown[0].message;
        QVERIFY2(text.startsWith("These 2 members are without a valid SSN"), qPrintable(text));
        QVERIFY(text.contains("\nBAKER, BOB B.\n"));
        QVERIFY(text.contains("\nCLARK, CY C.\n"));
        QVERIFY(!text.contains("ADAMS"));
        QVERIFY(!text.contains("DAVIS"));
        QVERIFY(text.endsWith("Print anyway?"));
        QVERIFY(printed.isEmpty());
        QVERIFY(errors.isEmpty());

        answer = mrYes;
        QTest::mouseClick(page->btnPrint, Qt::LeftButton);
        QCOMPARE(shown.size(), 2);
        QCOMPARE(printed, (QStringList{"TestingRegister", "BottleLabels"}));

        // the back of the form carries no SSN: no question
        printed.clear();
        QTest::mouseClick(page->cbTestingRegister, Qt::LeftButton);
        QTest::mouseClick(page->cbBottleLabels, Qt::LeftButton);
        QTest::mouseClick(page->cb2624Back, Qt::LeftButton);
        QTest::mouseClick(page->btnPrint, Qt::LeftButton);
        QCOMPARE(shown.size(), 2);
        QCOMPARE(printed, QStringList{"Back2624"});

        // The real question: Enter answers No, so printing anyway is always a deliberate choice.
        SetMessageDlgHook({});
        printed.clear();
        QTest::mouseClick(page->cb2624Back, Qt::LeftButton);
        QTest::mouseClick(page->cbBottleLabels, Qt::LeftButton);
        QString asked;
        KeyOnNextModal(Qt::Key_Return, &asked);
        QTest::mouseClick(page->btnPrint, Qt::LeftButton);
        QVERIFY2(asked.endsWith("Print anyway?"), qPrintable(asked));
        QVERIFY(printed.isEmpty());
        KeyOnNextModal(Qt::Key_Y);   // Yes is one key away
        QTest::mouseClick(page->btnPrint, Qt::LeftButton);
        QCOMPARE(printed, QStringList{"BottleLabels"});
    }

    void oneMemberWithoutSsnAndALongList()
    {
        QCOMPARE(TfrmPrintProducts::SsnWarning({"BAKER, BOB B."}).left(42),
                 QString("This member is without a valid SSN (nine l"));
        QStringList many;
        for (int i = 0; i < 40; ++i)
            many << QString("MEMBER%1, A.").arg(i);
        const QString text = TfrmPrintProducts::SsnWarning(many);
        QVERIFY(text.startsWith("These 40 members"));
        QVERIFY(text.contains("\nMEMBER14, A.\nand 25 more\n"));
        QVERIFY(!text.contains("MEMBER15,"));

        // every member valid: printing asks nothing
        TfrmPrintProducts *page = Page({Rec("ADAMS, ANN A.", "123456789"), Rec("EVANS, EVE E.", "A12345678")});
        QVERIFY(page);
        QTest::mouseClick(page->cb2624Front, Qt::LeftButton);
        QTest::mouseClick(page->btnPrint, Qt::LeftButton);
        QVERIFY(shown.isEmpty());
        QCOMPARE(printed, QStringList{"Front2624"});
    }

    // The BAC and UIC boxes take no character that a scanner reads differently; a value put
    // there another way is refused at Print, before the first product.
    void barcodeValuesOnThePage()
    {
        TfrmPrintProducts *page = Page({Rec("ADAMS, ANN A.", "123456789")});
        QVERIFY(page);
        for (QLineEdit *edit : {page->edtBAC, page->edtUIC}) {
            QVERIFY(edit->validator());
            int pos = 0;
            QString typed = QString("H\u2019Q");
            QCOMPARE(edit->validator()->validate(typed, pos), QValidator::Invalid);
            typed = QString("\u00C9C");
            QCOMPARE(edit->validator()->validate(typed, pos), QValidator::Invalid);
            typed = QString("a1-/ ");
            QCOMPARE(edit->validator()->validate(typed, pos), QValidator::Acceptable);
        }
        QTest::keyClicks(page->edtBAC, "h");
        QTest::sendKeyEvent(QTest::Click, page->edtBAC, Qt::Key_unknown, QString("\u00E9"), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Click, page->edtBAC, Qt::Key_unknown, QString("\u2019"), Qt::NoModifier);
        QTest::keyClicks(page->edtBAC, "q");
        QCOMPARE(page->edtBAC->text(), QString("HQ"));

        page->edtUIC->setText(QString("AB\u00C91"));
        QTest::mouseClick(page->cbNotificationCopy, Qt::LeftButton);
        QTest::mouseClick(page->cb2624Front, Qt::LeftButton);
        QTest::mouseClick(page->btnPrint, Qt::LeftButton);
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].startsWith(QString("The UIC \"AB\u00C91\" holds \"\u00C9\"")), qPrintable(errors[0]));
        QVERIFY(printed.isEmpty());
    }

    // A block text that cannot fit its block stops Print before the first product.
    void blockTooLongOnThePage()
    {
        TfrmPrintProducts *page = Page({Rec("ADAMS, ANN A.", "123456789")});
        QVERIFY(page);
        QStringList lines;
        for (int i = 1; i <= 12; ++i)
            lines << QString("LINE %1").arg(i);
        page->mmBlock2->setPlainText(lines.join('\n'));
        QTest::mouseClick(page->cbNotificationCopy, Qt::LeftButton);
        QTest::mouseClick(page->cb2624Front, Qt::LeftButton);
        QTest::mouseClick(page->btnPrint, Qt::LeftButton);
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].startsWith("The text for DD Form 2624 Block 2 does not fit its block: the block holds "),
                 qPrintable(errors[0]));
        QVERIFY(errors[0].contains("this text takes 12"));
        QVERIFY(printed.isEmpty());
        QVERIFY(shown.isEmpty());
        QCOMPARE(page->mmBlock2->toPlainText(), lines.join('\n'));   // the user's text stays
    }
};

CORVANE_TEST(TestPrintPageChecks)
#include "tst_printpagechecks.moc"

#include "testmain.h"
#include "wizardtest.h"
#include "app/Exceptions.h"
#include "app/ServiceUtilsUnit.h"
#include "app/VORNUtils.h"
#include "app/ui/AppStartup.h"
#include "app/ui/Dialogs.h"
#include "app/ui/FormSplashUSA.h"
#include "app/ui/FormWaiting.h"
#include "app/ui/WizTemplate.h"
#include "products/ui/FormPrintProducts.h"
#include "roster/ui/FormChooseRosterFile.h"
#include "roster/ui/FormFormatRoster.h"
#include "selection/ui/FormSelectMembers.h"
#include "selection/ui/FormSelectionParameters.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// A page whose action fails half-way, to see the frame's handler at work.
class FailingPage : public TfrmWizTemplate
{
public:
    int finishRuns = 0;
protected:
    void btnFinishClick() override
    {
        ++finishRuns;
        lblTitle->setText("changed before the error");
        throw Exception("Nothing to finish");
    }
};

} // namespace

class TestWizard : public QObject, private MessageHooks
{
    Q_OBJECT

    int mainClosed = 0;

    QList<QWidget *> Pages() const
    {
        return {frmChooseRosterFile, frmFormatRoster, frmSelectionParameters, frmSelectMembers,
                frmPrintProducts};
    }
    QWidget *OnlyVisiblePage() const
    {
        QWidget *visible = nullptr;
        for (QWidget *page : Pages()) {
            if (page->isVisible()) {
                if (visible)
                    return nullptr;
                visible = page;
            }
        }
        return visible;
    }
    static TfrmWizTemplate *Wiz(QWidget *w) { return static_cast<TfrmWizTemplate *>(w); }

private slots:
    void init()
    {
        mainClosed = 0;
        OpenWizardWithHooks(mrNo);
        SetMainFormClosedHandler([this] { ++mainClosed; });
    }
    void cleanup() { CloseWizardAndHooks(); }

    void pagesCreatedHidden()
    {
        QCOMPARE(MainForm(), static_cast<QWidget *>(frmChooseRosterFile));
        QVERIFY(frmWaiting);
        for (QWidget *page : Pages())
            QVERIFY2(page && !page->isVisible(), page ? qPrintable(page->objectName()) : "missing");
        QVERIFY(!frmWaiting->isVisible());
        QCOMPARE(Wiz(frmChooseRosterFile)->lblTitle->text(), QString("Identify Roster File"));
        QCOMPARE(Wiz(frmFormatRoster)->lblTitle->text(), QString("Format Roster"));
        QCOMPARE(Wiz(frmSelectionParameters)->lblTitle->text(), QString("Choose Testing Parameters"));
        QCOMPARE(Wiz(frmSelectMembers)->lblTitle->text(), QString("Select Members for Testing"));
        QCOMPARE(frmPrintProducts->windowTitle(), QString("Corvane Lite"));
        QVERIFY(frmPrintProducts->findChild<QLabel *>("lblTitle"));
        QCOMPARE(frmPrintProducts->findChild<QLabel *>("lblTitle")->text(), QString("Print Products"));
    }

    void appRootDirIsParentOfProgramFolder()
    {
        const QString programDir = QCoreApplication::applicationDirPath();
        QString expected = QFileInfo(programDir).path();
        if (!expected.endsWith('/'))
            expected += '/';
        QCOMPARE(AppRootDir, expected);
    }

    void frameLayout()
    {
        TfrmWizTemplate *page = Wiz(frmSelectionParameters);
        page->show();
        QVERIFY(QTest::qWaitForWindowExposed(page));
        QCOMPARE(page->windowTitle(), QString("Corvane Lite"));
        QCOMPARE(page->size(), QSize(692, 473));
        QVERIFY(!(page->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(page->windowFlags() & Qt::WindowMinimizeButtonHint);
        QCOMPARE(page->pnlDescription->height(), 73);
        QCOMPARE(page->pnlDescription->width(), 692);
        QCOMPARE(page->pnlButtons->height(), 39);
        QCOMPARE(page->pnlStatus->height(), 16);
        QCOMPARE(page->lblTitle->font().pixelSize(), 16);
        QVERIFY(page->lblTitle->font().bold());
        QCOMPARE(page->font().pixelSize(), 13);
        QCOMPARE(page->pnlStatus->font().pixelSize(), 11);
        // Buttons left to right in tab order, each 91 x 25, the bar hugging the right edge.
        const QList<QPushButton *> order = {page->btnPrevious, page->btnNext, page->btnFinish, page->btnCancel};
        QStringList texts;
        for (int i = 0; i < order.size(); ++i) {
            QCOMPARE(order[i]->size(), QSize(91, 25));
            texts << order[i]->text();
            if (i > 0) {
                QVERIFY(order[i]->x() > order[i - 1]->x() + 91 - 1);
                QCOMPARE(order[i - 1]->nextInFocusChain(), static_cast<QWidget *>(order[i]));
            }
        }
        QCOMPARE(texts, QStringList({"Previous", "Next", "Finish", "Cancel"}));
        QVERIFY(page->btnCancel->geometry().right() > page->pnlButtons->width() - 20);
        QVERIFY(!page->btnPrevious->icon().isNull());
        QVERIFY(!page->btnNext->icon().isNull());
        QVERIFY(!page->btnFinish->icon().isNull());
        // The status line is the last strip of the page.
        const QPoint statusBottom = page->pnlStatus->mapTo(page, QPoint(0, page->pnlStatus->height()));
        QVERIFY(statusBottom.y() >= 473 - 3);
        for (const char *name : {"pnlDescription", "lblTitle", "lblDescription", "pnlMain", "pnlButtons",
                                 "btnPrevious", "btnNext", "btnFinish", "btnCancel", "pnlStatus"})
            QVERIFY2(page->findChild<QWidget *>(name), name);
    }

    void escapeAsksAndNoKeepsPage_data()
    {
        QTest::addColumn<int>("index");
        QTest::newRow("page 1") << 0;
        QTest::newRow("page 2") << 1;
        QTest::newRow("page 3") << 2;
        QTest::newRow("page 4") << 3;
    }
    void escapeAsksAndNoKeepsPage()
    {
        QFETCH(int, index);
        TfrmWizTemplate *page = Wiz(Pages().at(index));
        page->show();
        page->lblDescription->setText("typed by the user");
        answer = mrNo;
        QTest::keyClick(page->btnNext, Qt::Key_Escape);   // from a child control as well
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].message,
                 QString("Are you sure you wish to close Corvane Lite?  All data will be lost."));
        QCOMPARE(shown[0].type, mtConfirmation);
        QCOMPARE(shown[0].buttons, mbYesNo);
        QVERIFY(page->isVisible());
        QCOMPARE(page->lblDescription->text(), QString("typed by the user"));
        QCOMPARE(mainClosed, 0);
        QVERIFY(errors.isEmpty());
    }

    void cancelYesClosesMainWindow_data() { escapeAsksAndNoKeepsPage_data(); }
    void cancelYesClosesMainWindow()
    {
        QFETCH(int, index);
        TfrmWizTemplate *page = Wiz(Pages().at(index));
        page->show();
        answer = mrYes;
        QTest::mouseClick(page->btnCancel, Qt::LeftButton);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(mainClosed, 1);
        QVERIFY(!frmChooseRosterFile->isVisible());
    }

    void closeBoxEndsProgramWithoutAsking_data()
    {
        QTest::addColumn<int>("index");
        QTest::newRow("page 2") << 1;
        QTest::newRow("page 3") << 2;
        QTest::newRow("page 4") << 3;
        QTest::newRow("print page") << 4;
    }
    void closeBoxEndsProgramWithoutAsking()
    {
        QFETCH(int, index);
        QWidget *page = Pages().at(index);
        page->show();
        shown.clear();   // the print page reports an empty selection when shown
        QVERIFY(page->close());
        QVERIFY(shown.isEmpty());
        QCOMPARE(mainClosed, 1);
        QVERIFY(!page->isVisible());
    }

    void closingMainWindowEndsOnce()
    {
        frmChooseRosterFile->show();
        QVERIFY(frmChooseRosterFile->close());
        QCOMPARE(mainClosed, 1);
        QVERIFY(shown.isEmpty());
    }

    void printPageCloseButtonAsks()
    {
        frmPrintProducts->show();
        shown.clear();   // the empty-selection message
        auto *close = frmPrintProducts->findChild<QPushButton *>("btnClose");
        QVERIFY(close);
        QCOMPARE(close->text(), QString("&Close"));
        answer = mrNo;
        QTest::mouseClick(close, Qt::LeftButton);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].message, CloseQuestion);
        QVERIFY(frmPrintProducts->isVisible());
        QCOMPARE(mainClosed, 0);
        answer = mrYes;
        QTest::mouseClick(close, Qt::LeftButton);
        QCOMPARE(mainClosed, 1);
    }

    void handOver()
    {
        frmChooseRosterFile->show();
        auto click = [](QWidget *page, const char *button) {
            auto *b = page->findChild<QPushButton *>(button);
            QVERIFY2(b && b->isEnabled(), button);
            QTest::mouseClick(b, Qt::LeftButton);
        };
        QVERIFY(!Wiz(frmChooseRosterFile)->btnPrevious->isEnabled());
        QVERIFY(!Wiz(frmChooseRosterFile)->btnFinish->isEnabled());
        QVERIFY(!Wiz(frmFormatRoster)->btnFinish->isEnabled());
        QVERIFY(!Wiz(frmSelectMembers)->btnNext->isEnabled());

        // Pages 1 and 2 enable Next only for a chosen file and identified columns; the
        // hand-over itself is what is tested here.
        Wiz(frmChooseRosterFile)->btnNext->setEnabled(true);
        click(frmChooseRosterFile, "btnNext");
        QCOMPARE(OnlyVisiblePage(), static_cast<QWidget *>(frmFormatRoster));
        click(frmFormatRoster, "btnPrevious");
        QCOMPARE(OnlyVisiblePage(), static_cast<QWidget *>(frmChooseRosterFile));
        Wiz(frmChooseRosterFile)->btnNext->setEnabled(true);
        click(frmChooseRosterFile, "btnNext");
        Wiz(frmFormatRoster)->btnNext->setEnabled(true);
        click(frmFormatRoster, "btnNext");
        QCOMPARE(OnlyVisiblePage(), static_cast<QWidget *>(frmSelectionParameters));
        click(frmSelectionParameters, "btnPrevious");
        QCOMPARE(OnlyVisiblePage(), static_cast<QWidget *>(frmFormatRoster));
        click(frmFormatRoster, "btnNext");
        Wiz(frmSelectionParameters)->btnNext->setEnabled(true);   // needs a location otherwise
        click(frmSelectionParameters, "btnNext");
        QCOMPARE(OnlyVisiblePage(), static_cast<QWidget *>(frmSelectMembers));
        click(frmSelectMembers, "btnPrevious");
        QCOMPARE(OnlyVisiblePage(), static_cast<QWidget *>(frmSelectionParameters));
        click(frmSelectionParameters, "btnNext");
        answer = mrYes;   // both Finish buttons ask for confirmation
        click(frmSelectMembers, "btnFinish");
        QCOMPARE(OnlyVisiblePage(), static_cast<QWidget *>(frmPrintProducts));
        frmPrintProducts->hide();
        frmSelectionParameters->show();
        Wiz(frmSelectionParameters)->btnFinish->setEnabled(true);
        click(frmSelectionParameters, "btnFinish");
        QCOMPARE(OnlyVisiblePage(), static_cast<QWidget *>(frmPrintProducts));
        QVERIFY(errors.isEmpty());
        QCOMPARE(mainClosed, 0);
    }

    // Next is every page's default button (Finish where Next is not enabled): Enter on a
    // control that is no button goes on; on a button, Enter presses that button.
    void enterPressesTheDefaultButton()
    {
        TfrmWizTemplate *p3 = Wiz(frmSelectionParameters);
        p3->show();
        QVERIFY(QTest::qWaitForWindowExposed(p3));
        p3->btnNext->setEnabled(true);   // a hand-selection premise with a location chosen
        p3->btnFinish->setEnabled(false);
        QVERIFY(p3->btnNext->isDefault());
        QVERIFY(!p3->btnFinish->isDefault());
        QCOMPARE(p3->DefaultButton(), p3->btnNext);
        QTest::keyClick(frmSelectionParameters->cmbxPremise, Qt::Key_Return);
        QCOMPARE(OnlyVisiblePage(), static_cast<QWidget *>(frmSelectMembers));

        // page 4 never enables Next: Finish is its default
        TfrmWizTemplate *p4 = Wiz(frmSelectMembers);
        QVERIFY(!p4->btnNext->isEnabled());
        p4->btnFinish->setEnabled(true);
        QVERIFY(p4->btnFinish->isDefault());
        QVERIFY(!p4->btnNext->isDefault());
        // Enter on a focused button presses that button
        QApplication::setActiveWindow(p4);
        QVERIFY(QTest::qWaitForWindowActive(p4));
        p4->btnPrevious->setFocus();
        QTest::keyClick(p4->btnPrevious, Qt::Key_Return);
        QCOMPARE(OnlyVisiblePage(), static_cast<QWidget *>(frmSelectionParameters));
        // neither enabled: Enter does nothing
        p3->btnNext->setEnabled(false);
        QCOMPARE(p3->DefaultButton(), nullptr);
        QTest::keyClick(frmSelectionParameters->cmbxPremise, Qt::Key_Return);
        QCOMPARE(OnlyVisiblePage(), static_cast<QWidget *>(frmSelectionParameters));
        QVERIFY(errors.isEmpty());
    }

    void actionErrorGoesToErrorBox()
    {
        FailingPage page;
        page.show();
        QTest::mouseClick(page.btnFinish, Qt::LeftButton);
        QCOMPARE(page.finishRuns, 1);
        QCOMPARE(errors, QStringList({"Nothing to finish."}));
        QVERIFY(page.isVisible());
        QCOMPARE(page.lblTitle->text(), QString("changed before the error"));
    }

    void applicationQuitsWhenMainWindowCloses()
    {
        // As at run time: the loop ends although other pages still exist (hidden) and a
        // later page is the one the user closes.
        SetMainFormClosedHandler({});
        const bool quitOnLast = QApplication::quitOnLastWindowClosed();
        QApplication::setQuitOnLastWindowClosed(false);
        frmSelectMembers->show();
        QTimer::singleShot(0, frmSelectMembers, [] { frmSelectMembers->close(); });
        bool timedOut = false;
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, [&timedOut] { timedOut = true; QCoreApplication::exit(1); });
        guard.start(5000);
        const int code = QCoreApplication::exec();
        QApplication::setQuitOnLastWindowClosed(quitOnLast);
        QVERIFY(!timedOut);
        QCOMPARE(code, 0);
    }

    void splash()
    {
        QPointer<TfrmSplash> splash = new TfrmSplash;
        frmSplash = splash;
        QVERIFY(splash->pnlHeader->text() != ServiceUtils->HeaderText);
        QCOMPARE(splash->tmrClose->interval(), 5000);
        QVERIFY(splash->tmrClose->isActive());   // running from creation, not from showing
        splash->show();
        QCOMPARE(splash->pnlHeader->text(), QString("Army Corvane"));
        QCOMPARE(splash->lblVersion->text(), QString("Version 5.3.3 Lite"));
        QCOMPARE(splash->windowTitle(), QString("Corvane Lite"));
        QCOMPARE(splash->size(), QSize(312, 403));
        QVERIFY(splash->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!splash->ImgUSA->pixmap().isNull());
        QVERIFY(!splash->Label1->text().isEmpty());

        splash->tmrClose->start(1);
        QTRY_VERIFY(!splash->isVisible());
        QVERIFY(!splash->tmrClose->isActive());   // fires once
        QCOMPARE(mainClosed, 0);                   // hiding the splash ends nothing

        ReleaseForm(frmSplash);
        QVERIFY(frmSplash == nullptr);
        QVERIFY(splash);                            // still queued
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(splash.isNull());
    }

    void waitWindow()
    {
        QCOMPARE(frmWaiting->size(), QSize(229, 106));
        QVERIFY(frmWaiting->windowFlags() & Qt::FramelessWindowHint);
        frmWaiting->ShowWaitMessage("Loading Roster File. . .");
        QVERIFY(frmWaiting->isVisible());
        QCOMPARE(frmWaiting->pnlMessage->text(), QString("Loading Roster File. . ."));
        QCOMPARE(frmWaiting->pnlMessage->size(), frmWaiting->size());
        frmWaiting->close();
        QVERIFY(!frmWaiting->isVisible());
        QCOMPARE(mainClosed, 0);
        frmWaiting->ShowWaitMessage("Again");
        QCOMPARE(frmWaiting->pnlMessage->text(), QString("Again"));
    }
};

CORVANE_TEST(TestWizard)
#include "tst_wizard.moc"

// Pages 3 and 4 as a new user meets them: leaving page 3 without a location, the location
// list, the keyboard, and page 4's lists inside the window.
#include "testmain.h"
#include "wizardtest.h"
#include "members.h"
#include "app/ServiceUtilsUnit.h"
#include "app/ui/AppStartup.h"
#include "app/ui/Dialogs.h"
#include "roster/ImportTable.h"
#include "roster/ui/FormFormatRoster.h"
#include "selection/ui/FormSelectMembers.h"
#include "selection/ui/FormSelectionParameters.h"
#include "selection/ui/MemberListModel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

namespace {

TRosterRecs Roster(int count)
{
    TRosterRecs list;
    for (int i = 0; i < count; ++i)
        list << MakeMember(QStringLiteral("MEMBER%1, ANN").arg(i, 3, 10, QLatin1Char('0')),
                           QStringLiteral("%1").arg(100000000 + i), i % 3 ? "M" : "F", "SGT");
    return list;
}

// The rectangle of a widget in its window's coordinates.
QRect InWindow(const QWidget *w)
{
    return QRect(w->mapTo(w->window(), QPoint(0, 0)), w->size());
}

} // namespace

class TestSelectionPagesUser : public QObject, private MessageHooks
{
    Q_OBJECT

    TfrmSelectionParameters *page3() const { return frmSelectionParameters; }
    TfrmSelectMembers *page4() const { return frmSelectMembers; }
    int Errors() const
    {
        int n = 0;
        for (const ShownMessage &s : shown)
            n += s.type == mtError;
        return n;
    }
    bool ShowPage3()
    {
        page3()->LoadMembers(Roster(40));
        page3()->show();
        QApplication::setActiveWindow(page3());
        return QTest::qWaitForWindowActive(page3());
    }

private slots:
    void init()
    {
        OpenWizardWithHooks(mrNo);
        shown.clear();
    }
    void cleanup() { CloseWizardAndHooks(); }

    // Without a location the user can still sort the roster, go back to page 2 or give up;
    // only going on to the other parameters asks for the location.
    void leavingWithoutLocationForBackOrCancel()
    {
        if (!ShowPage3())
            QSKIP("the platform gives no active window, so focus never moves");
        QTRY_VERIFY(page3()->cbLocationCode->hasFocus());

        // A column title sorts, and says nothing about the location.
        const QString firstBefore = page3()->lvRoster->model()->index(0, 0).data().toString();
        ClickHeader(page3()->lvRoster, 0);
        QTest::qWait(150);
        QCOMPARE(Errors(), 0);
        QVERIFY(page3()->lvRoster->model()->index(0, 0).data().toString() != firstBefore);

        // Cancel asks the close question and nothing else; No keeps the page.
        page3()->cbLocationCode->setFocus(Qt::MouseFocusReason);
        QTest::mouseClick(page3()->btnCancel, Qt::LeftButton);
        QTest::qWait(150);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].type, mtConfirmation);
        QCOMPARE(shown[0].message, CloseQuestion);
        QVERIFY(page3()->isVisible());

        // Previous goes back to page 2 at the first click.
        page3()->cbLocationCode->setFocus(Qt::MouseFocusReason);
        QTest::mouseClick(page3()->btnPrevious, Qt::LeftButton);
        QVERIFY(!page3()->isVisible());
        QVERIFY(frmFormatRoster->isVisible());
        QTest::qWait(150);
        QCOMPARE(Errors(), 0);
    }

    void leavingForwardAsksForLocationAfterTheClick()
    {
        if (!ShowPage3())
            QSKIP("the platform gives no active window, so focus never moves");
        QTRY_VERIFY(page3()->cbLocationCode->hasFocus());
        // A click on a parameter: the click counts (the radio button is checked), then the
        // location is asked for and the focus goes back to the box.
        QRadioButton *total = page3()->rbTotalNumber;
        QTest::mouseClick(total, Qt::LeftButton, {}, QPoint(8, total->height() / 2));
        QVERIFY(total->isChecked());
        QTRY_COMPARE(Errors(), 1);
        QVERIFY(shown.last().message.startsWith("A collection location is REQUIRED.\r\n"));
        QTRY_VERIFY(page3()->cbLocationCode->hasFocus());
        // Tab moves on to the premise box: asked again.
        QTest::keyClick(page3()->cbLocationCode, Qt::Key_Tab);
        QTRY_COMPARE(Errors(), 2);
        QTRY_VERIFY(page3()->cbLocationCode->hasFocus());
        // With a location the box is left freely, and Finish takes the user on.
        page3()->cbLocationCode->setCurrentIndex(LocationIndex("US"));
        QTest::keyClick(page3()->cbLocationCode, Qt::Key_Tab);
        QTest::qWait(150);
        QCOMPARE(Errors(), 2);
        QVERIFY(page3()->cmbxPremise->hasFocus());
        QVERIFY(page3()->btnFinish->isEnabled());
    }

    // The list opens about twenty rows tall and as wide as its longest entry, not as wide as
    // the padded entries.
    void locationListFitsItsEntries()
    {
        if (!ShowPage3())
            QSKIP("the platform gives no active window");
        QComboBox *box = page3()->cbLocationCode;
        QTest::mouseClick(box, Qt::LeftButton);
        QAbstractItemView *list = box->view();
        QTRY_VERIFY(list->isVisible());
        QTest::qWait(50);
        QWidget *popup = list->window();
        const QFontMetrics metrics(list->font());
        int longest = 0;
        for (int i = 0; i < box->count(); ++i)
            longest = std::max(longest, metrics.horizontalAdvance(TrimmedText(box->itemText(i))));
        const int row = list->visualRect(list->model()->index(0, 0)).height();
        QVERIFY(row > 0);
        qInfo("popup %dx%d, longest entry %d px, row %d px", popup->width(), popup->height(), longest, row);
        QVERIFY2(popup->width() < longest + 120, qPrintable(QString::number(popup->width())));
        QVERIFY(list->viewport()->width() >= longest);   // the longest name shows whole
        QVERIFY2(popup->height() >= 15 * row && popup->height() <= 25 * row,
                 qPrintable(QString::number(popup->height())));
        QVERIFY(!list->horizontalScrollBar()->isVisible());
        QTest::keyClick(list, Qt::Key_Escape);
        QTRY_VERIFY(!list->isVisible());
        QCOMPARE(box->currentIndex(), -1);
        // Opening the list and closing it again is not leaving the box.
        QTest::qWait(150);
        QCOMPARE(Errors(), 0);
        QVERIFY(box->hasFocus());
    }

    // Tab runs down the page as it is laid out, the roster first.
    void tabOrderFollowsTheLayout()
    {
        if (!ShowPage3())
            QSKIP("the platform gives no active window, so focus never moves");
        page3()->cbLocationCode->setCurrentIndex(LocationIndex("US"));
        shown.clear();
        page3()->lvRoster->setFocus(Qt::TabFocusReason);
        QStringList order{QApplication::focusWidget()->objectName()};
        for (int i = 0; i < 10; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            order << QApplication::focusWidget()->objectName();
        }
        qInfo("%s", qPrintable(order.join(' ')));
        // One of the two radio buttons takes the stop (Qt moves between them with the arrows).
        order.removeAll("rbTotalNumber");
        QCOMPARE(order.mid(0, 9), QStringList({"lvRoster", "cbLocationCode", "cmbxPremise", "rbPercentage",
                                               "edtCount", "edtAlternates", "btnPrevious", "btnFinish", "btnCancel"}));
        QCOMPARE(order.at(9), QString("lvRoster"));
    }

    // A focused box is told apart from the same box without the focus.
    void locationBoxShowsItsFocus()
    {
        if (!ShowPage3())
            QSKIP("the platform gives no active window, so focus never moves");
        QComboBox *box = page3()->cbLocationCode;
        box->setCurrentIndex(LocationIndex("US"));
        box->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(box->hasFocus());
        const QImage focused = box->grab().toImage();
        page3()->cmbxPremise->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(!box->hasFocus());
        const QImage unfocused = box->grab().toImage();
        QVERIFY(focused != unfocused);
    }

    // Enter presses the wizard button that has the focus.
    void enterPressesTheFocusedButton()
    {
        if (!ShowPage3())
            QSKIP("the platform gives no active window, so focus never moves");
        page3()->cbLocationCode->setCurrentIndex(LocationIndex("US"));
        page3()->btnCancel->setFocus(Qt::TabFocusReason);
        QTest::keyClick(page3()->btnCancel, Qt::Key_Return);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].message, CloseQuestion);
        page3()->btnPrevious->setFocus(Qt::TabFocusReason);
        QTest::keyClick(page3()->btnPrevious, Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(!page3()->isVisible());
        QVERIFY(frmFormatRoster->isVisible());
    }

    // Both lists of page 4, with their scroll bars and every column, lie inside the window.
    void page4ListsFitTheWindow()
    {
        page3()->LoadMembers(Roster(120));
        page3()->show();
        page3()->cbLocationCode->setCurrentIndex(LocationIndex("US"));
        page3()->cmbxPremise->setCurrentIndex(2);
        QTest::mouseClick(page3()->btnNext, Qt::LeftButton);
        QVERIFY(page4()->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(page4()));
        // Half of them selected, so that both lists scroll.
        for (int i = 0; i < 60; ++i)
            page3()->SelectMember(i);
        page4()->RefreshLists();
        QApplication::processEvents();
        const QRect client = InWindow(page4()->pnlClient);
        for (TMemberListView *list : {page4()->lvAvailable, page4()->lvSelected}) {
            const QRect r = InWindow(list);
            QVERIFY2(client.contains(r), qPrintable(list->objectName()));
            QScrollBar *bar = list->verticalScrollBar();
            QTRY_VERIFY(bar->isVisible());
            const QRect b = InWindow(bar);
            QVERIFY2(client.contains(b), qPrintable(list->objectName()));
            QVERIFY(b.width() >= bar->sizeHint().width());
            // Rank, the last column, shows whole: no sideways scrolling needed.
            QHeaderView *h = list->header();
            QVERIFY(h->sectionViewportPosition(2) + h->sectionSize(2) <= list->viewport()->width());
            QCOMPARE(h->sectionSize(1), 83);
            QCOMPARE(h->sectionSize(2), 42);
        }
        QVERIFY(InWindow(page4()->lvAvailable).right() < InWindow(page4()->btnAddPerson).left());
        QVERIFY(InWindow(page4()->btnAddPerson).right() < InWindow(page4()->lvSelected).left());
    }
};

CORVANE_TEST(TestSelectionPagesUser)
#include "tst_pagesuser.moc"

#include "testmain.h"
#include "wizardtest.h"
#include "members.h"
#include "app/ServiceUtilsUnit.h"
#include "app/ui/AppStartup.h"
#include "app/ui/Dialogs.h"
#include "selection/SelectionParameters.h"
#include "selection/ui/FormSelectMembers.h"
#include "selection/ui/FormSelectionParameters.h"
#include "selection/ui/MemberListModel.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {
// A point of the list below its last row.
QPoint BelowTheRows(QAbstractItemView *view)
{
    return QPoint(20, view->viewport()->height() - 5);
}
} // namespace

// Page 4: a double click anywhere in a list, on a row or on the empty part below the rows,
// moves that list's highlighted rows to the other list.
class TestListDoubleClick : public QObject, private MessageHooks
{
    Q_OBJECT
private slots:
    void init() { OpenWizardWithHooks(mrYes); }
    void cleanup() { CloseWizardAndHooks(); }

    void doubleClickBelowTheRowsMovesTheHighlightedRows()
    {
        frmSelectionParameters->LoadMembers({MakeMember("ALPHA, A", "111111111", "F", "PVT"),
                                             MakeMember("BRAVO, B", "222222222", "M", "SGT"),
                                             MakeMember("CHARLIE, C", "333333333", "M", "CPT"),
                                             MakeMember("DELTA, D", "444444444", "F", "SPC")});
        frmSelectionParameters->show();
        frmSelectionParameters->cbLocationCode->setCurrentIndex(0);
        frmSelectionParameters->cmbxPremise->setCurrentIndex(2);
        QTest::mouseClick(frmSelectionParameters->btnNext, Qt::LeftButton);
        TfrmSelectMembers *page = frmSelectMembers;
        QVERIFY(page->isVisible());
        page->resize(800, 600);
        QTreeView *avail = page->lvAvailable;
        QTreeView *sel = page->lvSelected;
        const QPoint below = BelowTheRows(avail);
        QVERIFY(!avail->indexAt(below).isValid());

        // Nothing highlighted: nothing moves.
        Highlight(avail, {});
        QTest::mouseDClick(avail->viewport(), Qt::LeftButton, {}, below);
        QCOMPARE(frmSelectionParameters->SelectedCount(), 0);

        // Rows 1 and 3 highlighted; a user's double click below the rows (press, release,
        // double click) moves exactly those two.
        Highlight(avail, {0, 2});
        QTest::mouseClick(avail->viewport(), Qt::LeftButton, {}, below);
        QTest::mouseDClick(avail->viewport(), Qt::LeftButton, {}, below);
        QCOMPARE(Column(sel), QStringList({"ALPHA, A", "CHARLIE, C"}));
        QCOMPARE(Column(avail), QStringList({"BRAVO, B", "DELTA, D"}));
        QCOMPARE(page->lblSelected->text(), QString("Selected: 2"));

        // The same on the selected list moves its highlighted row back.
        Highlight(sel, {1});
        QTest::mouseClick(sel->viewport(), Qt::LeftButton, {}, BelowTheRows(sel));
        QTest::mouseDClick(sel->viewport(), Qt::LeftButton, {}, BelowTheRows(sel));
        QCOMPARE(Column(sel), QStringList({"ALPHA, A"}));
        QCOMPARE(frmSelectionParameters->SelectedCount(), 1);

        // A double click on a row still moves the rows highlighted with it, once.
        const QPoint onRow = avail->visualRect(avail->model()->index(1, 0)).center();
        QTest::mouseClick(avail->viewport(), Qt::LeftButton, {}, onRow);
        QTest::mouseDClick(avail->viewport(), Qt::LeftButton, {}, onRow);
        QCOMPARE(Column(sel), QStringList({"ALPHA, A", "CHARLIE, C"}));
        QCOMPARE(frmSelectionParameters->SelectedCount(), 2);
    }
};

CORVANE_TEST(TestListDoubleClick)
#include "tst_listdoubleclick.moc"

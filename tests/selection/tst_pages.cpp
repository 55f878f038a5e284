#include "testmain.h"
#include "wizardtest.h"
#include "members.h"
#include "app/ServiceUtilsUnit.h"
#include "app/ui/AppStartup.h"
#include "app/ui/Dialogs.h"
#include "products/ui/FormPrintProducts.h"
#include "roster/ImportTable.h"
#include "selection/RandomSource.h"
#include "selection/ui/FormSelectMembers.h"
#include "selection/ui/FormSelectionParameters.h"
#include "selection/ui/MemberListModel.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QDropEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

namespace {

TRosterRecs EightMembers()
{
    // Distinct names, SSNs and ranks so that every order is fully determined.
    return {MakeMember("HOTEL, H", "888888888", "M", "SGT"),
            MakeMember("ALPHA, A", "555555555", "F", "PVT"),
            MakeMember("DELTA, D", "111111111", "M", "CPT"),
            MakeMember("BRAVO, B", "777777777", "F", "SPC"),
            MakeMember("GOLF, G", "222222222", "X", "MAJ"),
            MakeMember("CHARLIE, C", "666666666", "M", "COL"),
            MakeMember("FOXTROT, F", "333333333", "F", "LTC"),
            MakeMember("ECHO, E", "444444444", "M", "PFC")};
}

} // namespace

class TestSelectionPages : public QObject, private MessageHooks
{
    Q_OBJECT

    TfrmSelectionParameters *page3() const { return frmSelectionParameters; }
    TfrmSelectMembers *page4() const { return frmSelectMembers; }
    QList<ShownMessage> ShownOfType(TMsgDlgType type) const
    {
        QList<ShownMessage> out;
        for (const ShownMessage &s : shown)
            if (s.type == type)
                out << s;
        return out;
    }
    void ChooseLocation(const QString &code)
    {
        page3()->cbLocationCode->setCurrentIndex(LocationIndex(code));
        QCOMPARE(page3()->LocationCode(), code);
    }
    // As a user's double click: the first press highlights the row.
    void DoubleClickRow(QTreeView *view, int row)
    {
        const QPoint p = RowRect(view, row).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, p);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, p);
    }
    QRect RowRect(QTreeView *view, int row)
    {
        return view->visualRect(view->model()->index(row, 0));
    }
    // Page 3 with the roster, a location and a hand-selection premise, then on to page 4.
    void GoToPage4(const TRosterRecs &roster)
    {
        page3()->LoadMembers(roster);
        page3()->show();
        ChooseLocation("US");
        page3()->cmbxPremise->setCurrentIndex(2);
        QVERIFY(page3()->btnNext->isEnabled());
        QTest::mouseClick(page3()->btnNext, Qt::LeftButton);
        QVERIFY(page4()->isVisible());
        QVERIFY(!page3()->isVisible());
    }
    QString Status4() const { return page4()->pnlStatus->text() + " / " + page4()->lblSelected->text(); }

private slots:
    void init() { OpenWizardWithHooks(mrYes); }
    void cleanup()
    {
        CloseWizardAndHooks();
        SetFixedRandomSeed(std::nullopt);
    }

    void page3StartsAsCreated()
    {
        QCOMPARE(page3()->edtCount->text(), QString("10"));
        QCOMPARE(page3()->edtCount->maxLength(), 4);
        QVERIFY(!page3()->btnFinish->isEnabled());
        QVERIFY(!page3()->btnNext->isEnabled());
        QCOMPARE(page3()->cbLocationCode->count(), 272);
        QCOMPARE(page3()->cbLocationCode->currentIndex(), -1);
        QCOMPARE(page3()->LocationCode(), QString());
        QCOMPARE(page3()->cmbxPremise->count(), 11);
        QCOMPARE(page3()->PremiseCode(), QString("IR"));
        QVERIFY(page3()->rbPercentage->isChecked());
        QCOMPARE(page3()->lblSelectionMethod->text(), QString("Testing Probability"));
        QVERIFY(!page3()->cbLocationCode->isHidden());
        QCOMPARE(page4()->pnlStatus->text(), QString("Available: 0"));
        QCOMPARE(page4()->lblSelected->text(), QString("Selected: 0"));
        QVERIFY(!page4()->btnNext->isEnabled());
        QCOMPARE(page4()->btnAddPerson->toolTip(), QString("Select Member"));
        QCOMPARE(page4()->btnRemovePerson->toolTip(), QString("Remove Member"));
        QCOMPARE(page4()->btnAddAll->toolTip(), QString("Select All Members"));
        QCOMPARE(page4()->btnRemoveAll->toolTip(), QString("Remove All Members"));
    }

    void rosterFromTableShowsInList()
    {
        TImportTable table;
        table.AddRow({"Last", "First", "MI", "SSN", "Sex", "Grade"});
        table.AddRow({"DOE", "JOHN", "Q", "123-45-6789", "male", "SGT"});
        table.AddRow({"ROE", "JANE", "", "12345678", "Female", "PVT"});
        table.IgnoreHeader = true;
        const TImportFieldKind kinds[] = {fkLastName, fkFirstName, fkInitial, fkSSN, fkGender, fkRank};
        for (int c = 0; c < 6; ++c)
            table.SetFieldKind(c, kinds[c]);
        page3()->LoadRoster(table);
        // ROE's eight digits are no SSN: said before the draw, and who it is on the tip
        QCOMPARE(page3()->pnlStatus->text(),
                 QString("Roster Count = 2    1 member has no valid SSN (sort by SSN to list them first)"));
        QCOMPARE(page3()->pnlStatus->toolTip(), QString("ROE, JANE ."));
        QCOMPARE(Column(page3()->lvRoster), QStringList({"DOE, JOHN Q.", "ROE, JANE ."}));
        QCOMPARE(Column(page3()->lvRoster, 1), QStringList({"123-45-6789", "   -  -    "}));
        QCOMPARE(Column(page3()->lvRoster, 2), QStringList({"SGT", "PVT"}));
        QAbstractItemModel *m = page3()->lvRoster->model();
        QVERIFY(m->data(m->index(0, 0), Qt::DecorationRole).value<QIcon>().cacheKey()
                != m->data(m->index(1, 0), Qt::DecorationRole).value<QIcon>().cacheKey());
        QCOMPARE(m->headerData(1, Qt::Horizontal), QVariant("SSN"));

        page3()->LoadRoster(TImportTable());
        QCOMPARE(page3()->pnlStatus->text(), QString("Roster Count = 0"));
        QCOMPARE(m->rowCount(), 0);
    }

    void buttonsFollowPremiseAndLocation()
    {
        page3()->LoadMembers(EightMembers());
        page3()->show();
        for (int premise = 0; premise < 11; ++premise) {
            page3()->cmbxPremise->setCurrentIndex(premise);
            QVERIFY(!page3()->btnFinish->isEnabled());
            QVERIFY(!page3()->btnNext->isEnabled());
        }
        ChooseLocation("GM");
        QVERIFY(page3()->btnNext->isEnabled());   // premise 10 still chosen
        QVERIFY(!page3()->btnFinish->isEnabled());
        QVERIFY(!page3()->edtCount->isEnabled());
        QVERIFY(!page3()->rbPercentage->isEnabled());
        QVERIFY(!page3()->rbTotalNumber->isEnabled());
        QCOMPARE(page3()->PremiseCode(), QString("OO"));
        page3()->cmbxPremise->setCurrentIndex(1);
        QVERIFY(page3()->btnFinish->isEnabled());
        QVERIFY(!page3()->btnNext->isEnabled());
        QVERIFY(!page3()->edtCount->isEnabled());
        page3()->cmbxPremise->setCurrentIndex(0);
        QVERIFY(page3()->btnFinish->isEnabled());
        QVERIFY(page3()->edtCount->isEnabled());
        QVERIFY(page3()->rbTotalNumber->isEnabled());
        QVERIFY(shown.isEmpty());
    }

    void methodChoiceRenamesValueLabel()
    {
        page3()->show();
        page3()->edtCount->setText("25");
        ClickIndicator(page3()->rbTotalNumber);
        QVERIFY(page3()->rbTotalNumber->isChecked());
        QCOMPARE(page3()->lblSelectionMethod->text(), QString("Testing Count"));
        ClickIndicator(page3()->rbPercentage);
        QCOMPARE(page3()->lblSelectionMethod->text(), QString("Testing Probability"));
        QCOMPARE(page3()->edtCount->text(), QString("25"));
    }

    void countBoxDiscardsLetters()
    {
        page3()->show();
        page3()->edtCount->clear();
        QTest::keyClicks(page3()->edtCount, "1a2.Zq5");
        QCOMPARE(page3()->edtCount->text(), QString("12.5"));
        page3()->edtCount->clear();
        QTest::keyClicks(page3()->edtCount, "-5x");
        QCOMPARE(page3()->edtCount->text(), QString("-5"));
        QTest::keyClicks(page3()->edtCount, "123");
        QCOMPARE(page3()->edtCount->text(), QString("-512"));   // at most 4 characters
    }

    void temporaryLocationWarnedOnce()
    {
        page3()->LoadMembers(EightMembers());
        page3()->show();
        ChooseLocation("ZZ");
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].type, mtWarning);
        QCOMPARE(shown[0].message,
                 QString("A value of \"ZZ OTHER\" can be used as a Temporary solution. \r\n"
                         "Please contact the Corvane Help Desk to add your Collection Location.\r\n\r\n"
                         "Email : corvane-help@example.mil"));
        QVERIFY(page3()->ZZWarningShown);
        // Finish afterwards does not repeat it: only the confirmation follows.
        answer = mrNo;
        QTest::mouseClick(page3()->btnFinish, Qt::LeftButton);
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[1].type, mtConfirmation);
        QCOMPARE(shown[1].message, QString("You have finished specifying testing parameters; the test is about "
                                           "to be created.  Are you sure you wish to continue?"));
        // Another location and ZZ again: warned again.
        ChooseLocation("US");
        QVERIFY(!page3()->ZZWarningShown);
        QCOMPARE(shown.size(), 2);
        ChooseLocation("ZZ");
        QCOMPARE(shown.size(), 3);
        QCOMPARE(shown[2].type, mtWarning);
    }

    void leavingEmptyLocationIsReported()
    {
        page3()->show();
        QApplication::setActiveWindow(page3());
        if (!QTest::qWaitForWindowActive(page3()))
            QSKIP("the platform gives no active window, so focus never moves");
        page3()->cbLocationCode->setFocus(Qt::OtherFocusReason);
        page3()->edtCount->setFocus(Qt::TabFocusReason);
        QTRY_COMPARE(ShownOfType(mtError).size(), 1);   // once the focus has settled
        const QList<ShownMessage> errs = ShownOfType(mtError);
        QCOMPARE(errs[0].message, "A collection location is REQUIRED.\r\n" + TfrmSelectionParameters::TemporaryLocationText());
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(page3()->cbLocationCode));
        // With a location chosen, leaving is silent.
        ChooseLocation("AA");
        page3()->edtCount->setFocus(Qt::TabFocusReason);
        QTest::qWait(100);
        QCOMPARE(ShownOfType(mtError).size(), 1);
    }

    void finishWithProbabilityDrawsAndMovesOn()
    {
        page3()->LoadMembers(EightMembers());
        page3()->show();
        ChooseLocation("US");
        page3()->edtCount->setText("100");
        QTest::mouseClick(page3()->btnFinish, Qt::LeftButton);
        QCOMPARE(page3()->SelectedCount(), 8);
        QVERIFY(!page3()->isVisible());
        QVERIFY(frmPrintProducts->isVisible());
        QVERIFY(errors.isEmpty());
    }

    void finishAnsweredNoChangesNothing()
    {
        page3()->LoadMembers(EightMembers());
        page3()->show();
        ChooseLocation("US");
        page3()->SelectMember(3);
        answer = mrNo;
        page3()->edtCount->setText("100");
        QTest::mouseClick(page3()->btnFinish, Qt::LeftButton);
        QCOMPARE(page3()->SelectedCount(), 1);
        QVERIFY(page3()->isVisible());
        QVERIFY(!frmPrintProducts->isVisible());
    }

    void finishWithBadCountStaysAndClears()
    {
        page3()->LoadMembers(EightMembers());
        page3()->show();
        ChooseLocation("US");
        page3()->SelectMember(0);
        ClickIndicator(page3()->rbTotalNumber);
        page3()->edtCount->setText("1.5");
        QTest::mouseClick(page3()->btnFinish, Qt::LeftButton);
        QCOMPARE(errors, QStringList({"'1.5' is not a valid integer value."}));
        QCOMPARE(page3()->SelectedCount(), 0);
        QVERIFY(page3()->isVisible());
        QVERIFY(!frmPrintProducts->isVisible());
        // Corrected, Finish draws exactly that many.
        page3()->edtCount->setText("3");
        QTest::mouseClick(page3()->btnFinish, Qt::LeftButton);
        QCOMPARE(page3()->SelectedCount(), 3);
        QVERIFY(frmPrintProducts->isVisible());
    }

    void emptyProbabilityReported()
    {
        page3()->LoadMembers(EightMembers());
        page3()->show();
        ChooseLocation("US");
        page3()->edtCount->clear();
        QTest::mouseClick(page3()->btnFinish, Qt::LeftButton);
        QCOMPARE(errors, QStringList({"'' is not a valid floating point value."}));
        QVERIFY(page3()->isVisible());
    }

    void unitSweepIgnoresCountBox()
    {
        page3()->LoadMembers(EightMembers());
        page3()->show();
        ChooseLocation("US");
        page3()->cmbxPremise->setCurrentIndex(1);
        page3()->edtCount->setText("0");
        QTest::mouseClick(page3()->btnFinish, Qt::LeftButton);
        QCOMPARE(page3()->SelectedCount(), 8);
        QCOMPARE(page3()->PremiseCode(), QString("IU"));
    }

    void rosterHeaderClicksSort()
    {
        page3()->LoadMembers(EightMembers());
        page3()->show();
        QTreeView *lv = page3()->lvRoster;
        QStringList names = Column(lv);
        QCOMPARE(names.first(), QString("ALPHA, A"));
        QVERIFY(std::is_sorted(names.begin(), names.end()));
        ClickHeader(lv, 0);
        names = Column(lv);
        QVERIFY(std::is_sorted(names.rbegin(), names.rend()));
        ClickHeader(lv, 2);
        QStringList ranks = Column(lv, 2);
        QVERIFY(std::is_sorted(ranks.begin(), ranks.end()));
        // The print page's grouping: every female first.
        page3()->SetGroupByGender(true);
        QStringList sexes;
        for (int n = 0; n < page3()->MemberCount(); ++n)
            sexes << page3()->Members().Members[page3()->MemberIndex(lkAll, n)].Gender;
        QCOMPARE(sexes.mid(0, 3), QStringList({"F", "F", "F"}));
        QVERIFY(!sexes.mid(3).contains("F"));
    }

    void highlightedRowsMoveByButton()
    {
        GoToPage4(EightMembers());
        QCOMPARE(Status4(), QString("Available: 8 / Selected: 0"));
        const QStringList before = Column(page4()->lvAvailable);
        // Rows 1, 3 and 4 as the user counts them.
        Highlight(page4()->lvAvailable, {0, 2, 3});
        QTest::mouseClick(page4()->btnAddPerson, Qt::LeftButton);
        QCOMPARE(Status4(), QString("Available: 5 / Selected: 3"));
        QCOMPARE(Column(page4()->lvSelected), QStringList({before[0], before[2], before[3]}));
        QCOMPARE(Column(page4()->lvAvailable), QStringList({before[1], before[4], before[5], before[6], before[7]}));
        QCOMPARE(page3()->SelectedCount(), 3);

        // Back again: the middle one of the selected list.
        Highlight(page4()->lvSelected, {1});
        QTest::mouseClick(page4()->btnRemovePerson, Qt::LeftButton);
        QCOMPARE(Column(page4()->lvSelected), QStringList({before[0], before[3]}));
        QCOMPARE(Column(page4()->lvAvailable),
                 QStringList({before[1], before[2], before[4], before[5], before[6], before[7]}));
        QCOMPARE(Status4(), QString("Available: 6 / Selected: 2"));

        // Nothing highlighted: nothing moves.
        Highlight(page4()->lvAvailable, {});
        QTest::mouseClick(page4()->btnAddPerson, Qt::LeftButton);
        QCOMPARE(page3()->SelectedCount(), 2);
    }

    void selectAllAndRemoveAll()
    {
        GoToPage4(EightMembers());
        Highlight(page4()->lvAvailable, {});
        QTest::mouseClick(page4()->btnAddAll, Qt::LeftButton);
        QCOMPARE(Status4(), QString("Available: 0 / Selected: 8"));
        QTest::mouseClick(page4()->btnAddAll, Qt::LeftButton);   // none available: no change
        QCOMPARE(page3()->SelectedCount(), 8);
        QCOMPARE(Column(page4()->lvSelected), Column(page3()->lvRoster));
        QTest::mouseClick(page4()->btnRemoveAll, Qt::LeftButton);
        QCOMPARE(Status4(), QString("Available: 8 / Selected: 0"));
    }

    void doubleClickMovesHighlightedRows()
    {
        GoToPage4(EightMembers());
        QTreeView *avail = page4()->lvAvailable;
        const QStringList before = Column(avail);
        DoubleClickRow(avail, 4);
        QCOMPARE(Column(page4()->lvSelected), QStringList({before[4]}));
        QCOMPARE(page3()->SelectedCount(), 1);

        // Two more, then a double click on the last row of the selected list moves it back.
        Highlight(avail, {0, 1});
        QTest::mouseClick(page4()->btnAddPerson, Qt::LeftButton);
        QCOMPARE(page3()->SelectedCount(), 3);
        QTreeView *sel = page4()->lvSelected;
        const QStringList selBefore = Column(sel);
        DoubleClickRow(sel, 2);
        QCOMPARE(Column(sel), selBefore.mid(0, 2));
        QCOMPARE(Status4(), QString("Available: 6 / Selected: 2"));
    }

    void dragOnlyBetweenTheTwoLists()
    {
        GoToPage4(EightMembers());
        TMemberListView *avail = page4()->lvAvailable;
        TMemberListView *sel = page4()->lvSelected;
        QVERIFY(page4()->lvListViewDragOver(sel, avail));
        QVERIFY(page4()->lvListViewDragOver(avail, sel));
        QVERIFY(!page4()->lvListViewDragOver(avail, avail));
        QVERIFY(!page4()->lvListViewDragOver(sel, sel));
        QVERIFY(!page4()->lvListViewDragOver(sel, page3()->lvRoster));
        QVERIFY(!page4()->lvListViewDragOver(sel, nullptr));

        const QStringList before = Column(avail);
        Highlight(avail, {1, 5});
        page4()->lvListViewDragDrop(avail, avail);   // onto itself: nothing
        QCOMPARE(page3()->SelectedCount(), 0);
        page4()->lvListViewDragDrop(sel, avail);
        QCOMPARE(Column(sel), QStringList({before[1], before[5]}));

        Highlight(sel, {0});
        page4()->lvListViewDragDrop(avail, sel);
        QCOMPARE(Column(sel), QStringList({before[5]}));

        // A drop from outside the program (no source widget) is refused by the list itself.
        Highlight(avail, {0});
        auto *mime = new QMimeData;
        mime->setData(TMemberListModel::MimeType, "1");
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, mime, Qt::LeftButton, {});
        QApplication::sendEvent(sel->viewport(), &enter);
        QVERIFY(!enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, mime, Qt::LeftButton, {});
        QApplication::sendEvent(sel->viewport(), &drop);
        QCOMPARE(page3()->SelectedCount(), 1);
        delete mime;
    }

    void sortingOnPage4SortsEveryList()
    {
        GoToPage4(EightMembers());
        Highlight(page4()->lvAvailable, {0, 2, 4, 6});
        QTest::mouseClick(page4()->btnAddPerson, Qt::LeftButton);
        ClickHeader(page4()->lvSelected, 2);   // Rank ascending
        for (QTreeView *v : {static_cast<QTreeView *>(page4()->lvSelected),
                             static_cast<QTreeView *>(page4()->lvAvailable),
                             static_cast<QTreeView *>(page3()->lvRoster)}) {
            const QStringList ranks = Column(v, 2);
            QVERIFY2(std::is_sorted(ranks.begin(), ranks.end()), qPrintable(ranks.join(',')));
        }
        ClickHeader(page4()->lvAvailable, 2);   // again: descending
        const QStringList ranks = Column(page4()->lvAvailable, 2);
        QVERIFY(std::is_sorted(ranks.rbegin(), ranks.rend()));
        QCOMPARE(page3()->SelectedCount(), 4);
    }

    void backAndForthKeepsHandSelection()
    {
        GoToPage4(EightMembers());
        Highlight(page4()->lvAvailable, {1, 2});
        QTest::mouseClick(page4()->btnAddPerson, Qt::LeftButton);
        const QStringList chosen = Column(page4()->lvSelected);
        QTest::mouseClick(page4()->btnPrevious, Qt::LeftButton);
        QVERIFY(page3()->isVisible());
        QTest::mouseClick(page3()->btnNext, Qt::LeftButton);
        QVERIFY(page4()->isVisible());
        QCOMPARE(Column(page4()->lvSelected), chosen);
        QCOMPARE(Status4(), QString("Available: 6 / Selected: 2"));

        // A new roster hand-over (page 2's Next) starts afresh.
        QTest::mouseClick(page4()->btnPrevious, Qt::LeftButton);
        page3()->LoadMembers(EightMembers());
        QCOMPARE(page3()->SelectedCount(), 0);
        QTest::mouseClick(page3()->btnNext, Qt::LeftButton);
        QCOMPARE(Status4(), QString("Available: 8 / Selected: 0"));
    }

    void finishOnPage3ReplacesHandSelection()
    {
        GoToPage4(EightMembers());
        Highlight(page4()->lvAvailable, {0, 1, 2});
        QTest::mouseClick(page4()->btnAddPerson, Qt::LeftButton);
        QTest::mouseClick(page4()->btnPrevious, Qt::LeftButton);
        page3()->cmbxPremise->setCurrentIndex(0);
        ClickIndicator(page3()->rbTotalNumber);
        page3()->edtCount->setText("5");
        QTest::mouseClick(page3()->btnFinish, Qt::LeftButton);
        QCOMPARE(page3()->SelectedCount(), 5);
        QVERIFY(frmPrintProducts->isVisible());
    }

    void finishOnPage4Confirms()
    {
        GoToPage4(EightMembers());
        answer = mrNo;
        QTest::mouseClick(page4()->btnFinish, Qt::LeftButton);
        QCOMPARE(shown.last().message, QString("The test is about to be created.  Are you sure you wish to continue?"));
        QCOMPARE(shown.last().type, mtConfirmation);
        QVERIFY(page4()->isVisible());
        answer = mrYes;
        QTest::mouseClick(page4()->btnFinish, Qt::LeftButton);   // nobody selected is allowed
        QVERIFY(!page4()->isVisible());
        QVERIFY(frmPrintProducts->isVisible());
        QCOMPARE(page3()->SelectedCount(), 0);
    }

    void printPageOperationsSeeSelectionInDisplayOrder()
    {
        page3()->LoadMembers(EightMembers());
        for (int i : {0, 2, 4, 6})
            page3()->SelectMember(i);   // HOTEL, DELTA, GOLF, FOXTROT
        QCOMPARE(page3()->GetSelectedMember(0).Name, QString("DELTA, D"));
        QCOMPARE(page3()->GetSelectedMember(3).Name, QString("HOTEL, H"));
        page3()->SetGroupByGender(true);
        QCOMPARE(page3()->GetSelectedMember(0).Name, QString("FOXTROT, F"));
        page3()->SetMemberPrintInfo(0, 1, "0001");
        QCOMPARE(page3()->Members().Members[6].SpecimenNumber, QString("0001"));
        QCOMPARE(page3()->Members().Members[6].FormIndex, 1);
    }
};

CORVANE_TEST(TestSelectionPages)
#include "tst_pages.moc"

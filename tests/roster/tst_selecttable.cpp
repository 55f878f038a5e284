#include "testmain.h"
#include "import/ImportFileReader.h"
#include "roster/ImportTable.h"
#include "roster/ui/FormSelectTable.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

namespace {
void ClickItem(QListWidget *list, int row, bool dbl = false)
{
    const QPoint at = list->visualItemRect(list->item(row)).center();
    // A double click arrives after the press and release of its first click.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    if (dbl)
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

struct Installed
{
    explicit Installed(SelectTableHook hook)
    {
        InstallTableChooser();
        SetSelectTableHook(std::move(hook));
    }
    ~Installed()
    {
        SetSelectTableHook({});
        SetTableChooser({});
    }
};
} // namespace

class TestSelectTable : public QObject
{
    Q_OBJECT
private slots:
    void initialState()
    {
        TfrmSelectTable dlg;
        dlg.SetTables({"Roster", "Units"});
        dlg.show();
        QCOMPARE(dlg.windowTitle(), QString("Select Table"));
        QCOMPARE(dlg.findChild<QLabel *>("lblPrompt")->text(),
                 QString("Select the table to import from the following list."));
        QCOMPARE(dlg.findChild<QListWidget *>("ListBox")->count(), 2);
        QVERIFY(!dlg.findChild<QPushButton *>("btnOK")->isEnabled());
        QVERIFY(dlg.findChild<QPushButton *>("btnCancel")->isEnabled());
        QCOMPARE(dlg.SelectedTable(), QString());
    }

    void clickEnablesOk()
    {
        TfrmSelectTable dlg;
        dlg.SetTables({"Roster", "Units"});
        dlg.show();
        ClickItem(dlg.ListBox, 1);
        QVERIFY(dlg.btnOK->isEnabled());
        QCOMPARE(dlg.SelectedTable(), QString("Units"));
        QVERIFY(dlg.isVisible());   // a single click does not close it
    }

    void chosenTableIsRead()
    {
        Installed chooser([](TfrmSelectTable &dlg) {
            dlg.show();
            ClickItem(dlg.ListBox, 1);
            dlg.btnOK->click();
            return dlg.result();
        });
        TImportTable t;
        QVERIFY(t.LoadFromFile(testing_registry::dataPath("roster.mdb"), iftAccess));
        QCOMPARE(t.RowCount(), 5);   // the Units table
        QCOMPARE(t.GetCell(0, 1), QString("HHC 1-22 IN"));
    }

    void doubleClickActsAsOk()
    {
        Installed chooser([](TfrmSelectTable &dlg) {
            dlg.show();
            ClickItem(dlg.ListBox, 0, true);
            return dlg.result();
        });
        TImportTable t;
        QVERIFY(t.LoadFromFile(testing_registry::dataPath("roster.mdb"), iftAccess));
        QCOMPARE(t.RowCount(), 35);
    }

    void cancelLoadsNothing()
    {
        bool okWasEnabled = true;
        Installed chooser([&](TfrmSelectTable &dlg) {
            dlg.show();
            okWasEnabled = dlg.btnOK->isEnabled();
            dlg.btnCancel->click();
            return dlg.result();
        });
        TImportTable t;
        QVERIFY(!t.LoadFromFile(testing_registry::dataPath("roster.mdb"), iftAccess));
        QVERIFY(!okWasEnabled);
        QCOMPARE(t.RowCount(), 0);
    }

    void emptyListOnlyCancels()
    {
        QString chosen = "unchanged";
        bool accepted = true, okEnabled = true;
        SetSelectTableHook([&](TfrmSelectTable &dlg) {
            dlg.show();
            QTest::mouseDClick(dlg.ListBox->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
            accepted = dlg.result() == QDialog::Accepted;
            okEnabled = dlg.btnOK->isEnabled();
            dlg.btnCancel->click();
            return dlg.result();
        });
        QVERIFY(!ChooseTable({}, chosen));
        SetSelectTableHook({});
        QVERIFY(!accepted);
        QVERIFY(!okEnabled);
        QCOMPARE(chosen, QString("unchanged"));
    }
};

CORVANE_TEST(TestSelectTable)
#include "tst_selecttable.moc"

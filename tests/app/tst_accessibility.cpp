#include "testmain.h"
#include "wizardtest.h"
#include "app/ui/Dialogs.h"
#include "app/ui/Help.h"
#include "products/ui/FormLabelPosition.h"
#include "products/ui/FormPrintProducts.h"
#include "report/ui/PreviewForm.h"
#include "roster/ui/FormChooseRosterFile.h"
#include "roster/ui/FormFormatRoster.h"
#include "roster/ui/FormSelectTable.h"
#include "selection/SelectionParameters.h"
#include "selection/ui/FormSelectMembers.h"
#include "selection/ui/FormSelectionParameters.h"

#include <QAccessible>
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QLabel>
#include <QApplication>
#include <QListWidget>
#include <QTest>
#include <QTreeView>

// What a screen reader finds: every interactive control of every page and dialog has a name
// (its label's text, its own text or a tooltip) and a role; the pages announce their title and
// description; the member lists say in words what the female and male icons show.
class TestAccessibility : public QObject
{
    Q_OBJECT

    static bool Interactive(QAccessible::Role role)
    {
        switch (role) {
        case QAccessible::PushButton: case QAccessible::CheckBox: case QAccessible::RadioButton:
        case QAccessible::ComboBox: case QAccessible::EditableText: case QAccessible::SpinBox:
        case QAccessible::Table: case QAccessible::Tree: case QAccessible::List: case QAccessible::Slider:
        case QAccessible::ButtonMenu: case QAccessible::ButtonDropDown: case QAccessible::PageTab:
        case QAccessible::Link: case QAccessible::Dial: case QAccessible::ScrollBar: case QAccessible::Document:
        case QAccessible::StaticText:   // a focus stop that reads as text (the help's guide)
            return true;
        default:
            return false;
        }
    }

    // The shown controls a user can reach (a focus stop, or a button) that have no name or
    // no role, as "objectName (role)"; the count of controls looked at goes to checked.
    static QStringList Unnamed(QWidget *window, int &checked)
    {
        QStringList out;
        std::function<void(QAccessibleInterface *, int)> walk = [&](QAccessibleInterface *iface, int depth) {
            if (!iface || depth > 40)
                return;
            QObject *object = iface->object();
            auto *w = qobject_cast<QWidget *>(object);
            if (!w || !w->isVisible())
                return;
            const QAccessible::Role role = iface->role();
            // a scroll area's viewport is the area's own surface, named with it
            const auto *area = qobject_cast<QAbstractScrollArea *>(w->parentWidget());
            const bool viewport = area && area->viewport() == w;
            const bool reachable = !viewport && ((w->focusPolicy() & Qt::TabFocus) || qobject_cast<QAbstractButton *>(w));
            if (reachable && w != window) {   // disabled ones too: they are read out as such
                if (role == QAccessible::NoRole)
                    out << QStringLiteral("%1 (no role, %2)").arg(w->objectName(), w->metaObject()->className());
                else if (Interactive(role) || role == QAccessible::Client) {
                    ++checked;
                    if (iface->text(QAccessible::Name).trimmed().isEmpty())
                        out << QStringLiteral("%1 (%2 in %3, role %4)")
                                   .arg(w->objectName(), w->metaObject()->className(),
                                        w->parentWidget() ? w->parentWidget()->objectName() : QString())
                                   .arg(int(role));
                }
            }
            // the cells of lists and the parts of spin and combo boxes are theirs
            if (role == QAccessible::Table || role == QAccessible::Tree || role == QAccessible::List ||
                role == QAccessible::SpinBox || role == QAccessible::ComboBox)
                return;
            for (int i = 0; i < iface->childCount(); ++i)
                walk(iface->child(i), depth + 1);
        };
        walk(QAccessible::queryAccessibleInterface(window), 0);
        return out;
    }

    static void CheckWindow(QWidget *window, int minimumControls)
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        int checked = 0;
        const QStringList unnamed = Unnamed(window, checked);
        QVERIFY2(unnamed.isEmpty(), qPrintable(window->objectName() + ": " + unnamed.join(", ")));
        QVERIFY2(checked >= minimumControls, qPrintable(QStringLiteral("%1: %2 controls").arg(window->objectName()).arg(checked)));
        // the window itself is announced by name
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(window);
        QVERIFY(!iface->text(QAccessible::Name).isEmpty());
    }

private slots:
    void initTestCase()
    {
        SetMessageDlgHook([](const QString &, TMsgDlgType, TMsgDlgButtons) { return int(mrNo); });
        OpenWizard();
        TRosterRecs members(3);
        members[0].Name = QStringLiteral("ADAMS, ANN A.");
        members[0].Gender = QStringLiteral("F");
        members[1].Name = QStringLiteral("BAKER, BOB B.");
        members[1].Gender = QStringLiteral("M");
        members[2].Name = QStringLiteral("CLARK, CY C.");
        members[2].Gender = QStringLiteral("M");
        for (auto &m : members) {
            m.SSN = QStringLiteral("123456789");
            m.Rank = QStringLiteral("SGT");
        }
        frmSelectionParameters->LoadMembers(members);
    }
    void cleanupTestCase()
    {
        delete HelpWindow();
        CloseWizard();
        SetMessageDlgHook({});
        SetMainFormClosedHandler({});
    }

    void pagesNameEveryControl_data()
    {
        QTest::addColumn<QWidget *>("page");
        QTest::addColumn<int>("controls");
        QTest::newRow("page 1") << static_cast<QWidget *>(frmChooseRosterFile) << 7;
        QTest::newRow("page 2") << static_cast<QWidget *>(frmFormatRoster) << 7;
        QTest::newRow("page 3") << static_cast<QWidget *>(frmSelectionParameters) << 9;
        QTest::newRow("page 4") << static_cast<QWidget *>(frmSelectMembers) << 10;
        QTest::newRow("print page") << static_cast<QWidget *>(frmPrintProducts) << 15;
    }
    void pagesNameEveryControl()
    {
        QFETCH(QWidget *, page);
        QFETCH(int, controls);
        CheckWindow(page, controls);
        // the header band: title as the page's name, description as its description
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(page);
        const QString title = page->findChild<QLabel *>("lblTitle")->text();
        QCOMPARE(iface->text(QAccessible::Name), title);
        QVERIFY(!iface->text(QAccessible::Description).isEmpty());
        page->hide();
    }

    void dialogsNameEveryControl()
    {
        {
            TfrmLabelPosition dlg;
            CheckWindow(&dlg, 6);
        }
        {
            TfrmSelectTable dlg;
            dlg.ListBox->addItems({"Roster", "Units"});
            CheckWindow(&dlg, 3);
        }
        {
            TppDocument doc;
            doc.Pages.resize(2);
            TppPreviewForm preview(nullptr, std::move(doc));
            CheckWindow(&preview, 3);
        }
        QVERIFY(ShowUserGuide());
        CheckWindow(HelpWindow(), 2);
        HelpWindow()->close();
    }

    // The icons of the member lists have words: the name cell reads the gender out.
    void genderIconsHaveTextAlternatives()
    {
        frmSelectionParameters->show();
        QTreeView *list = frmSelectionParameters->findChild<QTreeView *>("lvRoster");
        QVERIFY(list);
        QAbstractItemModel *m = list->model();
        QStringList spoken;
        for (int r = 0; r < m->rowCount(); ++r) {
            const QModelIndex name = m->index(r, 0);
            QVERIFY(!name.data(Qt::DecorationRole).isNull());
            spoken << name.data(Qt::AccessibleTextRole).toString();
            QCOMPARE(name.data(Qt::ToolTipRole).toString(), spoken.last().endsWith("female") ? QString("Female") : QString("Male"));
        }
        spoken.sort();
        QCOMPARE(spoken, (QStringList{"ADAMS, ANN A., female", "BAKER, BOB B., male", "CLARK, CY C., male"}));
        // and the accessibility tree hands that text to the screen reader
        QAccessibleInterface *table = QAccessible::queryAccessibleInterface(list);
        QVERIFY(table && table->tableInterface());
        QStringList cells;
        for (int r = 0; r < m->rowCount(); ++r)
            if (QAccessibleInterface *cell = table->tableInterface()->cellAt(r, 0))
                cells << cell->text(QAccessible::Name);
        QVERIFY2(cells.filter(QStringLiteral(", female")).size() == 1, qPrintable(cells.join(" | ")));
        frmSelectionParameters->hide();
    }
};

CORVANE_TEST(TestAccessibility)
#include "tst_accessibility.moc"

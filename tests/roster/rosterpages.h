#pragma once
// Pages 1 and 2 as a user drives them, for the tests of those pages (a base of the test class,
// beside MessageHooks).
#include "roster/ui/FormChooseRosterFile.h"
#include "roster/ui/FormFormatRoster.h"
#include "roster/ui/ImportGrid.h"
#include "roster/ui/VornDirView.h"
#include "selection/ui/FormSelectionParameters.h"

#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QTest>

class RosterPages
{
protected:
    QString FDir;   // the rosters' folder, ends in '/'

    TfrmChooseRosterFile *page1() { return frmChooseRosterFile; }
    TfrmFormatRoster *page2() { return frmFormatRoster; }
    QAbstractItemModel *gridModel() { return page2()->dgImportTable->model(); }

    void typeFolder(const QString &path)
    {
        QLineEdit *edit = page1()->edtDirectory;
        edit->clear();
        QTest::keyClicks(edit, path);
        QTest::keyClick(edit, Qt::Key_Return);
    }

    QStringList listedFiles()
    {
        QStringList result;
        const QAbstractItemModel *m = page1()->VornDirView->model();
        for (int r = 0; r < m->rowCount(); ++r)
            result << m->data(m->index(r, 0)).toString();
        return result;
    }

    bool clickFile(const QString &name, bool dbl = false)
    {
        TVornDirView *view = page1()->VornDirView;
        const QAbstractItemModel *m = view->model();
        for (int r = 0; r < m->rowCount(); ++r) {
            if (m->data(m->index(r, 0)).toString() != name)
                continue;
            const QPoint at = view->visualRect(m->index(r, 0)).center();
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
            if (dbl)
                QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
            return true;
        }
        return false;
    }

    // Page 1 to page 2 with the named file of FDir (or another folder).
    void openOnPage2(const QString &name, const QString &dir = QString())
    {
        if (!page1()->isVisible()) {
            page2()->hide();
            frmSelectionParameters->hide();
            page1()->show();
        }
        typeFolder(dir.isEmpty() ? FDir : dir);
        QVERIFY2(clickFile(name), qPrintable(name + " in " + page1()->VornDirView->Directory() + ": " + listedFiles().join(' ')));
        QVERIFY(page1()->btnNext->isEnabled());
        QTest::mouseClick(page1()->btnNext, Qt::LeftButton);
        QVERIFY(page2()->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(page2()));
    }
};

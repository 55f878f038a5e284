#include "AppStartup.h"

#include "FormWaiting.h"
#include "products/ui/FormPrintProducts.h"
#include "roster/ui/FormChooseRosterFile.h"
#include "roster/ImportHooks.h"
#include "roster/ui/FormFormatRoster.h"
#include "selection/ui/FormSelectMembers.h"
#include "selection/TestMembers.h"
#include "selection/ui/FormSelectionParameters.h"

#include <QCursor>
#include <QGuiApplication>

void CreatePages()
{
    // Pages ask for one another through the frame and reach page 3's member list through
    // its operations; what they hold is looked up when asked, so these may come first.
    SetShowPageHandler([](TWizPage page) {
        switch (page) {
        case TWizPage::ChooseRosterFile: frmChooseRosterFile->show(); break;
        case TWizPage::FormatRoster: frmFormatRoster->show(); break;
        case TWizPage::SelectionParameters: frmSelectionParameters->show(); break;
        case TWizPage::SelectMembers: frmSelectMembers->show(); break;
        case TWizPage::PrintProducts: frmPrintProducts->show(); break;
        }
    });
    SetTestMembersSource([]() -> TTestMembers * { return frmSelectionParameters; });
    SetRosterChoiceSource([](QString &folder, QString &fileName) {
        if (!frmChooseRosterFile)
            return false;
        folder = frmChooseRosterFile->RosterFolder();
        fileName = frmChooseRosterFile->RosterFileName();
        return true;
    });
    // A page's constructor may reach the pages created before it, never those after.
    frmChooseRosterFile = new TfrmChooseRosterFile;
    SetMainForm(frmChooseRosterFile);
    frmSelectionParameters = new TfrmSelectionParameters;
    frmSelectMembers = new TfrmSelectMembers;
    frmPrintProducts = new TfrmPrintProducts;
    frmFormatRoster = new TfrmFormatRoster;
    frmWaiting = new TfrmWaiting;
    // the hourglass while a roster is read
    SetBusyCursorHandler([](bool busy) {
        if (busy)
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        else
            QGuiApplication::restoreOverrideCursor();
    });
}

void DestroyPages()
{
    SetMainForm(nullptr);
    delete frmWaiting;
    frmWaiting = nullptr;
    delete frmFormatRoster;
    frmFormatRoster = nullptr;
    delete frmPrintProducts;
    frmPrintProducts = nullptr;
    delete frmSelectMembers;
    frmSelectMembers = nullptr;
    delete frmSelectionParameters;
    frmSelectionParameters = nullptr;
    delete frmChooseRosterFile;
    frmChooseRosterFile = nullptr;
}

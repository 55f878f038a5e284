#include "AppStartup.h"

#include "FormWaiting.h"
#include "products/ui/FormPrintProducts.h"
#include "roster/ui/FormChooseRosterFile.h"
#include "roster/ImportFileReader.h"
#include "roster/ImportProcess.h"
#include "roster/ui/FormFormatRoster.h"
#include "selection/ui/FormSelectMembers.h"
#include "selection/ui/FormSelectionParameters.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>

namespace {
QWidget *g_mainForm = nullptr;
std::function<void()> g_mainFormClosed;
} // namespace

QWidget *MainForm() { return g_mainForm; }
void SetMainForm(QWidget *form) { g_mainForm = form; }

void SetMainFormClosedHandler(std::function<void()> handler)
{
    g_mainFormClosed = std::move(handler);
}

void MainFormClosed()
{
    CancelImportProcess();   // a roster being read when the program closes is dropped
    if (g_mainFormClosed)
        g_mainFormClosed();
    else
        QCoreApplication::quit();
}

void CreatePages()
{
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

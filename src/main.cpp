#include "app/ServiceUtilsUnit.h"
#include "app/VORNUtils.h"
#include "app/ui/AppStartup.h"
#include "app/ui/FormSplashUSA.h"
#include "products/ui/FormLabelPosition.h"
#include "report/ui/PreviewForm.h"
#include "roster/ui/FormChooseRosterFile.h"
#include "roster/ui/FormSelectTable.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <cstdio>
#include <exception>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // The pages hide instead of closing; only the main window's close ends the run.
    QApplication::setQuitOnLastWindowClosed(false);
    InstallTableChooser();   // the database reader asks the user for a table

    ServiceUtils = new TArmyUtils;
    // the bottle labels ask for their starting position through this dialog
    InstallLabelPositionDialog();
    // every product opens in the preview window first
    InstallPreviewWindow();
    int result = 1;
    try {
        frmSplash = new TfrmSplash;
        frmSplash->show();
        frmSplash->repaint();
        QCoreApplication::processEvents();

        QCoreApplication::setApplicationName(AppTitle);
        CreatePages();
        frmChooseRosterFile->show();
        frmSplash->raise();
        result = app.exec();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
    }
    ReleaseForm(frmSplash);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    DestroyPages();
    delete ServiceUtils;
    ServiceUtils = nullptr;
    return result;
}

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
#include <cstring>
#include <exception>

#ifndef CORVANE_VERSION
#define CORVANE_VERSION "unknown"
#endif

namespace {
const char Usage[] = R"(Usage: corvane-lite [FOLDER]

Corvane Lite: turns a unit roster into a urinalysis drug test and prints its paperwork.
Page 1 opens on FOLDER; without it, on the folder used last, else Documents, else home.

  --help       this text
  --version    the program's version
)";
} // namespace

int main(int argc, char **argv)
{
    // Answered before the window system is reached, so they work without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("corvane-lite %s\n", CORVANE_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(Usage, stdout);
            return 0;
        }
    }
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));
    // QApplication has taken its own options (-platform, -style, ...) out of argv.
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg.startsWith(QLatin1Char('-'))) {
            std::fprintf(stderr, "corvane-lite: unknown option %s (see --help)\n", argv[i]);
            return 2;
        }
        RosterFolderArgument = arg;
    }
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

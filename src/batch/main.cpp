// corvane-batch: one test from roster to products without the wizard, over the same core.
#include "batch/BatchRun.h"

#include "app/Exceptions.h"
#include "app/ServiceUtilsUnit.h"
#include "app/VORNUtils.h"

#include <QGuiApplication>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {
// Only real failures reach standard error; the platform's chatter would drown them.
void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}
}

#ifndef CORVANE_VERSION
#define CORVANE_VERSION "unknown"
#endif

int main(int argc, char **argv)
{
    bool products = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("corvane-batch %s\n", CORVANE_VERSION);
            return 0;
        }
        products = products || std::strcmp(argv[i], "--out") == 0;
    }
    qInstallMessageHandler(quietMessages);
#ifdef SIGXFSZ
    // Past a file-size limit a write then fails with its reason instead of killing the run.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    // Fonts and PDF output need a GUI application, never a display. Without products a
    // plain one starts faster.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app;
    if (products)
        app = std::make_unique<QGuiApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvane-batch"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));

    QStringList args = QCoreApplication::arguments();
    args.removeFirst();

    ServiceUtils = new TArmyUtils;
    // The print page sets the edition each time it is shown; the products print it.
    EditionSuffix = QStringLiteral("L");
    int status = 0;
    try {
        status = RunBatch(args, stdout);
    } catch (const Exception &e) {
        std::fprintf(stderr, "%s\n", qPrintable(ErrorBoxText(e.message())));
        status = 2;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", qPrintable(ErrorBoxText(QString::fromUtf8(e.what()))));
        status = 2;
    }
    delete ServiceUtils;
    ServiceUtils = nullptr;
    return status;
}

#include "testmain.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QStringList>
#include <cstdio>
#include <vector>

namespace testing_registry {
namespace {
struct Entry { const char *name; Factory factory; };
std::vector<Entry> &entries()
{
    static std::vector<Entry> list;
    return list;
}
}

int add(const char *name, Factory factory)
{
    entries().push_back({name, std::move(factory)});
    return int(entries().size());
}

QString dataPath(const QString &relative)
{
    return QStringLiteral(TEST_DATA_DIR) + QLatin1Char('/') + relative;
}
}

// Usage: tst_x [TestClass] [qtest options...]; without a class name every class runs.
int main(int argc, char **argv)
{
    // Rosters are read by corvane-import, which is not beside the test programs.
    if (qEnvironmentVariableIsEmpty("CORVANE_IMPORT"))
        qputenv("CORVANE_IMPORT", CORVANE_IMPORT_EXE);
    QApplication app(argc, argv);
    // Remembered choices (folders, printers) go to a folder of this run, never the user's.
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
    QStringList args = app.arguments();
    QString only;
    if (args.size() > 1 && !args.at(1).startsWith(QLatin1Char('-'))) {
        only = args.takeAt(1);
    }
    int failures = 0;
    bool ran = false;
    for (auto &entry : testing_registry::entries()) {
        if (!only.isEmpty() && only != QLatin1String(entry.name))
            continue;
        ran = true;
        std::unique_ptr<QObject> test = entry.factory();
        failures += QTest::qExec(test.get(), args);
    }
    if (!ran) {
        std::fprintf(stderr, "no test class named %s\n", qPrintable(only));
        return 1;
    }
    return failures == 0 ? 0 : 1;
}

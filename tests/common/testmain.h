#pragma once
// Several QObject test classes share one executable per subsystem.
// Register a class with CORVANE_TEST(ClassName) at the end of its .cpp file.
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

namespace testing_registry {
using Factory = std::function<std::unique_ptr<QObject>()>;
int add(const char *name, Factory factory);
QString dataPath(const QString &relative);   // path of a file under tests/data
}

#define CORVANE_TEST(Class)                                                          \
    static const int Class##_registered = testing_registry::add(                    \
        #Class, [] { return std::unique_ptr<QObject>(new Class); });

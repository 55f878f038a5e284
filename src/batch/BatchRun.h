#pragma once
#include <QStringList>
#include <cstdio>

// Runs corvane-batch with its arguments (program name removed). Returns the exit status;
// an invalid input raises Exception (the caller prints it and exits with 2).
int RunBatch(const QStringList &args, std::FILE *out);

// The text of --help.
QString BatchUsage();

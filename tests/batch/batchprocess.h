#pragma once
#include "roster/ImportTable.h"

#include <QProcess>
#include <QString>
#include <QStringList>

// One run of the built corvane-batch, without a display, as a user's shell would start it.
struct Run
{
    int status = -1;     // -1: did not finish, or did not exit normally
    QString out;         // standard output
    QStringList lines;   // the same, one entry a line
    QString err;
};

inline Run runBatch(const QStringList &args, const QStringList &extraEnv = {})
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &assignment : extraEnv)
        env.insert(assignment.section(QLatin1Char('='), 0, 0), assignment.section(QLatin1Char('='), 1));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));   // the program must manage without a display
    env.remove(QStringLiteral("DISPLAY"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(CORVANE_BATCH_EXE), args);
    Run r;
    if (!p.waitForFinished(120000))
        return r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    r.err = QString::fromUtf8(p.readAllStandardError()).trimmed();
    return r;
}

// A comma roster with a header row, loaded and mapped as page 2 hands it on for the batch's
// --ignore-header --columns last,first,initial,ssn,rank,gender,org.
inline bool LoadMappedRoster(TImportTable &table, const QString &path)
{
    if (!table.LoadFromFile(path, iftCommaText))
        return false;
    table.IgnoreHeader = true;
    const TImportFieldKind kinds[] = {fkLastName, fkFirstName, fkInitial, fkSSN, fkRank, fkGender, fkOrganization};
    for (int c = 0; c < 7; ++c)
        table.SetFieldKind(c, kinds[c]);
    return true;
}

#pragma once
#include <QString>

// Shared helpers and globals of the whole program.

// Fill to a width, never cut.
QString PadLeft(const QString &text, QChar fill, int width);
QString PadRight(const QString &text, QChar fill, int width);
// The path up to and including the last separator before the final character
// ('\' or '/'); the final character is never examined, so a trailing separator is ignored.
QString ParentDir(const QString &path);
// The error box's full-stop rule: '.' is appended when the last character sorts after '.'.
QString ErrorBoxText(const QString &message);

// The application title, used by every message box.
inline const QString AppTitle = QStringLiteral("Corvane Lite - USA");

extern QString EditionSuffix;   // "L" once the print-products page has been shown
extern QString AppRootDir;      // parent of the program's folder, set when page 1 is created

#include <QObject>

// Clears the reference first, then lets the form destroy itself once the events already
// queued for it have been handled.
template <class TForm>
void ReleaseForm(TForm *&form)
{
    QObject *doomed = form;
    form = nullptr;
    if (doomed)
        doomed->deleteLater();
}

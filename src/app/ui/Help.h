#pragma once
#include <QString>

class QWidget;

// The user guide: installed beside the program (<bin>/../share/doc/corvane-lite/), or in the
// source tree's docs/ when run from the build tree. Empty when neither is there.
QString UserGuidePath();
// The guide installed relative to a program folder (a formatted copy first), or in the source
// tree the folder was built in; empty when there is none.
QString UserGuidePath(const QString &programDir);
// Opens the guide with the desktop's viewer; false when there is none to open.
bool ShowUserGuide();
// F1 on the window opens the guide.
void InstallHelpKey(QWidget *window);

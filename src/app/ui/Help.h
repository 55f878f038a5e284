#pragma once
#include <QString>
#include <QWidget>

class QTextBrowser;
class QPushButton;

// The user guide: installed beside the program (<bin>/../share/doc/corvane-lite/), or in the
// source tree's docs/ when run from the build tree. Empty when neither is there.
QString UserGuidePath();
// The guide installed relative to a program folder (a formatted copy first), or in the source
// tree the folder was built in; empty when there is none.
QString UserGuidePath(const QString &programDir);
// The copy of the guide built into the program, with its pictures beside it.
inline const QString BuiltInUserGuide = QStringLiteral(":/guide/user-guide.md");

// The help window: the user guide rendered in the program, so that help needs no desktop
// viewer. One window for the run; F1 and every Help button raise it.
class TfrmHelp : public QWidget
{
    Q_OBJECT
public:
    explicit TfrmHelp(QWidget *parent = nullptr);

    QTextBrowser *txtGuide;
    QPushButton *btnClose;

    // Loads a guide file (Markdown, or a formatted HTML copy); pictures are looked up beside it.
    bool LoadGuide(const QString &path);
    QString GuidePath() const { return FGuidePath; }
    // Scrolls to the first heading whose text starts with the given words.
    bool ShowHeading(const QString &heading);

private:
    QString FGuidePath;
};

// Shows the help window (the installed guide, else the one built in), scrolled to a heading
// when one is named. False only when no guide can be read at all.
bool ShowUserGuide(const QString &heading = QString());
// The help window while it exists (tests, and F1 on the window itself).
TfrmHelp *HelpWindow();
// F1 on the window opens the guide.
void InstallHelpKey(QWidget *window);

#include "app/ui/Help.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QShortcut>
#include <QUrl>
#include <QWidget>

QString UserGuidePath()
{
    const QDir programDir(QCoreApplication::applicationDirPath());
    QStringList candidates{programDir.filePath(QStringLiteral("../share/doc/corvane-lite/user-guide.md"))};
#ifdef CORVANE_SOURCE_DIR
    candidates << QStringLiteral(CORVANE_SOURCE_DIR "/docs/user-guide.md");
#endif
    for (const QString &path : candidates)
        if (QFileInfo(path).isFile())
            return QFileInfo(path).canonicalFilePath();
    return QString();
}

bool ShowUserGuide()
{
    const QString path = UserGuidePath();
    return !path.isEmpty() && QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void InstallHelpKey(QWidget *window)
{
    auto *key = new QShortcut(QKeySequence(Qt::Key_F1), window);
    key->setObjectName(QStringLiteral("scHelp"));
    key->setContext(Qt::WindowShortcut);
    QObject::connect(key, &QShortcut::activated, window, [] { ShowUserGuide(); });
}

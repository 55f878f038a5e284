#include "app/ui/Help.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QShortcut>
#include <QUrl>
#include <QWidget>

QString UserGuidePath(const QString &programDir)
{
    const QDir dir(programDir);
    const QStringList candidates = {
        dir.filePath(QStringLiteral("../share/doc/corvane-lite/user-guide.html")),
        dir.filePath(QStringLiteral("../share/doc/corvane-lite/user-guide.md")),
        dir.filePath(QStringLiteral("../docs/user-guide.md")),
        dir.filePath(QStringLiteral("../../docs/user-guide.md")),
    };
    for (const QString &path : candidates) {
        const QFileInfo file(path);
        if (file.isFile() && file.isReadable())
            return file.canonicalFilePath();
    }
    return QString();
}

QString UserGuidePath()
{
    QString path = UserGuidePath(QCoreApplication::applicationDirPath());
#ifdef CORVANE_SOURCE_DIR
    if (path.isEmpty() && QFileInfo(QStringLiteral(CORVANE_SOURCE_DIR "/docs/user-guide.md")).isFile())
        path = QFileInfo(QStringLiteral(CORVANE_SOURCE_DIR "/docs/user-guide.md")).canonicalFilePath();
#endif
    return path;
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

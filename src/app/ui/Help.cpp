#include "app/ui/Help.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QScrollBar>
#include <QVBoxLayout>

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

TfrmHelp::TfrmHelp(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("Corvane Lite Help"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    txtGuide = new QTextBrowser(this);
    txtGuide->setObjectName(QStringLiteral("txtGuide"));
    txtGuide->setAccessibleName(QStringLiteral("User guide"));
    txtGuide->setOpenExternalLinks(true);
    btnClose = new QPushButton(QStringLiteral("&Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setDefault(true);
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
    auto *closeKey = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(closeKey, &QShortcut::activated, this, &QWidget::close);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(txtGuide, 1);
    layout->addLayout(buttons);

    // Wide enough for the guide's page pictures at their own size, within the screen.
    QSize size(780, 640);
    if (const QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen())
        size = size.boundedTo(s->availableGeometry().size() * 9 / 10);
    resize(size);
}

bool TfrmHelp::LoadGuide(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QString text = QString::fromUtf8(file.readAll());
    // pictures (images/...) and links are resolved beside the guide, on disk or in resources
    const QString folder = QFileInfo(path).path();
    txtGuide->setSearchPaths({folder});
    txtGuide->document()->setBaseUrl(path.startsWith(QLatin1Char(':'))
                                         ? QUrl(QStringLiteral("qrc") + folder + QLatin1Char('/'))
                                         : QUrl::fromLocalFile(folder + QLatin1Char('/')));
    if (path.endsWith(QLatin1String(".html"), Qt::CaseInsensitive))
        txtGuide->setHtml(text);
    else
        txtGuide->setMarkdown(text);
    FGuidePath = path;
    return true;
}

bool TfrmHelp::ShowHeading(const QString &heading)
{
    for (QTextBlock block = txtGuide->document()->begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() > 0 && block.text().startsWith(heading)) {
            QTextCursor cursor(block);
            txtGuide->setTextCursor(cursor);
            // the heading at the top of the view
            txtGuide->verticalScrollBar()->setValue(txtGuide->verticalScrollBar()->maximum());
            txtGuide->ensureCursorVisible();
            return true;
        }
    }
    return false;
}

namespace {
QPointer<TfrmHelp> g_help;
}

TfrmHelp *HelpWindow() { return g_help; }

bool ShowUserGuide(const QString &heading)
{
    // A window under an open modal dialog would take no clicks: the help then belongs to the
    // dialog (and goes with it).
    QWidget *modal = QApplication::activeModalWidget();
    if (g_help && g_help->parentWidget() != modal) {
        delete g_help;
    }
    if (!g_help) {
        g_help = new TfrmHelp(modal);
        if (!modal) {
            // a window of its own: it neither keeps the program running nor outlives it
            g_help->setAttribute(Qt::WA_QuitOnClose, false);
            QObject::connect(qApp, &QCoreApplication::aboutToQuit, g_help.data(), [] { delete g_help; });
        }
        const QString installed = UserGuidePath();
        if (installed.isEmpty() || !g_help->LoadGuide(installed)) {
            if (!g_help->LoadGuide(BuiltInUserGuide)) {
                delete g_help;
                return false;
            }
        }
    }
    g_help->show();
    g_help->raise();
    g_help->activateWindow();
    if (!heading.isEmpty())
        g_help->ShowHeading(heading);
    g_help->txtGuide->setFocus();
    return true;
}

void InstallHelpKey(QWidget *window)
{
    auto *key = new QShortcut(QKeySequence(Qt::Key_F1), window);
    key->setObjectName(QStringLiteral("scHelp"));
    key->setContext(Qt::WindowShortcut);
    QObject::connect(key, &QShortcut::activated, window, [] { ShowUserGuide(); });
}

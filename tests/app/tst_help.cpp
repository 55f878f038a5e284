#include "testmain.h"
#include "wizardtest.h"
#include "app/ServiceUtilsUnit.h"
#include "app/ui/AppStartup.h"
#include "app/ui/Dialogs.h"
#include "app/ui/Help.h"
#include "products/ui/FormPrintProducts.h"
#include "roster/ui/FormChooseRosterFile.h"
#include "roster/ui/FormFormatRoster.h"
#include "selection/ui/FormSelectMembers.h"
#include "selection/ui/FormSelectionParameters.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QUrl>

// F1 on the wizard's pages shows the user guide in the program's own help window, pictures
// included; no desktop viewer is asked for anything.
class TestHelpKey : public QObject
{
    Q_OBJECT
    QList<QUrl> m_opened;

    // The pictures the guide names, and whether the window finds each.
    static QStringList MissingPictures(TfrmHelp *help)
    {
        QStringList missing;
        int pictures = 0;
        for (QTextBlock b = help->txtGuide->document()->begin(); b.isValid(); b = b.next())
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat f = it.fragment().charFormat();
                if (!f.isImageFormat())
                    continue;
                ++pictures;
                const QString name = f.toImageFormat().name();
                const QVariant res = help->txtGuide->loadResource(QTextDocument::ImageResource, QUrl(name));
                QImage img;
                if (res.canConvert<QByteArray>())
                    img.loadFromData(res.toByteArray());
                if (img.isNull() && res.canConvert<QImage>())
                    img = res.value<QImage>();
                if (img.isNull())
                    missing << name;
            }
        if (pictures < 4)
            missing << QStringLiteral("(only %1 pictures in the guide)").arg(pictures);
        return missing;
    }

public slots:
    void open(const QUrl &url) { m_opened << url; }

private slots:
    void initTestCase()
    {
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open");
        SetMessageDlgHook([](const QString &, TMsgDlgType, TMsgDlgButtons) { return int(mrNo); });
        OpenWizard();
    }
    void cleanupTestCase()
    {
        delete HelpWindow();
        CloseWizard();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        SetMessageDlgHook({});
        SetMainFormClosedHandler({});
    }

    void guideIsFound()
    {
        // from the build tree the guide is the source tree's
        const QString guide = UserGuidePath();
        QVERIFY2(!guide.isEmpty(), "no user guide found");
        QVERIFY(guide.endsWith(QLatin1String("/docs/user-guide.md")));
        QFile f(guide);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        for (const char *heading : {"Identify Roster File", "Format Roster", "Choose Testing Parameters",
                                    "Select Members for Testing", "Print Products", "The label sheet"})
            QVERIFY2(text.contains(QLatin1String(heading)), heading);
    }

    void f1OnEveryPage()
    {
        const QString guide = UserGuidePath();
        for (QWidget *page : {static_cast<QWidget *>(frmChooseRosterFile), static_cast<QWidget *>(frmFormatRoster),
                              static_cast<QWidget *>(frmSelectionParameters), static_cast<QWidget *>(frmSelectMembers),
                              static_cast<QWidget *>(frmPrintProducts)}) {
            if (HelpWindow())
                HelpWindow()->close();
            page->show();
            QVERIFY(QTest::qWaitForWindowExposed(page));
            QApplication::setActiveWindow(page);
            QVERIFY(QTest::qWaitForWindowActive(page));
            // other keys open nothing
            QTest::keyClick(page, Qt::Key_F2);
            QVERIFY(!HelpWindow() || !HelpWindow()->isVisible());
            QTest::keyClick(page, Qt::Key_F1);
            TfrmHelp *help = HelpWindow();
            QVERIFY2(help && help->isVisible(), qPrintable(page->objectName()));
            QCOMPARE(help->GuidePath(), guide);
            const QString shown = help->txtGuide->toPlainText();
            QVERIFY(shown.contains("Format Roster"));
            QVERIFY(!shown.contains("](images/"));   // rendered, not shown as Markdown source
            QCOMPARE(MissingPictures(help), QStringList());
            QVERIFY(m_opened.isEmpty());
            page->hide();
        }
        // Escape closes the help window
        QApplication::setActiveWindow(HelpWindow());
        QVERIFY(QTest::qWaitForWindowActive(HelpWindow()));
        QTest::keyClick(HelpWindow()->txtGuide, Qt::Key_Escape);
        QVERIFY(!HelpWindow()->isVisible());
    }

    // Without an installed guide the copy built into the program shows, pictures included.
    void builtInGuide()
    {
        TfrmHelp help;
        QVERIFY(help.LoadGuide(BuiltInUserGuide));
        QFile source(UserGuidePath());
        QVERIFY(source.open(QIODevice::ReadOnly));
        QFile built(BuiltInUserGuide);
        QVERIFY(built.open(QIODevice::ReadOnly));
        QCOMPARE(built.readAll(), source.readAll());
        QCOMPARE(MissingPictures(&help), QStringList());
        QVERIFY(help.ShowHeading("The label sheet"));
        QCOMPARE(help.txtGuide->textCursor().block().text(), QString("The label sheet"));
        QVERIFY(!help.LoadGuide(":/guide/no-such-guide.md"));
    }
};

CORVANE_TEST(TestHelpKey)
#include "tst_help.moc"

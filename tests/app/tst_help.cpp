#include "testmain.h"
#include "wizardtest.h"
#include "app/ServiceUtilsUnit.h"
#include "app/ui/AppStartup.h"
#include "app/ui/Dialogs.h"
#include "app/ui/Help.h"
#include "products/ui/FormPrintProducts.h"
#include "roster/ui/FormChooseRosterFile.h"
#include "selection/ui/FormSelectionParameters.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QUrl>

// F1 on the wizard's pages opens the user guide with the desktop's viewer.
class TestHelpKey : public QObject
{
    Q_OBJECT
    QList<QUrl> m_opened;

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
        for (QWidget *page : {static_cast<QWidget *>(frmChooseRosterFile), static_cast<QWidget *>(frmSelectionParameters),
                              static_cast<QWidget *>(frmPrintProducts)}) {
            m_opened.clear();
            page->show();
            QVERIFY(QTest::qWaitForWindowExposed(page));
            QApplication::setActiveWindow(page);
            QVERIFY(QTest::qWaitForWindowActive(page));
            QTest::keyClick(page, Qt::Key_F1);
            QCOMPARE(m_opened.size(), 1);
            QCOMPARE(QFileInfo(m_opened.first().toLocalFile()).canonicalFilePath(), guide);
            // other keys open nothing
            QTest::keyClick(page, Qt::Key_F2);
            QCOMPARE(m_opened.size(), 1);
            page->hide();
        }
    }
};

CORVANE_TEST(TestHelpKey)
#include "tst_help.moc"

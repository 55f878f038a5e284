// Page 3's location box under a real X server and window manager (Xvfb + openbox): opening
// its list moves the keyboard focus through real X focus events, which the offscreen platform
// never sends. The test starts both servers itself and runs this same class again inside
// them; where they cannot start it is skipped with the reason.
#include "testmain.h"
#include "wizardtest.h"
#include "members.h"
#include "app/ServiceUtilsUnit.h"
#include "app/ui/AppStartup.h"
#include "app/ui/Dialogs.h"
#include "roster/ui/FormFormatRoster.h"
#include "selection/ui/FormSelectionParameters.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTest>

namespace {

const char *const InsideVariable = "CORVANE_TEST_UNDER_WM";

// Stops a started helper program, politely first.
void Stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

} // namespace

class TestLocationUnderWindowManager : public QObject, private MessageHooks
{
    Q_OBJECT

    int Errors() const
    {
        int n = 0;
        for (const ShownMessage &s : shown)
            n += s.type == mtError;
        return n;
    }

    bool Inside() const
    {
        return qEnvironmentVariableIsSet(InsideVariable)
               && QGuiApplication::platformName() == QLatin1String("xcb");
    }

    // Starts Xvfb on a free display and openbox on it; the reason on failure.
    QString StartServers(QProcess &xvfb, QProcess &wm, QString &display)
    {
        const QString xvfbExe = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        const QString wmExe = QStandardPaths::findExecutable(QStringLiteral("openbox"));
        if (xvfbExe.isEmpty())
            return QStringLiteral("Xvfb is not installed");
        if (wmExe.isEmpty())
            return QStringLiteral("openbox is not installed");
        for (int n = 91; n < 100 && display.isEmpty(); ++n) {
            if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n))
                || QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)))
                continue;
            xvfb.setProcessChannelMode(QProcess::MergedChannels);
            xvfb.start(xvfbExe, {QStringLiteral(":%1").arg(n), QStringLiteral("-screen"), QStringLiteral("0"),
                                 QStringLiteral("1280x800x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
            if (!xvfb.waitForStarted(5000))
                return QStringLiteral("Xvfb does not start: ") + xvfb.errorString();
            QElapsedTimer wait;
            wait.start();
            while (wait.elapsed() < 10000 && xvfb.state() == QProcess::Running
                   && !QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)))
                QTest::qWait(50);
            if (xvfb.state() == QProcess::Running && QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)))
                display = QStringLiteral(":%1").arg(n);
            else
                Stop(xvfb);
        }
        if (display.isEmpty())
            return QStringLiteral("no X display could be started (:91 to :99)");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        wm.setProcessEnvironment(env);
        wm.setProcessChannelMode(QProcess::MergedChannels);
        wm.start(wmExe, {QStringLiteral("--sm-disable")});
        if (!wm.waitForStarted(5000))
            return QStringLiteral("openbox does not start: ") + wm.errorString();
        QTest::qWait(1000);   // until it manages the screen
        if (wm.state() != QProcess::Running)
            return QStringLiteral("openbox stopped: ") + QString::fromLocal8Bit(wm.readAll());
        return QString();
    }

    // Inside the servers: the user's first click on the empty box opens its list.
    void RunInside()
    {
        OpenWizardWithHooks(mrNo);
        shown.clear();
        auto cleanup = qScopeGuard([] { CloseWizardAndHooks(); });
        TfrmSelectionParameters *page = frmSelectionParameters;
        page->LoadMembers({MakeMember("DOE, JOHN Q.", "123456789", "M", "SGT")});
        page->show();
        QVERIFY(QTest::qWaitForWindowActive(page));
        QComboBox *box = page->cbLocationCode;
        QTRY_VERIFY(box->hasFocus());
        QTest::qWait(300);

        for (int attempt = 0; attempt < 3; ++attempt) {
            QTest::mouseClick(box, Qt::LeftButton);
            QTRY_VERIFY(box->view()->isVisible());
            QTest::qWait(700);   // the server's focus events and the window manager settle
            QVERIFY2(box->view()->isVisible(), "the list closed again by itself");
            QCOMPARE(Errors(), 0);
            QTest::keyClick(box->view(), Qt::Key_Escape);
            QTRY_VERIFY(!box->view()->isVisible());
            QTest::qWait(300);
            QCOMPARE(Errors(), 0);
            QTRY_VERIFY(box->hasFocus());
        }

        // Choosing from the list: no error either.
        QTest::mouseClick(box, Qt::LeftButton);
        QTRY_VERIFY(box->view()->isVisible());
        QTest::qWait(700);   // a release this soon after opening is taken as the opening click's
        QAbstractItemView *list = box->view();
        const QModelIndex us = list->model()->index(box->findText("US UNITED STATES", Qt::MatchStartsWith), 0);
        list->scrollTo(us);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(us).center());
        QTRY_VERIFY(!list->isVisible());
        QCOMPARE(page->LocationCode(), QString("US"));
        QTest::qWait(300);
        QCOMPARE(Errors(), 0);

        // Going back without a location: Previous at the first click.
        box->setCurrentIndex(-1);
        box->setFocus(Qt::MouseFocusReason);
        QTRY_VERIFY(box->hasFocus());
        QTest::mouseClick(page->btnPrevious, Qt::LeftButton);
        QTRY_VERIFY(frmFormatRoster->isVisible());
        QVERIFY(!page->isVisible());
        QTest::qWait(300);
        QCOMPARE(Errors(), 0);
    }

private slots:
    void firstClickOpensTheList()
    {
        if (Inside()) {
            RunInside();
            return;
        }
        QProcess xvfb;
        QProcess wm;
        QString display;
        auto stopServers = qScopeGuard([&] {
            Stop(wm);
            Stop(xvfb);
        });
        const QString reason = StartServers(xvfb, wm, display);
        if (!reason.isEmpty())
            QSKIP(qPrintable(QStringLiteral("needs Xvfb and openbox: ") + reason));

        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QString::fromLatin1(InsideVariable), QStringLiteral("1"));
        run.setProcessEnvironment(env);
        run.setProcessChannelMode(QProcess::MergedChannels);
        run.start(QCoreApplication::applicationFilePath(),
                  {QStringLiteral("TestLocationUnderWindowManager"), QStringLiteral("firstClickOpensTheList")});
        QVERIFY2(run.waitForStarted(10000), qPrintable(run.errorString()));
        const bool finished = run.waitForFinished(120000);
        const QString output = QString::fromLocal8Bit(run.readAll());
        if (!finished)
            Stop(run);
        QVERIFY2(finished, qPrintable(output));
        QVERIFY2(output.contains(QLatin1String("PASS   : TestLocationUnderWindowManager::firstClickOpensTheList")),
                 qPrintable(output));
        QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0, qPrintable(output));
    }
};

CORVANE_TEST(TestLocationUnderWindowManager)
#include "tst_locationwm.moc"

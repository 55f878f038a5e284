#include "testmain.h"
#include "tst_rbfixture.h"

#include "products/RBTestingRegister.h"
#include "report/DisplayFormat.h"

#include <QTest>

using namespace rbtest;

// The register's header prints the time of the print in twelve-hour form: the first hour
// after midnight and the first after noon both read 12, told apart by AM and PM.
class TestRegisterPrintTime : public QObject
{
    Q_OBJECT
    ArmyProfile m_profile;

private slots:
    void init() { m_profile.Install(); }
    void cleanup() { m_profile.Remove(); }
    void printTimeIsTwelveHour_data()
    {
        QTest::addColumn<QTime>("time");
        QTest::addColumn<QString>("shown");
        QTest::newRow("after midnight") << QTime(0, 5, 9) << "12:05:09 AM";
        QTest::newRow("after noon") << QTime(12, 5, 9) << "12:05:09 PM";
        QTest::newRow("morning") << QTime(9, 5, 9) << "9:05:09 AM";
        QTest::newRow("last minute") << QTime(23, 59, 59) << "11:59:59 PM";
    }
    void printTimeIsTwelveHour()
    {
        QFETCH(QTime, time);
        QFETCH(QString, shown);
        TestRun run(3);
        PreviewCapture capture;
        {
            TrptTestingRegister rpt;
            rpt.varDateTime->FixedDateTime = QDateTime(QDate(2026, 12, 8), time);
            rpt.Print(&run.History);
        }
        QCOMPARE(capture.Documents.size(), 1);
        const QString sep(LocaleDateSeparator());
        const QString time12 = QString(shown).replace(':', localeTimeSeparatorForTest());
        QCOMPARE(Texts(capture.Documents.first().Pages[0], "varDateTime"),
                 QStringList({"12" + sep + "08" + sep + "2026 " + time12}));
    }

private:
    static QString localeTimeSeparatorForTest()
    {
        // The time separator is the locale's, as the date separator is.
        return FormatDateTime("h:nn", QDateTime(QDate(2000, 1, 1), QTime(1, 2))).mid(1, 1);
    }
};

CORVANE_TEST(TestRegisterPrintTime)
#include "tst_registertime.moc"

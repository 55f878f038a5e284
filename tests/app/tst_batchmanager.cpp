#include "testmain.h"
#include "app/ServiceUtilsUnit.h"
#include "products/BatchManager.h"

#include <QTest>
#include <climits>

namespace {

struct Snapshot
{
    int batch, specimen, maxBatch, minBatch;
    bool usePrefix;
    QChar prefix;
    bool operator==(const Snapshot &) const = default;
};

Snapshot Take(const TBatchManager &m)
{
    return {m.Batch, m.Specimen, m.MaxBatch, m.MinBatch, m.UsePrefix, m.Prefix};
}

// The numbering object as the service profile leaves it.
void Configure(TBatchManager &m)
{
    m.SetMaxBatch(999);
    m.SetMinBatch(1);
    m.UsePrefix = false;
}

QString Quoted(const QString &text, const char *literal)
{
    return QLatin1Char('"') + text + QLatin1Char('"') + QLatin1String(literal);
}

} // namespace

class TestBatchManager : public QObject
{
    Q_OBJECT
private slots:
    void initialStateAndProfileSetup()
    {
        TBatchManager fresh;
        QCOMPARE(fresh.Batch, 0);
        QCOMPARE(fresh.GetBatchNumber(), QString());
        QCOMPARE(fresh.GetSpecimenNumber(), QString());
        QVERIFY(fresh.Prefix.isNull());

        // Setting the minimum raises the empty current batch to it.
        TBatchManager m;
        Configure(m);
        QCOMPARE(m.Batch, 1);
        QCOMPARE(m.Specimen, 0);
        QCOMPARE(m.GetBatchNumber(), QString("0001"));
    }

    void workedSequence()
    {
        TBatchManager m;
        Configure(m);
        m.SetNumbers("0998", "");
        QCOMPARE(m.Batch, 998);
        QCOMPARE(m.GetSpecimenNumber(), QString());
        for (int i = 1; i <= 12; ++i)
            QCOMPARE(m.NextSpecimenNumber(), QString("%1").arg(i, 3, 10, QLatin1Char('0')));
        QCOMPARE(m.GetBatchNumber(), QString("0998"));
        QCOMPARE(m.NextBatchNumber(), QString("0999"));
        QCOMPARE(m.NextSpecimenNumber(), QString("001"));
        QCOMPARE(m.NextBatchNumber(), QString("0001"));
        QCOMPARE(m.Specimen, 0);
    }

    void batchTexts_data()
    {
        QTest::addColumn<bool>("usePrefix");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");      // empty: accepted
        QTest::addColumn<QString>("printed");

        QTest::newRow("empty gives minimum") << false << "" << "" << "0001";
        QTest::newRow("zero too small") << false << "0" << Quoted("0", " is too small a batch number") << "";
        QTest::newRow("1000 too large") << false << "1000" << Quoted("1000", " is too large a batch number") << "";
        QTest::newRow("12a") << false << "12a" << Quoted("12a", " is not a valid number") << "";
        QTest::newRow("A12 without prefix") << false << "A12" << Quoted("A12", " is not a valid number") << "";
        QTest::newRow("0001") << false << "0001" << "" << "0001";
        QTest::newRow("1") << false << "1" << "" << "0001";
        QTest::newRow("999") << false << "999" << "" << "0999";
        QTest::newRow("leading blanks") << false << "  42" << "" << "0042";
        QTest::newRow("negative") << false << "-3" << Quoted("-3", " is too small a batch number") << "";
        QTest::newRow("beyond 32 bits") << false << "99999999999" << Quoted("99999999999", " is not a valid number") << "";
        QTest::newRow("decimal") << false << "1.5" << Quoted("1.5", " is not a valid number") << "";

        QTest::newRow("prefix: too short") << true << "A" << Quoted("A", " is not a valid batch number") << "";
        QTest::newRow("prefix: bad character") << true << "#12" << Quoted("#", " is not a valid character") << "";
        QTest::newRow("prefix: non-ASCII letter") << true << QString::fromUtf8("É12") << Quoted(QString::fromUtf8("É"), " is not a valid character") << "";
        QTest::newRow("prefix: A12") << true << "A12" << "" << "A0012";
        QTest::newRow("prefix: lower case") << true << "z7" << "" << "z0007";
        QTest::newRow("prefix: digit") << true << "90998" << "" << "90998";
        QTest::newRow("prefix: Ax") << true << "Ax" << Quoted("Ax", " is not a valid number") << "";
        QTest::newRow("prefix: too large quotes prefix") << true << "B1000" << Quoted("B1000", " is too large a batch number") << "";
        QTest::newRow("prefix: too small quotes prefix") << true << "B0" << Quoted("B0", " is too small a batch number") << "";
    }
    void batchTexts()
    {
        QFETCH(bool, usePrefix);
        QFETCH(QString, text);
        QFETCH(QString, error);
        QFETCH(QString, printed);

        TBatchManager m;
        Configure(m);
        m.UsePrefix = usePrefix;
        m.Batch = 500;
        m.Specimen = 7;
        const Snapshot before = Take(m);
        try {
            m.SetBatchNumber(text);
            QVERIFY2(error.isEmpty(), qPrintable("accepted: " + text));
            QCOMPARE(m.GetBatchNumber(), printed);
            QCOMPARE(m.Specimen, 7);   // the specimen is left alone
        } catch (const BatchValidationException &e) {
            QCOMPARE(e.message(), error);
            QVERIFY(Take(m) == before);
        }
    }

    void emptyTextKeepsPrefix()
    {
        TBatchManager m;
        Configure(m);
        m.UsePrefix = true;
        m.SetBatchNumber("C20");
        m.SetBatchNumber("");
        QCOMPARE(m.Prefix, QChar('C'));
        QCOMPARE(m.GetBatchNumber(), QString("C0001"));
    }

    void prefixNeverPrintsNul()
    {
        TBatchManager m;
        Configure(m);
        m.UsePrefix = true;
        m.SetBatchNumber("");
        QCOMPARE(m.GetBatchNumber(), QString("0001"));
    }

    void errorIsBatchException()
    {
        TBatchManager m;
        Configure(m);
        try {
            m.SetBatchNumber("x");
            QFAIL("accepted x");
        } catch (const BatchException &e) {
            QVERIFY(dynamic_cast<const BatchValidationException *>(&e));
            QCOMPARE(QString::fromUtf8(e.what()), e.message());
        }
    }

    void invertedRangeReportsTooLarge()
    {
        TBatchManager m;
        Configure(m);
        m.SetMinBatch(10);
        m.SetMaxBatch(5);
        try {
            m.SetBatchNumber("7");
            QFAIL("accepted 7");
        } catch (const BatchValidationException &e) {
            QCOMPARE(e.message(), Quoted("7", " is too large a batch number"));
        }
    }

    void specimenTexts()
    {
        TBatchManager m;
        Configure(m);
        m.SetSpecimenNumber("12");
        QCOMPARE(m.GetSpecimenNumber(), QString("012"));
        m.SetSpecimenNumber("5000");   // unchecked
        QCOMPARE(m.GetSpecimenNumber(), QString("5000"));
        m.SetSpecimenNumber("");
        QCOMPARE(m.Specimen, 0);
        m.SetSpecimenNumber("4");
        try {
            m.SetSpecimenNumber("4x");
            QFAIL("accepted 4x");
        } catch (const BatchValidationException &e) {
            QCOMPARE(e.message(), Quoted("4x", " is not a valid specimen number"));
        }
        QCOMPARE(m.Specimen, 4);
    }

    void setNumbersStopsAtBadBatch()
    {
        TBatchManager m;
        Configure(m);
        m.SetNumbers("20", "5");
        QVERIFY_THROWS_EXCEPTION(BatchValidationException, m.SetNumbers("abc", "9"));
        QCOMPARE(m.Batch, 20);
        QCOMPARE(m.Specimen, 5);
        // A good batch is kept when only the specimen text is bad.
        QVERIFY_THROWS_EXCEPTION(BatchValidationException, m.SetNumbers("30", "q"));
        QCOMPARE(m.Batch, 30);
        QCOMPARE(m.Specimen, 5);
    }

    void rangeSetters()
    {
        TBatchManager m;
        Configure(m);
        m.SetBatchNumber("500");
        m.SetMaxBatch(600);
        QCOMPARE(m.Batch, 500);
        m.SetMaxBatch(400);             // below the current batch: back to the minimum
        QCOMPARE(m.Batch, 1);
        m.SetBatchNumber("300");
        m.SetMinBatch(200);             // below: untouched
        QCOMPARE(m.Batch, 300);
        m.SetMinBatch(350);             // above: raised to the new minimum
        QCOMPARE(m.Batch, 350);
        m.SetMaxBatch(100);             // neither setter keeps min <= max
        QCOMPARE(m.MinBatch, 350);
        QCOMPARE(m.MaxBatch, 100);
        QCOMPARE(m.Batch, 350);
    }

    void nextBatchWraps()
    {
        TBatchManager m;
        Configure(m);
        m.SetMinBatch(5);
        m.SetMaxBatch(7);
        m.SetBatchNumber("6");
        m.NextSpecimenNumber();
        QCOMPARE(m.NextBatchNumber(), QString("0007"));
        m.NextSpecimenNumber();
        QCOMPARE(m.NextBatchNumber(), QString("0005"));
        // A current batch outside the range jumps to the minimum as well.
        m.Batch = 2;
        m.NextSpecimenNumber();
        QCOMPARE(m.NextBatchNumber(), QString("0005"));
    }

    void nextBatchWithoutSpecimenRepeats()
    {
        TBatchManager m;
        Configure(m);
        m.SetBatchNumber("41");
        QCOMPARE(m.NextBatchNumber(), QString("0041"));
        QCOMPARE(m.NextBatchNumber(), QString("0041"));
        m.NextSpecimenNumber();
        QCOMPARE(m.NextBatchNumber(), QString("0042"));
        QCOMPARE(m.NextBatchNumber(), QString("0042"));
    }

    void noBatchYet()
    {
        TBatchManager m;
        m.MinBatch = 3;
        // A specimen is issued against no batch; the batch is not started by it.
        QCOMPARE(m.NextSpecimenNumber(), QString("001"));
        QCOMPARE(m.GetBatchNumber(), QString());
        TBatchManager n;
        n.MinBatch = 3;
        QCOMPARE(n.NextBatchNumber(), QString("0003"));
    }

    void specimen999RollsOver()
    {
        TBatchManager m;
        Configure(m);
        m.SetNumbers("10", "998");
        QCOMPARE(m.NextSpecimenNumber(), QString("999"));
        QCOMPARE(m.GetBatchNumber(), QString("0010"));
        QCOMPARE(m.NextSpecimenNumber(), QString("001"));
        QCOMPARE(m.GetBatchNumber(), QString("0011"));
        // The limit does not follow the batch range.
        m.SetMaxBatch(5000);
        m.SetNumbers("1200", "999");
        QCOMPARE(m.NextSpecimenNumber(), QString("001"));
        QCOMPARE(m.GetBatchNumber(), QString("1201"));
    }

    void storedSpecimenBeyondLimitRollsOver()
    {
        TBatchManager m;
        Configure(m);
        m.SetNumbers("3", QString::number(INT_MAX));
        QCOMPARE(m.NextSpecimenNumber(), QString("001"));
        QCOMPARE(m.GetBatchNumber(), QString("0004"));
    }

    void longNumbersPrintInFull()
    {
        TBatchManager m;
        Configure(m);
        m.SetMaxBatch(99999);
        m.SetBatchNumber("12345");
        QCOMPARE(m.GetBatchNumber(), QString("12345"));
        m.UsePrefix = true;
        m.SetBatchNumber("K12345");
        QCOMPARE(m.GetBatchNumber(), QString("K12345"));
    }

    void profileOwnsConfiguredManager()
    {
        TArmyUtils army;
        QVERIFY(army.BatchManager);
        QCOMPARE(army.BatchManager->MinBatch, 1);
        QCOMPARE(army.BatchManager->MaxBatch, 999);
        QCOMPARE(army.BatchManager->Batch, 1);
        QCOMPARE(army.BatchManager->Specimen, 0);
        QVERIFY(!army.BatchManager->UsePrefix);
    }
};

CORVANE_TEST(TestBatchManager)
#include "tst_batchmanager.moc"

#include "testmain.h"
#include "app/ServiceUtilsUnit.h"

#include <QTest>
#include <memory>

class TestServiceUtils : public QObject
{
    Q_OBJECT
private slots:
    void baseDefaults()
    {
        const TServiceUtils p;
        QCOMPARE(p.ServiceCode, quint8(0));
        QCOMPARE(p.HeaderText, QString());
        QVERIFY(p.ShowLabelBac);
        QVERIFY(p.ShowUic);
        QVERIFY(!p.RankRequired);
        QVERIFY(!p.GenderRequired);
        QCOMPARE(p.BacCaption, QString("BAC"));
        QCOMPARE(p.UicCaption, QString("UIC"));
        QCOMPARE(p.DefaultTestValue, 10);
        QCOMPARE(p.ServiceDesignator, QString());
        QVERIFY(!p.AlternateRegister);
        QCOMPARE(p.RegisterLastColumnCaption, QString("Comments and Disposition"));
        QCOMPARE(p.DateFormat, QString("MM/dd/yyyy"));
        QCOMPARE(p.CustodyLinesPerForm, 2);
        QVERIFY(!p.ShowLabelVersion);
        QCOMPARE(p.LabelLine1Caption, QString("UPC"));
        QCOMPARE(p.LabelLine2Caption, QString("SM"));
        QCOMPARE(p.LabelLine3Caption, QString());
        QVERIFY(!p.MaskSsnOnNotification);
        QVERIFY(p.UseLocationCode);
        QVERIFY(p.LocationCodeRequired);
        QVERIFY(!p.UseRankMinimum);
        QCOMPARE(p.RankMinimumProbability, 0.0);
        QCOMPARE(p.RankMinimumList, QString());
        QVERIFY(p.AllowTotalNumber);
        QVERIFY(p.ShowUicField);
        QVERIFY(p.ShowServiceDesignator);
    }

    void armyChangesOnlyItsOwnFields()
    {
        const TServiceUtils base;
        const TArmyUtils army;
        QCOMPARE(army.ServiceCode, quint8(1));
        QCOMPARE(army.HeaderText, QString("Army Corvane"));
        QVERIFY(army.RankRequired);
        QVERIFY(army.GenderRequired);
        QCOMPARE(army.ServiceDesignator, QString("W"));
        QCOMPARE(army.LabelLine1Caption, QString("UPL"));
        // Everything else stays as the base profile has it.
        QCOMPARE(army.ShowLabelBac, base.ShowLabelBac);
        QCOMPARE(army.ShowUic, base.ShowUic);
        QCOMPARE(army.BacCaption, base.BacCaption);
        QCOMPARE(army.UicCaption, base.UicCaption);
        QCOMPARE(army.DefaultTestValue, base.DefaultTestValue);
        QCOMPARE(army.AlternateRegister, base.AlternateRegister);
        QCOMPARE(army.RegisterLastColumnCaption, base.RegisterLastColumnCaption);
        QCOMPARE(army.DateFormat, base.DateFormat);
        QCOMPARE(army.CustodyLinesPerForm, base.CustodyLinesPerForm);
        QCOMPARE(army.ShowLabelVersion, base.ShowLabelVersion);
        QCOMPARE(army.LabelLine2Caption, base.LabelLine2Caption);
        QCOMPARE(army.LabelLine3Caption, base.LabelLine3Caption);
        QCOMPARE(army.MaskSsnOnNotification, base.MaskSsnOnNotification);
        QCOMPARE(army.UseLocationCode, base.UseLocationCode);
        QCOMPARE(army.LocationCodeRequired, base.LocationCodeRequired);
        QCOMPARE(army.UseRankMinimum, base.UseRankMinimum);
        QCOMPARE(army.RankMinimumProbability, base.RankMinimumProbability);
        QCOMPARE(army.RankMinimumList, base.RankMinimumList);
        QCOMPARE(army.AllowTotalNumber, base.AllowTotalNumber);
        QCOMPARE(army.ShowUicField, base.ShowUicField);
        QCOMPARE(army.ShowServiceDesignator, base.ShowServiceDesignator);
    }

    void testInfoCodeDispatchesVirtually()
    {
        std::unique_ptr<TServiceUtils> army(new TArmyUtils);
        std::unique_ptr<TServiceUtils> base(new TServiceUtils);
        QCOMPARE(army->TestInfoCode(4), QString("A"));
        QCOMPARE(army->TestInfoCode(5), QString("B"));
        QCOMPARE(army->TestInfoCode(1), QString("A"));
        QCOMPARE(army->TestInfoCode(-1), QString("A"));
        QCOMPARE(army->TestInfoCode(100), QString("B"));
        for (int grade : {-1, 0, 1, 4, 5, 100})
            QCOMPARE(base->TestInfoCode(grade), QString());
    }

    void rankGrades_data()
    {
        QTest::addColumn<QString>("rank");
        QTest::addColumn<QString>("code");
        for (const char *junior : {"PVT", "PV2", "PFC", "CPL", "SPC", "pvt", "Spc", "pV2"})
            QTest::newRow(junior) << junior << "A";
        for (const char *other : {"SGT", "CPT", "PV1", "", " PVT", "PVT ", "PVTX", "SP"})
            QTest::newRow(qPrintable(QString("other '%1'").arg(other))) << other << "B";
    }
    void rankGrades()
    {
        QFETCH(QString, rank);
        QFETCH(QString, code);
        const TArmyUtils army;
        QCOMPARE(army.TestInfoCode(RankGrade(rank)), code);
        QCOMPARE(RankGrade(rank), code == "A" ? 1 : 5);
    }

    void rankMinimumNeverAppliesForArmy()
    {
        TArmyUtils army;
        army.RankMinimumList = "|PVT|";
        army.RankMinimumProbability = 0.9;
        QCOMPARE(army.RankProbability(10.0, "PVT"), 10.0);
    }

    void rankMinimum()
    {
        TServiceUtils p;
        p.UseRankMinimum = true;
        p.RankMinimumProbability = 0.25;
        p.RankMinimumList = "|PVT|SGT|";
        QCOMPARE(p.RankProbability(10.0, "PVT"), 25.0);
        QCOMPARE(p.RankProbability(10.0, "sgt"), 25.0);     // rank upper-cased first
        QCOMPARE(p.RankProbability(40.0, "PVT"), 40.0);     // never lowered
        QCOMPARE(p.RankProbability(10.0, "CPT"), 10.0);
        QCOMPARE(p.RankProbability(10.0, "PV"), 10.0);      // whole entries only
        QCOMPARE(p.RankProbability(10.0, ""), 10.0);
        p.RankMinimumList = "|pvt|";                         // the list is searched as written
        QCOMPARE(p.RankProbability(10.0, "pvt"), 10.0);
    }
};

CORVANE_TEST(TestServiceUtils)
#include "tst_serviceutils.moc"

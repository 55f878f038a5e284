#include "testmain.h"
#include "report/Engine.h"
#include "report/Pipeline.h"

#include <QDateTime>
#include <QTest>

// The pipeline contract the program's field handlers rely on.
class TestJITPipeline : public QObject
{
    Q_OBJECT
private slots:
    void navigationClampsAtBothEnds()
    {
        TppJITPipeline p;
        p.InitialIndex = 0;
        p.RecordCount = 3;
        p.Open();
        QVERIFY(p.Active());
        QCOMPARE(p.RecordIndex(), 0);
        QVERIFY(!p.Eof());
        p.Next();
        p.Next();
        QCOMPARE(p.RecordIndex(), 2);
        QVERIFY(!p.Eof());   // standing on the last record is not yet the end
        p.Next();
        QCOMPARE(p.RecordIndex(), 2);
        QVERIFY(p.Eof());
        p.MoveBy(40);
        QCOMPARE(p.RecordIndex(), 2);
        QVERIFY(p.Eof());
        p.MoveBy(-10);
        QCOMPARE(p.RecordIndex(), 0);
        QVERIFY(p.Bof());
        QVERIFY(!p.Eof());
        p.Last();
        QCOMPARE(p.RecordIndex(), 2);
        p.Close();
        QVERIFY(!p.Active());
        QCOMPARE(p.RecordIndex(), 0);
    }
    void initialIndexShiftsTheRange()
    {
        TppJITPipeline p;
        p.InitialIndex = 5;
        p.RecordCount = 2;
        p.Open();
        QCOMPARE(p.RecordIndex(), 5);
        p.Last();
        QCOMPARE(p.RecordIndex(), 6);
        p.MoveBy(3);
        QCOMPARE(p.RecordIndex(), 6);
        QVERIFY(p.Eof());
        p.SetRecordIndex(1);
        QCOMPARE(p.RecordIndex(), 5);
        QVERIFY(p.Bof());
        p.Close();
        QCOMPARE(p.RecordIndex(), 5);
    }
    void emptyPipelineIsAtBothEnds()
    {
        TppJITPipeline p;
        p.RecordCount = 0;
        p.Open();
        QVERIFY(p.Bof());
        QVERIFY(p.Eof());
        QVERIFY(p.IsEmpty());
        p.Next();
        QVERIFY(p.Eof());
        QCOMPARE(p.RecordIndex(), 0);
    }
    void defaultCountIsHuge()
    {
        TppJITPipeline p;
        QCOMPARE(p.RecordCount, 99999999);
        p.Open();
        p.MoveBy(2000000000);   // must not overflow
        QVERIFY(p.Eof());
        QCOMPARE(p.RecordIndex(), 99999998);
    }
    void textOfAField()
    {
        TppJITPipeline p;
        p.AddField("Count", dtInteger);
        p.AddField("When", dtDateTime);
        p.AddField("Name");
        int asked = 0;
        p.OnGetFieldValue = [&](const QString &name) -> QVariant {
            ++asked;
            if (name == "Count")
                return 42.0;    // a double for an integer field prints as an integer
            if (name == "When")
                return 37636.0; // 15 January 2003
            if (name == "Name")
                return QString(" DOE, JOHN ");
            return QVariant();
        };
        QCOMPARE(p.GetFieldAsString("Count"), QString("42"));
        QCOMPARE(p.GetFieldAsString("Name"), QString(" DOE, JOHN "));   // strings pass unchanged
        QCOMPARE(p.GetFieldAsString("Unknown"), QString());
        QVERIFY(!p.GetFieldAsString("When").isEmpty());
        QCOMPARE(p.FindField("count")->DataType, dtInteger);   // names match without case
        QCOMPARE(p.GetFieldAsDouble("Count"), 0.0);   // no double handler: 0
        QVERIFY(asked >= 3);

        // a string handler wins over the value handler
        p.OnGetFieldAsString = [](const QString &name) { return name.toUpper(); };
        QCOMPARE(p.GetFieldAsString("Count"), QString("COUNT"));
        p.OnGetFieldAsDouble = [](const QString &) { return 2.5; };
        QCOMPARE(p.GetFieldAsDouble("Count"), 2.5);
    }
    void dateSerials()
    {
        QCOMPARE(DateTimeFromSerial(37636.0).date(), QDate(2003, 1, 15));
        QCOMPARE(DateTimeFromSerial(0).date(), QDate(1899, 12, 30));
        QCOMPARE(DateTimeFromSerial(37636.5).time(), QTime(12, 0));
        const QDateTime dt(QDate(2026, 12, 8), QTime(18, 0));
        QCOMPARE(DateTimeFromSerial(SerialFromDateTime(dt)), dt);
    }
};

CORVANE_TEST(TestJITPipeline)
#include "tst_pipeline.moc"

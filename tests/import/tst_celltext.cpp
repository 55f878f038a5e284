#include "testmain.h"
#include "import/CellText.h"

#include <QLocale>
#include <QRegularExpression>
#include <QTest>

class TestCellText : public QObject
{
    Q_OBJECT

    static QString Point() { return QLocale::system().decimalPoint(); }

private slots:
    void generalNumbers_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");   // '.' stands for the locale's decimal point
        QTest::newRow("integer") << 916325636.0 << "916325636";
        QTest::newRow("negative integer") << -7.0 << "-7";
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("negative zero") << -0.0 << "0";
        QTest::newRow("12 digits") << 123456789012.0 << "123456789012";
        QTest::newRow("15 digits") << 999999999999999.0 << "999999999999999";
        QTest::newRow("1e15") << 1e15 << "1E+15";
        QTest::newRow("16 digits") << 1234567890123456.0 << "1.23456789012346E+15";
        QTest::newRow("1e20") << 1e20 << "1E+20";
        QTest::newRow("0.1+0.2") << 0.1 + 0.2 << "0.3";
        QTest::newRow("3.25") << 3.25 << "3.25";
        QTest::newRow("-2.5") << -2.5 << "-2.5";
        QTest::newRow("1/3") << 1.0 / 3.0 << "0.333333333333333";
        QTest::newRow("2/3") << 2.0 / 3.0 << "0.666666666666667";
        QTest::newRow("large fraction") << 12345.678901234567 << "12345.6789012346";
        QTest::newRow("small") << 0.00012 << "0.00012";
        QTest::newRow("tiny") << 1.5e-12 << "1.5E-12";
        QTest::newRow("rounds up to whole") << 0.99999999999999994 << "1";
        QTest::newRow("just below 1e15") << 999999999999999.9 << "1E+15";
    }
    void generalNumbers()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        text.replace('.', Point());
        QCOMPARE(CellNumberText(value), text);
    }

    void datesHaveFourDigitYearsAndNoZone()
    {
        const QString d = DateTimeText(QDate(2001, 2, 3), QTime(13, 45), false);
        QVERIFY2(d.contains("2001"), qPrintable(d));
        QVERIFY(!d.contains(':'));
        const QString dt = DateTimeText(QDate(2001, 2, 3), QTime(13, 45, 10), true);
        QVERIFY2(dt.startsWith(d + ' '), qPrintable(dt));
        QVERIFY2(dt.contains("45") && dt.contains("10"), qPrintable(dt));
        QVERIFY2(!dt.contains("UTC") && !dt.contains("GMT") && dt == dt.trimmed(), qPrintable(dt));
        // a century never gets lost: 1901 and 2001 read differently
        QVERIFY(DateTimeText(QDate(1901, 2, 3), {}, false) != d);
    }

    void serials()
    {
        const QString d2001 = DateTimeText(QDate(2001, 2, 3), {}, false);
        QCOMPARE(CellDateText(36925, false), d2001);
        QCOMPARE(CellDateText(36925 - 1462, true), d2001);      // the 1904 system counts 1462 days fewer
        QCOMPARE(CellDateText(1, false), DateTimeText(QDate(1900, 1, 1), {}, false));
        QCOMPARE(CellDateText(59, false), DateTimeText(QDate(1900, 2, 28), {}, false));
        // Excel counts a 29 February 1900 that never was, and shows it
        const QString leapDay = DateTimeText(QDate(2000, 2, 29), {}, false);
        QCOMPARE(CellDateText(60, false), QString(leapDay).replace("2000", "1900"));
        QCOMPARE(CellDateText(60.5, false), QString(DateTimeText(QDate(2000, 2, 29), QTime(12, 0), true)).replace("2000", "1900"));
        QCOMPARE(CellDateText(61, false), DateTimeText(QDate(1900, 3, 1), {}, false));
        // a time that rounds to midnight is the next day's
        QCOMPARE(CellDateText(36925.999999999, false), DateTimeText(QDate(2001, 2, 4), {}, false));
        QCOMPARE(CellDateText(36925.99999, false), DateTimeText(QDate(2001, 2, 3), QTime(23, 59, 59), true));
        QCOMPARE(CellDateText(0, true).contains(':'), true);   // a time of day alone
        QCOMPARE(CellDateText(43968.5729166667, false),
                 DateTimeText(QDate(2020, 5, 17), QTime(13, 45), true));
        QCOMPARE(CellDateText(2958465, false), DateTimeText(QDate(9999, 12, 31), {}, false));
        // numbers that are no dates keep their digits: an SSN formatted as a date by mistake
        QCOMPARE(CellDateText(916325636, false), QString("916325636"));
        QCOMPARE(CellDateText(2958466, false), QString("2958466"));
        QCOMPARE(CellDateText(-1, false), QString("-1"));
        QCOMPARE(CellDateText(qQNaN(), false), QString("#NUM!"));
    }

    void dateFormats_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("isDate");
        QTest::newRow("built-in 14") << 14 << "" << true;
        QTest::newRow("built-in 22") << 22 << "" << true;
        QTest::newRow("built-in 45") << 45 << "" << true;
        QTest::newRow("built-in 47") << 47 << "" << true;
        QTest::newRow("built-in 0") << 0 << "General" << false;
        QTest::newRow("built-in 23") << 23 << "" << false;
        QTest::newRow("built-in 49 text") << 49 << "@" << false;
        QTest::newRow("custom date") << 164 << "MM/DD/YYYY" << true;
        QTest::newRow("custom time") << 165 << "h:mm AM/PM" << true;
        QTest::newRow("elapsed") << 166 << "[h]:mm:ss" << true;
        QTest::newRow("locale prefix") << 167 << "[$-409]d-mmm-yy;@" << true;
        QTest::newRow("number") << 168 << "#,##0.00_);[Red](#,##0.00)" << false;
        QTest::newRow("quoted") << 169 << "0 \"days\"" << false;
        QTest::newRow("escaped") << 170 << "0\\d" << false;
        QTest::newRow("colour only") << 171 << "[Red]0" << false;
        QTest::newRow("ssn") << 172 << "000-00-0000" << false;
        QTest::newRow("exponent") << 173 << "0.00E+00" << false;
    }
    void dateFormats()
    {
        QFETCH(int, id);
        QFETCH(QString, code);
        QFETCH(bool, isDate);
        QCOMPARE(IsDateFormat(id, code), isDate);
    }

    // Formats that pad with zeros show what a spreadsheet shows; every other format keeps
    // the General text (dates aside).
    void numberFormats_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("code");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");   // '.' stands for the locale's decimal point
        QTest::newRow("nine places") << 164 << "000000000" << 12345678.0 << "012345678";
        QTest::newRow("nine places, one") << 164 << "000000000" << 1.0 << "000000001";
        QTest::newRow("more digits than places") << 164 << "00000" << 1234567.0 << "1234567";
        QTest::newRow("ssn, escaped") << 165 << "000\\-00\\-0000" << 12345678.0 << "012-34-5678";
        QTest::newRow("ssn, plain") << 165 << "000-00-0000" << 1234.0 << "000-00-1234";
        QTest::newRow("ssn, quoted") << 165 << "000\"-\"00\"-\"0000" << 23456789.0 << "023-45-6789";
        QTest::newRow("ssn, too long") << 165 << "000-00-0000" << 12345678901.0 << "12345-67-8901";
        QTest::newRow("second section ignored") << 166 << "00000;[Red]-00000" << 42.0 << "00042";
        QTest::newRow("negative") << 166 << "00000" << -42.0 << "-00042";
        QTest::newRow("rounded") << 167 << "0000" << 12.5 << "0013";
        QTest::newRow("built-in 0") << 1 << "" << 2.4 << "2";
        QTest::newRow("built-in 0.00") << 2 << "" << 2.4 << "2.4";
        QTest::newRow("general") << 0 << "General" << 12345678.0 << "12345678";
        QTest::newRow("decimals") << 168 << "000.00" << 12.5 << "12.5";
        QTest::newRow("grouping") << 169 << "#,##0" << 12345678.0 << "12345678";
        QTest::newRow("hash") << 170 << "###-##-####" << 12345678.0 << "12345678";
        QTest::newRow("text") << 49 << "@" << 12345678.0 << "12345678";
        QTest::newRow("text around") << 172 << "\"Total: \"0" << -7.0 << "-7";
        QTest::newRow("phone") << 173 << "(000) 000-0000" << 5551234567.0 << "5551234567";
        QTest::newRow("colour") << 171 << "[Red]000000000" << 12345678.0 << "12345678";
        QTest::newRow("too large to pad") << 164 << "000000000" << 1e15 << "1E+15";
        QTest::newRow("date stays a date") << 14 << "" << 2.0 << "1900-01-02";
    }
    void numberFormats()
    {
        QFETCH(int, id);
        QFETCH(QString, code);
        QFETCH(double, value);
        QFETCH(QString, text);
        const TNumberFormat format = NumberFormatOf(id, code);
        if (format.Date) {
            QCOMPARE(CellFormattedText(value, format, false), DateTimeText(QDate::fromString(text, Qt::ISODate), QTime(), false));
            return;
        }
        QCOMPARE(CellFormattedText(value, format, false), text.replace('.', QLocale::system().decimalPoint()));
    }

    void booleansAndErrors()
    {
        QCOMPARE(CellBooleanText(true), QString("True"));
        QCOMPARE(CellBooleanText(false), QString("False"));
        const QList<QPair<int, QString>> errors = {{0x00, "#NULL!"}, {0x07, "#DIV/0!"}, {0x0F, "#VALUE!"},
                                                   {0x17, "#REF!"},  {0x1D, "#NAME?"},  {0x24, "#NUM!"},
                                                   {0x2A, "#N/A"},   {0x2B, "#GETTING_DATA"}};
        for (const auto &e : errors)
            QCOMPARE(CellErrorText(quint8(e.first)), e.second);
    }
};

CORVANE_TEST(TestCellText)
#include "tst_celltext.moc"

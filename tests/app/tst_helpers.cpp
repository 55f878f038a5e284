#include "testmain.h"
#include "app/Exceptions.h"
#include "app/VORNUtils.h"

#include <QTest>

class TestHelpers : public QObject
{
    Q_OBJECT
private slots:
    void padding()
    {
        QCOMPARE(PadLeft("7", '0', 4), QString("0007"));
        QCOMPARE(PadLeft("12345", '0', 4), QString("12345"));
        QCOMPARE(PadRight("SM", ' ', 3), QString("SM "));
        QCOMPARE(PadRight("", 'x', 0), QString(""));
        QCOMPARE(PadLeft("", '0', -3), QString(""));
    }
    void parentDir_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("parent");
        QTest::newRow("windows") << R"(C:\Apps\Tool\Bin)" << R"(C:\Apps\Tool\)";
        QTest::newRow("windows root") << R"(C:\)" << R"(C:\)";
        QTest::newRow("trailing separator ignored") << R"(C:\Apps\Tool\)" << R"(C:\Apps\)";
        QTest::newRow("posix") << "/opt/corvane/bin" << "/opt/corvane/";
        QTest::newRow("posix root") << "/" << "/";
        QTest::newRow("program in root") << "/bin" << "/";
        QTest::newRow("no separator") << "tool" << "tool";
        QTest::newRow("empty") << "" << "";
    }
    void parentDir()
    {
        QFETCH(QString, path);
        QFETCH(QString, parent);
        QCOMPARE(ParentDir(path), parent);
    }
    void errorBoxFullStop()
    {
        QCOMPARE(ErrorBoxText("File not found"), QString("File not found."));
        QCOMPARE(ErrorBoxText("Done."), QString("Done."));
        QCOMPARE(ErrorBoxText("Really?"), QString("Really?."));   // '?' sorts after '.'
        QCOMPARE(ErrorBoxText("quoted\""), QString("quoted\""));  // '"' sorts before '.'
        QCOMPARE(ErrorBoxText("a-"), QString("a-"));
        QCOMPARE(ErrorBoxText(""), QString(""));
    }
    void integerConversion()
    {
        QCOMPARE(StrToInt("0998"), 998);
        QCOMPARE(StrToInt("  12"), 12);
        QCOMPARE(StrToInt("-5"), -5);
        QCOMPARE(StrToInt("+7"), 7);
        QCOMPARE(StrToInt("$1F"), 31);
        QCOMPARE(StrToInt("2147483647"), 2147483647);
        QCOMPARE(StrToInt("-2147483648"), int(-2147483647 - 1));
        for (const char *bad : {"", " ", "1.5", "12a", "A12", "12 ", "2147483648", "-", "$", "１２"}) {
            try {
                StrToInt(QString::fromUtf8(bad));
                QFAIL(bad);
            } catch (const EConvertError &e) {
                QCOMPARE(e.message(), QString("'%1' is not a valid integer value").arg(QString::fromUtf8(bad)));
            }
        }
        const QString huge(1'000'000, QLatin1Char('9'));
        QVERIFY_THROWS_EXCEPTION(EConvertError, StrToInt(huge));
    }
    void floatConversion()
    {
        const QLocale c = QLocale::c();
        const QLocale german(QLocale::German, QLocale::Germany);
        QCOMPARE(StrToFloat("12.5", c), 12.5);
        QCOMPARE(StrToFloat(" 10 ", c), 10.0);
        QCOMPARE(StrToFloat("-3", c), -3.0);
        QCOMPARE(StrToFloat("1e2", c), 100.0);
        QCOMPARE(StrToFloat(".5", c), 0.5);
        QCOMPARE(StrToFloat("12,5", german), 12.5);
        QVERIFY_THROWS_EXCEPTION(EConvertError, StrToFloat("12,5", c));
        QVERIFY_THROWS_EXCEPTION(EConvertError, StrToFloat("1,000.5", c));
        try {
            StrToFloat("", c);
            QFAIL("empty text converted");
        } catch (const EConvertError &e) {
            QCOMPARE(e.message(), QString("'' is not a valid floating point value"));
        }
        QVERIFY_THROWS_EXCEPTION(EConvertError, StrToFloat("1e999", c));
        QVERIFY_THROWS_EXCEPTION(EConvertError, StrToFloat(QString(200000, '1') + "x", c));
    }
    void exceptionText()
    {
        const Exception e(QString::fromUtf8("Ünïcode"));
        QCOMPARE(QString::fromUtf8(e.what()), QString::fromUtf8("Ünïcode"));
    }
};

CORVANE_TEST(TestHelpers)
#include "tst_helpers.moc"

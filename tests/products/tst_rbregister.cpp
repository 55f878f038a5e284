#include "testmain.h"
#include "tst_rbfixture.h"

#include "app/Exceptions.h"
#include "products/RBNotificationCopy.h"
#include "products/RBTestingRegister.h"
#include "products/RBWorkingCopy.h"
#include "report/DisplayFormat.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace rbtest;

namespace {
QString UsDate()
{
    const QString sep(LocaleDateSeparator());
    return "01" + sep + "15" + sep + "2003";
}
} // namespace

class TestRBRegister : public QObject
{
    Q_OBJECT
    ArmyProfile m_profile;

private slots:
    void init() { m_profile.Install(); }
    void cleanup() { m_profile.Remove(); }

    // One page per sheet, the header on each, a row per member.
    void registerPages()
    {
        TestRun run(30);
        PreviewCapture capture;
        {
            TrptTestingRegister rpt;
            rpt.Print(&run.History);
        }
        QCOMPARE(capture.Documents.size(), 1);
        QVERIFY(capture.Settings.first().Maximized);
        const TppDocument &doc = capture.Documents.first();
        QCOMPARE(doc.PageCount(), 3);
        const QList<int> rows = {12, 12, 6};
        // dates are joined by the system's date separator (a slash in the United States)
        const QString sep = QRegularExpression::escape(QString(LocaleDateSeparator()));
        const QRegularExpression stamp("^\\d\\d" + sep + "\\d\\d" + sep + "\\d{4} \\d{1,2}:\\d\\d:\\d\\d (AM|PM)$");
        for (int page = 0; page < 3; ++page) {
            const TppPage &pg = doc.Pages[page];
            QVERIFY(pg.Landscape);
            QCOMPARE(Texts(pg, "Label1"), QStringList{"Corvane"});
            QCOMPARE(Texts(pg, "Label2"), QStringList{"Testing Register"});
            QCOMPARE(Texts(pg, "lblFinalColumn"), QStringList{"Comments and Disposition"});
            QCOMPARE(Texts(pg, "lblMemberTopInfo"), QStringList{"Rank, Printed Name, SSN"});
            QCOMPARE(Texts(pg, "lblDateLine3"), QStringList{"T/M/D/Y"});
            QVERIFY(Texts(pg, "lblAltSSN").isEmpty());
            QVERIFY(Texts(pg, "lblFormID").isEmpty());
            QCOMPARE(Texts(pg, "lblPremise"), QStringList{"IR"});
            const QStringList when = Texts(pg, "varDateTime");
            QCOMPARE(when.size(), 1);
            QVERIFY2(stamp.match(when.first()).hasMatch(), qPrintable(when.first()));
            const QStringList names = Texts(pg, "dbtxtFullName");
            QCOMPARE(names.size(), rows[page]);
            for (int r = 0; r < rows[page]; ++r)
                QCOMPARE(names[r], run.Members[page * 12 + r].Name);
            QCOMPARE(Texts(pg, "dbtxtBatchNumber"), QStringList(QList<QString>(rows[page], QString("000%1").arg(page + 1))));
            QCOMPARE(Texts(pg, "dbtxtDateCollected").first(), QString(UsDate()));
            QCOMPARE(Texts(pg, "lblBatch").size(), rows[page]);
            // the rows run down the grid, 12700 apart, from the end of the header
            const auto rank = Commands<TppDrawText>(pg, "dbtxtRank");
            QCOMPARE(rank.first()->mmTop, 6350 + 31221 + 1588);
            QCOMPARE(rank.last()->mmTop - rank.first()->mmTop, (rows[page] - 1) * 12700);
            // the grid picture sits under the header captions
            const auto image = Commands<TppDrawImage>(pg);
            QCOMPARE(image.size(), 1);
            QCOMPARE(image.first()->mmTop, 6350 + 16404);
        }
        QCOMPARE(Texts(doc.Pages[0], "dbtxtSSN").first(), QString("123-45-6789"));
        QCOMPARE(Texts(doc.Pages[0], "dbtxtSpecimenNumber").last(), QString("012"));
        QCOMPARE(Texts(doc.Pages[0], "lblDescription"), QStringList{"A CO 1-5 IN"});
    }

    // A unit name longer than the layout's 24 mm keeps to that box: smaller type, then an
    // ellipsis; it no longer spreads over the header beside it.
    void longUnitNameKeepsToItsBox()
    {
        TestRun run(3);
        for (auto &m : run.Members)
            m.Organization = QStringLiteral("HHC 2-14 CAV (FORWARD) SUPPORT");
        PreviewCapture capture;
        {
            TrptTestingRegister rpt;
            rpt.Print(&run.History);
        }
        const TppPage &pg = capture.Documents.first().Pages[0];
        const auto box = Commands<TppDrawText>(pg, "lblDescription").first();
        QVERIFY(box->Font.Size < 10 && box->Font.Size >= 6);
        QVERIFY(QString("HHC 2-14 CAV (FORWARD) SUPPORT").startsWith(box->Text.chopped(1)));
        for (const QString &cut : Overflowing(pg))
            QVERIFY2(!cut.startsWith("lblDescription"), qPrintable(cut));
        QCOMPARE(box->mmLeft, 6350 + 121179);
        QCOMPARE(box->mmWidth, 24342);
        QCOMPARE(box->mmLeft + box->mmWidth / 2, 6350 + 121179 + 24342 / 2);
        // a short name keeps the layout's type
        PreviewCapture again;
        TestRun shortRun(1);
        {
            TrptTestingRegister rpt;
            rpt.Print(&shortRun.History);
        }
        const auto shortBox = Commands<TppDrawText>(again.Documents.first().Pages[0], "lblDescription").first();
        QCOMPARE(shortBox->Font.Size, 10.0);
        QCOMPARE(shortBox->Text, QString("A CO 1-5 IN"));
    }

    void registerDateFormatFromProfile()
    {
        m_profile->DateFormat = "dd.MM.yyyy";
        m_profile->RegisterLastColumnCaption = "Remarks";
        TestRun run(2);
        PreviewCapture capture;
        TrptTestingRegister rpt;
        rpt.Print(&run.History);
        const TppPage &pg = capture.Documents.first().Pages[0];
        QCOMPARE(Texts(pg, "dbtxtDateCollected").first(), QString("15.01.2003"));
        QVERIFY(QRegularExpression("^\\d\\d\\.\\d\\d\\.\\d{4} \\d{1,2}:\\d\\d:\\d\\d (AM|PM)$")
                    .match(Texts(pg, "varDateTime").first()).hasMatch());
        QCOMPARE(Texts(pg, "lblFinalColumn"), QStringList{"Remarks"});
    }

    void alternateRegister()
    {
        QTemporaryDir root;
        QVERIFY(QDir(root.path()).mkpath("Bmp"));
        QVERIFY(QFile::copy(testing_registry::dataPath("Bmp/AlternateTestRegister.svg"),
                            root.filePath("Bmp/AlternateTestRegister.svg")));
        AppRootDir = root.path() + "/";
        m_profile->AlternateRegister = true;
        TestRun run(13);
        PreviewCapture capture;
        TrptTestingRegister rpt;
        rpt.Print(&run.History);
        const TppDocument &doc = capture.Documents.first();
        QCOMPARE(doc.PageCount(), 2);
        const TppPage &pg = doc.Pages[1];
        QCOMPARE(Texts(pg, "lblAltSSN"), QStringList{"SSN"});
        QCOMPARE(Texts(pg, "lblAltInit"), QStringList{"Initials"});
        QCOMPARE(Texts(pg, "lblMemberTopInfo"), QStringList{"Rank, Printed Name"});
        QCOMPARE(Texts(pg, "lblObserversBottomInfo"), QStringList{"Signature and Initials"});
        QCOMPARE(Texts(pg, "lblDateLine1"), QStringList{"Collection"});
        QCOMPARE(Texts(pg, "lblDateLine2"), QStringList{"Time:"});
        QCOMPARE(Texts(pg, "lblDateLine3"), QStringList{"Date:"});
        QCOMPARE(Texts(pg, "dbtxtFullName").size(), 1);
        // the picture is the one from the file, not the built-in grid
        TrptTestingRegister plain;
        const auto altImage = Commands<TppDrawImage>(pg).first()->Picture;
        QVERIFY(altImage);
        QVERIFY(altImage != plain.Image->Picture);
    }

    void alternatePictureMissingStops()
    {
        QTemporaryDir root;
        AppRootDir = root.path() + "/";
        m_profile->AlternateRegister = true;
        TestRun run(3);
        PreviewCapture capture;
        TrptTestingRegister rpt;
        try {
            rpt.Print(&run.History);
            QFAIL("a missing picture must stop the register");
        } catch (const Exception &e) {
            QVERIFY2(e.message().contains("AlternateTestRegister.wmf"), qPrintable(e.message()));
        }
        QVERIFY(capture.Documents.isEmpty());

        // a file that is no picture at all is reported as unreadable, by name
        QVERIFY(QDir(root.path()).mkpath("Bmp"));
        QFile junk(root.filePath("Bmp/AlternateTestRegister.wmf"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("\xd7\xcd\xc6\x9a not a drawing");
        junk.close();
        try {
            rpt.Print(&run.History);
            QFAIL("an unreadable picture must stop the register");
        } catch (const Exception &e) {
            QVERIFY2(e.message().contains("AlternateTestRegister.wmf"), qPrintable(e.message()));
            QVERIFY2(e.message().contains("read"), qPrintable(e.message()));
        }
        QVERIFY(capture.Documents.isEmpty());

        // the drawing beside the metafile serves
        QVERIFY(QFile::copy(testing_registry::dataPath("Bmp/AlternateTestRegister.svg"),
                            root.filePath("Bmp/AlternateTestRegister.svg")));
        rpt.Print(&run.History);
        QCOMPARE(capture.Documents.size(), 1);
    }

    // 35 rows a page; the 36th member starts page 2 under a repeated header.
    void notificationCopyPages()
    {
        TestRun run(40);
        PreviewCapture capture;
        {
            TrptNotificationCopy rpt;
            rpt.Print(&run.History);
        }
        const TppDocument &doc = capture.Documents.first();
        QCOMPARE(doc.PageCount(), 2);
        QVERIFY(!doc.Pages[0].Landscape);
        QCOMPARE(Texts(doc.Pages[0], "dbtxtFullName").size(), 35);
        QCOMPARE(Texts(doc.Pages[1], "dbtxtFullName").size(), 5);
        QCOMPARE(Texts(doc.Pages[1], "dbtxtFullName").first(), run.Members[35].Name);
        for (const TppPage &pg : doc.Pages) {
            QCOMPARE(Texts(pg, "lblReportTitle"), QStringList{"Army Corvane"});
            QCOMPARE(Texts(pg, "Label1"), QStringList{"Testing Subjects"});
            QCOMPARE(Texts(pg, "Label2"), QStringList{"Notification Copy"});
            QCOMPARE(Texts(pg, "lblDateCollected"), QStringList{UsDate()});
            QCOMPARE(Texts(pg, "lblGender"), QStringList{"M/F"});
            QCOMPARE(Commands<TppDrawLine>(pg).size(), 2);
        }
        const TppPage &first = doc.Pages[0];
        QCOMPARE(Texts(first, "ppDBSSN").first(), QString("123-45-6789"));
        QCOMPARE(Texts(first, "dbtxtGender").first(), QString("F"));
        QCOMPARE(Texts(first, "dbtxtOrganization").first(), QString("A CO 1-5 IN"));
        QCOMPARE(Texts(first, "dbtxtPremise").first(), QString("IR"));
        QCOMPARE(Texts(first, "dbtxtRank").first(), QString("PVT"));
        // the header's organization is the record current when the header prints
        QCOMPARE(Texts(doc.Pages[1], "lblDescription"), QStringList{"B CO 1-5 IN"});
    }

    void notificationMasksSsn()
    {
        m_profile->MaskSsnOnNotification = true;
        TestRun run(3);
        PreviewCapture capture;
        TrptNotificationCopy rpt;
        rpt.Print(&run.History);
        const QStringList ssn = Texts(capture.Documents.first().Pages[0], "ppDBSSN");
        QCOMPARE(ssn, (QStringList{"6789", "7802", "8815"}));
        QString text = "123-45-6789";
        m_profile->MaskSsnOnNotification = false;
        rpt.ppDBSSNGetText(text);
        QCOMPARE(text, QString("123-45-6789"));
    }

    void workingCopyPages()
    {
        m_profile->MaskSsnOnNotification = true;   // the working copy never masks
        TestRun run(36);
        PreviewCapture capture;
        {
            TrptWorkingCopy rpt;
            rpt.Print(&run.History);
        }
        const TppDocument &doc = capture.Documents.first();
        QCOMPARE(doc.PageCount(), 2);
        const TppPage &first = doc.Pages[0];
        QCOMPARE(Texts(first, "Label2"), QStringList{"Working Copy"});
        QCOMPARE(Texts(first, "lblDueBack"), QStringList{"Due Back"});
        QCOMPARE(Texts(first, "lblRationale"), QStringList{"Rationale"});
        QVERIFY(Texts(first, "lblGender").isEmpty());
        QCOMPARE(Texts(first, "dbtxtFullName").size(), 35);
        QCOMPARE(Texts(doc.Pages[1], "dbtxtFullName").size(), 1);
        QCOMPARE(Texts(first, "dbtxtSSN").first(), QString("123-45-6789"));
        // two blanks to write on per member, under their captions
        QCOMPARE(Commands<TppDrawLine>(first, "lnDueBack").size(), 35);
        QCOMPARE(Commands<TppDrawLine>(first, "lnRationale").size(), 35);
        QCOMPARE(Commands<TppDrawLine>(first, "lnRationale").first()->mmLeft, 6350 + 163777);
    }

    void emptyHistoryPrintsHeaderOnly()
    {
        TestRun run(0);
        PreviewCapture capture;
        TrptWorkingCopy rpt;
        rpt.Print(&run.History);
        const TppDocument &doc = capture.Documents.first();
        QVERIFY(doc.PageCount() <= 1);
        if (doc.PageCount() == 1)
            QVERIFY(Texts(doc.Pages[0], "dbtxtFullName").isEmpty());
    }
};

CORVANE_TEST(TestRBRegister)
#include "tst_rbregister.moc"

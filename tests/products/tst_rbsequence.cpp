#include "testmain.h"
#include "tst_rbfixture.h"

#include "app/Exceptions.h"
#include "products/PrintProducts.h"
#include "products/RBBottleLabels.h"

#include <QTemporaryDir>
#include <QTest>

using namespace rbtest;

namespace {

class TSelection : public TSelectedMembers
{
public:
    TRosterRecs Members;
    int SelectedCount() const override { return int(Members.size()); }
    const TRosterRec &GetSelectedMember(int n) const override { return Members.at(n); }
    void SetMemberPrintInfo(int n, int formIndex, const QString &specimenNumber) override
    {
        Members[n].FormIndex = formIndex;
        Members[n].SpecimenNumber = specimenNumber;
    }
    QString PremiseCode() const override { return QStringLiteral("IR"); }
    QString LocationCode() const override { return QStringLiteral("US"); }
};

// 30 members; the fifth is the documented example member, SSN 123456789, a private.
TSelection ThirtyMembers()
{
    TSelection s;
    for (int i = 0; i < 30; ++i) {
        TRosterRec r;
        r.Name = QStringLiteral("MEMBER%1, PAT Q.").arg(i, 2, 10, QLatin1Char('0'));
        r.SSN = i == 4 ? QStringLiteral("123456789") : QString::number(200000000 + i * 37);
        r.Rank = i == 4 ? QStringLiteral("PVT") : QStringLiteral("SGT");
        r.Gender = QStringLiteral("M");
        r.Organization = QStringLiteral("HHC 2-7 CAV");
        r.Selected = true;
        s.Members.append(r);
    }
    return s;
}

void FillInputs(TPrintInputs &in)
{
    in.BAC = QStringLiteral("HQ");
    in.UIC = QStringLiteral("AB1CD");
    in.CollectionDate = QDate(2003, 1, 15);
    in.StartingBatch = QStringLiteral("7");
    in.NotificationCopy = in.WorkingCopy = in.TestingRegister = true;
    in.Front2624 = in.Back2624 = in.BottleLabels = true;
}

} // namespace

// The products as the print page prints them, from its own pipelines, in its order.
class TestRBSequence : public QObject
{
    Q_OBJECT
    ArmyProfile m_profile;

private slots:
    void init()
    {
        m_profile.Install();
        EditionSuffix = QStringLiteral("L");
    }
    void cleanup()
    {
        m_profile.Remove();
        SetLabelPositionPrompt(nullptr);
    }

    void everyProductInOrder()
    {
        TSelection members = ThirtyMembers();
        TPrintProducts products(members, *m_profile);
        FillInputs(products.Inputs);
        PreviewCapture capture;
        int asked = 0, labelCount = 0;
        SetLabelPositionPrompt([&](int count, QString &pos) {
            ++asked;
            labelCount = count;
            pos = QStringLiteral("1");
            return true;
        });
        products.Print(DefaultProductPrinters());
        QCOMPARE(asked, 1);
        QCOMPARE(labelCount, 30);
        QCOMPARE(capture.Documents.size(), 6);
        const QList<TppDocument> &d = capture.Documents;
        QCOMPARE(Texts(d[0].Pages[0], "Label2"), QStringList{"Notification Copy"});
        QCOMPARE(Texts(d[1].Pages[0], "Label2"), QStringList{"Working Copy"});
        QCOMPARE(Texts(d[2].Pages[0], "Label2"), QStringList{"Testing Register"});
        QCOMPARE(d[2].PageCount(), 3);
        QCOMPARE(d[3].PageCount(), 3);   // front: a page per sheet
        QCOMPARE(d[4].PageCount(), 3);   // back: a page per sheet
        QCOMPARE(d[5].PageCount(), 3);   // labels: 10 + 10 + 10
        // the documented example: sheet 0007 and its fifth member
        QCOMPARE(DecodeAll(d[3].Pages[0], "lblbcTopBarcode"), QStringList{"533013200301150007AB1CDHQ  US"});
        QCOMPARE(DecodeAll(d[3].Pages[0], "lblBCSSNBarcode").at(4), QString("005123456789IRA"));
        QCOMPARE(DecodeAll(d[3].Pages[2], "lblbcTopBarcode"), QStringList{"533013200301150009AB1CDHQ  US"});
        QCOMPARE(Texts(d[4].Pages[1], "txtDate").first(), QString("030115"));
        QCOMPARE(DecodeAll(d[5].Pages[0], "brcdTestInfo").at(4), QString("IR0007005"));
        QCOMPARE(DecodeAll(d[5].Pages[0], "brcdSSN").at(4), QString("123456789"));
        QCOMPARE(Texts(d[5].Pages[0], "lblSSN").at(4), QString("123-45-6789"));
        // no text, caption of a form or value, is cut at the edge of its box
        QStringList cut;
        for (const TppDocument &doc : d)
            for (const TppPage &pg : doc.Pages)
                cut << Overflowing(pg);
        cut.removeDuplicates();
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(" | ")));
    }

    // A register that cannot print stops the sequence: nothing after it prints.
    void failingRegisterStopsTheRest()
    {
        QTemporaryDir root;
        AppRootDir = root.path() + "/";
        m_profile->AlternateRegister = true;
        TSelection members = ThirtyMembers();
        TPrintProducts products(members, *m_profile);
        FillInputs(products.Inputs);
        PreviewCapture capture;
        bool asked = false;
        SetLabelPositionPrompt([&](int, QString &) { return asked = true; });
        QVERIFY_THROWS_EXCEPTION(Exception, products.Print(DefaultProductPrinters()));
        QCOMPARE(capture.Documents.size(), 2);   // the two copies before it
        QVERIFY(!asked);
    }

    void badLabelPositionAfterTheOthers()
    {
        TSelection members = ThirtyMembers();
        TPrintProducts products(members, *m_profile);
        FillInputs(products.Inputs);
        PreviewCapture capture;
        SetLabelPositionPrompt([](int, QString &pos) {
            pos = QStringLiteral("0");
            return true;
        });
        QVERIFY_THROWS_EXCEPTION(Exception, products.Print(DefaultProductPrinters()));
        QCOMPARE(capture.Documents.size(), 5);
    }
};

CORVANE_TEST(TestRBSequence)
#include "tst_rbsequence.moc"

#include "testmain.h"

#include "app/ServiceUtilsUnit.h"
#include "products/PrintProducts.h"
#include "report/ReportModel.h"

#include <QTest>

namespace {

class TPlainSelection : public TSelectedMembers
{
public:
    TRosterRecs Members;
    int SelectedCount() const override { return int(Members.size()); }
    TRosterRec GetSelectedMember(int n) const override { return Members.at(n); }
    void SetMemberPrintInfo(int n, int formIndex, const QString &specimenNumber) override
    {
        Members[n].FormIndex = formIndex;
        Members[n].SpecimenNumber = specimenNumber;
    }
    QString PremiseCode() const override { return QStringLiteral("IU"); }
    QString LocationCode() const override { return QStringLiteral("US"); }
};

QStringList PageTexts(const TppPage &page)
{
    QStringList texts;
    for (const TppDrawCommandPtr &c : page.Commands)
        if (auto *t = dynamic_cast<const TppDrawText *>(c.get()))
            texts << (t->Lines.isEmpty() ? t->Text : t->Lines.join(QLatin1Char(' ')));
    return texts;
}

} // namespace

// The products print real pages from the print run's pipelines.
class TestPrintProductsReports : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { SetPreviewHandler({}); }

    void everyProductPrintsPages()
    {
        TArmyUtils profile;
        TServiceUtils *saved = ServiceUtils;
        ServiceUtils = &profile;
        TPlainSelection selection;
        for (int i = 0; i < 13; ++i) {
            TRosterRec r;
            r.Name = QStringLiteral("SOLDIER%1, A.").arg(i, 2, 10, QLatin1Char('0'));
            r.SSN = QStringLiteral("1234567%1").arg(i, 2, 10, QLatin1Char('0'));
            r.Rank = QStringLiteral("SPC");
            r.Gender = QStringLiteral("M");
            r.Selected = true;
            selection.Members.append(r);
        }
        TPrintProducts products(selection, profile);
        products.Inputs.CollectionDate = QDate(2026, 12, 8);
        products.Inputs.StartingBatch = QStringLiteral("0998");
        products.Inputs.NotificationCopy = products.Inputs.WorkingCopy = true;
        products.Inputs.TestingRegister = products.Inputs.Front2624 = true;
        products.Inputs.Back2624 = products.Inputs.BottleLabels = true;

        QList<QStringList> documents;   // every text of every document, in print order
        QList<int> pageCounts;
        SetPreviewHandler([&](TppReport &, TppDocument &document) {
            QStringList texts;
            for (const TppPage &page : document.Pages)
                texts << PageTexts(page);
            documents.append(texts);
            pageCounts.append(document.PageCount());
        });
        products.Print(DefaultProductPrinters());
        ServiceUtils = saved;

        QCOMPARE(documents.size(), 6);
        for (int d = 0; d < documents.size(); ++d)
            QVERIFY2(pageCounts[d] >= 1, qPrintable(QString::number(d)));
        // The member lists carry every member, the labels every SSN; the custody
        // document one page per sheet.
        for (const TRosterRec &m : std::as_const(selection.Members)) {
            const QString ssn = m.SSN.left(3) + '-' + m.SSN.mid(3, 2) + '-' + m.SSN.mid(5);
            QVERIFY2(documents[5].contains(ssn), qPrintable(ssn));
        }
        for (int d : {0, 1, 2}) {
            for (const TRosterRec &m : std::as_const(selection.Members)) {
                const bool found = documents[d].join(QLatin1Char('\n')).contains(m.Name);
                QVERIFY2(found, qPrintable(QStringLiteral("%1 in document %2").arg(m.Name).arg(d)));
            }
        }
        QCOMPARE(pageCounts[3], 2);
        QVERIFY(documents[3].contains(QStringLiteral("0998")));
        QVERIFY(documents[3].contains(QStringLiteral("0999")));
        QCOMPARE(pageCounts[4], 2);
    }
};

CORVANE_TEST(TestPrintProductsReports)
#include "tst_printproductsreports.moc"

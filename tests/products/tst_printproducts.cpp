#include "testmain.h"

#include "app/Exceptions.h"
#include "app/ServiceUtilsUnit.h"
#include "products/BatchManager.h"
#include "products/PrintProducts.h"
#include "report/Pipeline.h"
#include "selection/SelectionParameters.h"
#include "selection/SelectionRecord.h"

#include "products/RBBottleLabels.h"
#include "products/RBTestingRegister.h"
#include "report/Engine.h"
#include "report/ReportModel.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QScopeGuard>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

namespace {

// Selected members held in a plain list, in display order.
class TListSelection : public TSelectedMembers
{
public:
    TRosterRecs Members;
    QString Premise = QStringLiteral("IR");
    QString Location = QStringLiteral("US");
    int Reads = 0;

    int SelectedCount() const override { return int(Members.size()); }
    const TRosterRec &GetSelectedMember(int n) const override
    {
        ++const_cast<TListSelection *>(this)->Reads;
        return Members.at(n);
    }
    void SetMemberPrintInfo(int n, int formIndex, const QString &specimenNumber) override
    {
        Members[n].FormIndex = formIndex;
        Members[n].SpecimenNumber = specimenNumber;
    }
    QString PremiseCode() const override { return Premise; }
    QString LocationCode() const override { return Location; }
};

TRosterRec Member(const QString &name, const QString &gender = QStringLiteral("M"),
                  const QString &rank = QStringLiteral("SGT"), const QString &ssn = QString(),
                  const QString &org = QString())
{
    TRosterRec r;
    r.Name = name;
    r.Gender = gender;
    r.Rank = rank;
    r.SSN = ssn;
    r.Organization = org;
    r.Selected = true;
    return r;
}

TRosterRecs Members(int count, const QString &gender = QStringLiteral("M"))
{
    TRosterRecs list;
    for (int i = 0; i < count; ++i)
        list.append(Member(QStringLiteral("MEMBER%1, A B.").arg(i), gender));
    return list;
}

QList<int> SheetSizes(const TForms &forms)
{
    QList<int> sizes;
    for (const TFormInfo &f : forms)
        sizes.append(f.MemberCount);
    return sizes;
}

QStringList SheetBatches(const TForms &forms)
{
    QStringList batches;
    for (const TFormInfo &f : forms)
        batches.append(f.BatchNumber);
    return batches;
}

// Every member carries its sheet's index and the specimens of a sheet count 001 upwards;
// sheets follow one another without gaps.
void VerifyConsecutiveNumbering(const TForms &forms, const TRosterRecs &members)
{
    int next = 0;
    for (int s = 0; s < forms.size(); ++s) {
        QCOMPARE(forms[s].FirstMember, next);
        for (int k = 0; k < forms[s].MemberCount; ++k) {
            const TRosterRec &m = members.at(next + k);
            QCOMPARE(m.FormIndex, s);
            QCOMPARE(m.SpecimenNumber, QString::number(k + 1).rightJustified(3, QLatin1Char('0')));
        }
        next += forms[s].MemberCount;
    }
    QCOMPARE(next, int(members.size()));
}

// Records the print operations in the order they run, with what each one sees.
struct TRecorder
{
    QStringList Calls;
    QStringList Failing;   // products that raise
    TppJITPipeline *History = nullptr;
    TppJITPipeline *Forms = nullptr;
    TppJITPipeline *FormMembers = nullptr;
    int SheetCount = -1;
    TDD2624BackLines Lines;
    int LabelCount = -1;

    void call(const QString &name)
    {
        Calls.append(name);
        if (Failing.contains(name))
            throw Exception(name + QStringLiteral(" failed"));
    }

    TProductPrinters Printers()
    {
        TProductPrinters p;
        p.NotificationCopy = [this](TppJITPipeline *h) { History = h; call("NotificationCopy"); };
        p.WorkingCopy = [this](TppJITPipeline *h) { History = h; call("WorkingCopy"); };
        p.TestingRegister = [this](TppJITPipeline *h) { History = h; call("TestingRegister"); };
        p.Front2624 = [this](TppJITPipeline *f, TppJITPipeline *m) {
            Forms = f;
            FormMembers = m;
            call("Front2624");
        };
        p.Back2624 = [this](int sheets, const TDD2624BackLines &lines) {
            SheetCount = sheets;
            Lines = lines;
            call("Back2624");
        };
        p.BottleLabels = [this](TppJITPipeline *h, int count) {
            History = h;
            LabelCount = count;
            call("BottleLabels");
            return false;
        };
        return p;
    }
};

void TickAll(TPrintInputs &in)
{
    in.NotificationCopy = in.WorkingCopy = in.TestingRegister = true;
    in.Front2624 = in.Back2624 = in.BottleLabels = true;
}

// Every stream of a PDF (page contents, fonts, pictures), as written: the compressor is
// deterministic, so equal streams mean equal pages. The document's dates lie outside them.
QList<QByteArray> PdfStreams(const QString &fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray pdf = f.readAll();
    QList<QByteArray> streams;
    for (qsizetype at = pdf.indexOf(">>\nstream\n"); at >= 0; at = pdf.indexOf(">>\nstream\n", at)) {
        const qsizetype from = at + 10;
        const qsizetype to = pdf.indexOf("endstream", from);
        if (to < 0)
            break;
        streams.append(pdf.mid(from, to - from));
        at = to;
    }
    return streams;
}

// The program's report forms, each writing its product into a file of the folder; the file
// is the printing thread's. The register's print time is fixed so that two runs agree.
struct TPdfPrinters
{
    static thread_local QString File;
    QString Dir;
    QMutex Lock;
    QSet<QThread *> Threads;

    TProductPrinters Printers()
    {
        const TProductPrinters real = DefaultProductPrinters();
        auto to = [this](const char *name) {
            File = QDir(Dir).filePath(QLatin1String(name));
            const QMutexLocker lock(&Lock);
            Threads.insert(QThread::currentThread());
        };
        TProductPrinters p;
        p.NotificationCopy = [=](TppJITPipeline *h) { to("notification.pdf"); real.NotificationCopy(h); };
        p.WorkingCopy = [=](TppJITPipeline *h) { to("working.pdf"); real.WorkingCopy(h); };
        p.TestingRegister = [=](TppJITPipeline *h) {
            to("register.pdf");
            TrptTestingRegister rpt;
            rpt.varDateTime->FixedDateTime = QDateTime(QDate(2026, 12, 8), QTime(14, 30, 5));
            rpt.Print(h);
        };
        p.Front2624 = [=](TppJITPipeline *f, TppJITPipeline *m) { to("front.pdf"); real.Front2624(f, m); };
        p.Back2624 = [=](int sheets, const TDD2624BackLines &l) { to("back.pdf"); real.Back2624(sheets, l); };
        p.BottleLabels = [=](TppJITPipeline *h, int count) {
            to("labels.pdf");
            return real.BottleLabels(h, count);
        };
        return p;
    }
};
thread_local QString TPdfPrinters::File;

} // namespace

class TestPrintProducts : public QObject
{
    Q_OBJECT
private slots:
    void sheetsAndBatches_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QList<int>>("sizes");
        QTest::addColumn<QStringList>("batches");
        QTest::newRow("twelve fill one sheet") << 12 << "0001" << QList<int>{12} << QStringList{"0001"};
        QTest::newRow("thirteen need two") << 13 << "0001" << QList<int>{12, 1}
                                           << QStringList{"0001", "0002"};
        QTest::newRow("wrap past the maximum") << 30 << "0998" << QList<int>{12, 12, 6}
                                               << QStringList{"0998", "0999", "0001"};
        QTest::newRow("short start is padded") << 3 << "5" << QList<int>{3} << QStringList{"0005"};
        QTest::newRow("empty start is the minimum") << 3 << "" << QList<int>{3} << QStringList{"0001"};
        QTest::newRow("start at the maximum") << 13 << "999" << QList<int>{12, 1}
                                              << QStringList{"0999", "0001"};
        QTest::newRow("exactly two sheets") << 24 << "0010" << QList<int>{12, 12}
                                            << QStringList{"0010", "0011"};
    }
    void sheetsAndBatches()
    {
        QFETCH(int, count);
        QFETCH(QString, start);
        QFETCH(QList<int>, sizes);
        QFETCH(QStringList, batches);

        TArmyUtils profile;
        TListSelection selection;
        selection.Members = Members(count);
        TPrintProducts products(selection, profile);
        products.Inputs.StartingBatch = start;
        products.NumberMembers();

        QCOMPARE(SheetSizes(products.Forms()), sizes);
        QCOMPARE(SheetBatches(products.Forms()), batches);
        VerifyConsecutiveNumbering(products.Forms(), selection.Members);
        QCOMPARE(products.ppForms()->RecordCount, int(sizes.size()));
        QCOMPARE(products.ppFormMembers()->RecordCount, count);
        QCOMPARE(products.ppHistory()->RecordCount, count);
    }

    void rangeComesFromTheInputs()
    {
        // A service that numbers within its own range: the edits set both ends.
        TArmyUtils profile;
        TListSelection selection;
        selection.Members = Members(25);
        TPrintProducts products(selection, profile);
        products.Inputs.BatchStart = QStringLiteral("100");
        products.Inputs.BatchEnd = QStringLiteral("101");
        products.Inputs.StartingBatch = QStringLiteral("101");
        products.NumberMembers();
        QCOMPARE(SheetBatches(products.Forms()), (QStringList{"0101", "0100", "0101"}));
        QCOMPARE(profile.BatchManager->MinBatch, 100);
        QCOMPARE(profile.BatchManager->MaxBatch, 101);
    }

    void groupByGender_data()
    {
        QTest::addColumn<QStringList>("genders");
        QTest::addColumn<bool>("grouped");
        QTest::addColumn<QList<int>>("sizes");
        QTest::newRow("grouped: females then males") << QStringList{"F", "F", "F", "M", "M", "M", "M"}
                                                     << true << QList<int>{3, 4};
        QTest::newRow("not grouped") << QStringList{"F", "F", "F", "M", "M", "M", "M"} << false
                                     << QList<int>{7};
        QTest::newRow("case matters") << QStringList{"F", "F", "f", "M"} << true
                                      << QList<int>{2, 1, 1};
        QTest::newRow("twelve still the limit")
            << (QStringList() << QList<QString>(14, "F") << "M" << "M") << true
            << QList<int>{12, 2, 2};
        QTest::newRow("empty gender is a gender") << QStringList{"M", "", ""} << true
                                                  << QList<int>{1, 2};
    }
    void groupByGender()
    {
        QFETCH(QStringList, genders);
        QFETCH(bool, grouped);
        QFETCH(QList<int>, sizes);

        TArmyUtils profile;
        TListSelection selection;
        for (int i = 0; i < genders.size(); ++i)
            selection.Members.append(Member(QStringLiteral("M%1").arg(i), genders[i]));
        TPrintProducts products(selection, profile);
        products.Inputs.StartingBatch = QStringLiteral("0041");
        products.Inputs.GroupByGender = grouped;
        products.NumberMembers();

        QCOMPARE(SheetSizes(products.Forms()), sizes);
        QStringList expected;
        for (int s = 0; s < sizes.size(); ++s)
            expected.append(QString::number(41 + s).rightJustified(4, QLatin1Char('0')));
        QCOMPARE(SheetBatches(products.Forms()), expected);
        VerifyConsecutiveNumbering(products.Forms(), selection.Members);
    }

    void printTwiceGivesTheSameNumbers()
    {
        TArmyUtils profile;
        TListSelection selection;
        selection.Members = Members(17);
        TPrintProducts products(selection, profile);
        products.Inputs.StartingBatch = QStringLiteral("0998");
        products.Inputs.BottleLabels = true;

        QList<QStringList> seen;
        TProductPrinters printers;
        printers.BottleLabels = [&](TppJITPipeline *history, int count) {
            QStringList numbers;
            for (int i = 0; i < count; ++i)
                numbers << products.HistoryValue(i, "BatchNumber").toString() + "/"
                               + products.HistoryValue(i, "SpecimenNumber").toString();
            seen.append(numbers);
            return history != nullptr;
        };
        products.Print(printers);
        products.Print(printers);
        QCOMPARE(seen.size(), 2);
        QCOMPARE(seen[0], seen[1]);
        QCOMPARE(seen[0].first(), QString("0998/001"));
        QCOMPARE(seen[0].last(), QString("0999/005"));
    }

    void invalidInputsStopBeforeAnything_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("rangeStart");
        QTest::addColumn<QString>("message");
        QTest::newRow("too small") << "0" << "1" << "\"0\" is too small a batch number";
        QTest::newRow("too large") << "1000" << "1" << "\"1000\" is too large a batch number";
        QTest::newRow("not a number") << "12a" << "1" << "\"12a\" is not a valid number";
        QTest::newRow("range edit") << "0001" << "one" << "'one' is not a valid integer value";
    }
    void invalidInputsStopBeforeAnything()
    {
        QFETCH(QString, start);
        QFETCH(QString, rangeStart);
        QFETCH(QString, message);

        TArmyUtils profile;
        TListSelection selection;
        selection.Members = Members(14);
        TPrintProducts products(selection, profile);
        TickAll(products.Inputs);
        TRecorder first;
        products.Print(first.Printers());
        const TForms before = products.Forms();
        const TRosterRecs membersBefore = selection.Members;

        products.Inputs.StartingBatch = start;
        products.Inputs.BatchStart = rangeStart;
        TRecorder recorder;
        try {
            products.Print(recorder.Printers());
            QFAIL("no error raised");
        } catch (const Exception &e) {
            QCOMPARE(e.message(), message);
            const bool isBatchError = dynamic_cast<const BatchValidationException *>(&e) != nullptr;
            QCOMPARE(isBatchError, rangeStart == QLatin1String("1"));
        }
        QVERIFY(recorder.Calls.isEmpty());
        QCOMPARE(SheetBatches(products.Forms()), SheetBatches(before));
        QCOMPARE(SheetSizes(products.Forms()), SheetSizes(before));
        for (int i = 0; i < membersBefore.size(); ++i)
            QCOMPARE(selection.Members[i].SpecimenNumber, membersBefore[i].SpecimenNumber);
    }

    void printSequence()
    {
        TArmyUtils profile;
        TListSelection selection;
        selection.Members = Members(13);
        TPrintProducts products(selection, profile);
        products.Inputs.CollectionDate = QDate(2003, 1, 15);
        TickAll(products.Inputs);
        TRecorder recorder;
        products.Print(recorder.Printers());

        QCOMPARE(recorder.Calls, (QStringList{"NotificationCopy", "WorkingCopy", "TestingRegister",
                                              "Front2624", "Back2624", "BottleLabels"}));
        QCOMPARE(recorder.History, products.ppHistory());
        QCOMPARE(recorder.Forms, products.ppForms());
        QCOMPARE(recorder.FormMembers, products.ppFormMembers());
        QCOMPARE(recorder.SheetCount, 2);
        QCOMPARE(recorder.LabelCount, 13);
        QCOMPARE(recorder.Lines.size(), 1);
        QCOMPARE(recorder.Lines[0].DateTime.date(), QDate(2003, 1, 15));
        QVERIFY(recorder.Lines[0].ReleasedBy.isEmpty());
        QVERIFY(recorder.Lines[0].ReceivedBy.isEmpty());
        QVERIFY(recorder.Lines[0].Remarks.isEmpty());
        // The member pipeline walks under the sheet pipeline, joined on the form index.
        QCOMPARE(products.ppFormMembers()->MasterDataPipeline,
                 static_cast<TppDataPipeline *>(products.ppForms()));
        QCOMPARE(products.ppFormMembers()->MasterFieldLinks.size(), 1);
        const TppMasterFieldLink link = products.ppFormMembers()->MasterFieldLinks.first();
        QCOMPARE(link.MasterFieldName, QString("ID"));
        QCOMPARE(link.DetailFieldName, QString("FormID"));
        QCOMPARE(link.DetailSortOrder, soAscending);
    }

    void concurrentProductsMatchSequential_data()
    {
        QTest::addColumn<int>("members");
        QTest::addColumn<bool>("grouped");
        QTest::addColumn<int>("threads");
        QTest::newRow("several sheets, two threads") << 61 << false << 2;
        QTest::newRow("grouped, a thread per product") << 30 << true << 6;
        QTest::newRow("one member, one thread per core") << 1 << false << 0;
    }
    void concurrentProductsMatchSequential()
    {
        // Each product written on a worker thread over its own pipelines gives the same pages
        // as the products written one after another.
        QFETCH(int, members);
        QFETCH(bool, grouped);
        QFETCH(int, threads);
        TArmyUtils profile;
        TServiceUtils *const before = ServiceUtils;
        ServiceUtils = &profile;
        SetLabelPositionPrompt([](int, QString &position) {
            position = QStringLiteral("3");
            return true;
        });
        SetPreviewHandler([](TppReport &, TppDocument &document) {
            QString error;
            if (!ExportToPdf(document, TPdfPrinters::File, &error))
                throw Exception(error);
        });
        const auto restore = qScopeGuard([before] {
            ServiceUtils = before;
            SetLabelPositionPrompt(nullptr);
            SetPreviewHandler(nullptr);
        });
        TListSelection selection;
        for (int i = 0; i < members; ++i)
            selection.Members.append(Member(QStringLiteral("MEMBER%1, A B.").arg(i), i % 3 ? "M" : "F",
                                            i % 2 ? "PVT" : "SGT", QStringLiteral("9%1").arg(i, 8, 10, QLatin1Char('0')),
                                            QStringLiteral("B CO 1-5 IN")));
        TPrintProducts products(selection, profile);
        products.Inputs.CollectionDate = QDate(2026, 12, 8);
        products.Inputs.BAC = QStringLiteral("HQ");
        products.Inputs.UIC = QStringLiteral("WAB1C");
        products.Inputs.Block1 = QStringLiteral("A CO\n1-5 IN");
        products.Inputs.GroupByGender = grouped;
        TickAll(products.Inputs);

        QTemporaryDir one, many;
        TPdfPrinters sequential{one.path()};
        products.Print(sequential.Printers());
        TPdfPrinters concurrent{many.path()};
        products.PrintConcurrently(concurrent.Printers(), threads);

        QVERIFY(!concurrent.Threads.contains(QThread::currentThread()));
        const QStringList files = QDir(one.path()).entryList(QDir::Files);
        QCOMPARE(files.size(), 6);
        QCOMPARE(QDir(many.path()).entryList(QDir::Files), files);
        for (const QString &name : files) {
            const QList<QByteArray> expected = PdfStreams(QDir(one.path()).filePath(name));
            QVERIFY2(expected.size() > 1, qPrintable(name));
            QVERIFY2(PdfStreams(QDir(many.path()).filePath(name)) == expected, qPrintable(name));
        }
        // Reading the selection stays on the calling thread, and print state is left as it was.
        QCOMPARE(products.ppHistory()->RecordCount, members);
        QCOMPARE(products.HistoryValue(0, "FullName").toString(), selection.Members.first().Name);
    }

    void concurrentFailureRaisesTheFirstInPrintOrder()
    {
        TArmyUtils profile;
        TListSelection selection;
        selection.Members = Members(13);
        TPrintProducts products(selection, profile);
        TickAll(products.Inputs);
        TRecorder recorder;
        recorder.Failing = QStringList{"Front2624", "WorkingCopy"};
        QMutex lock;
        TProductPrinters printers = recorder.Printers();
        // The recorder's list is shared by the tasks.
        auto guarded = [&lock](auto f) {
            return [f, &lock](auto... args) {
                const QMutexLocker hold(&lock);
                return f(args...);
            };
        };
        printers.NotificationCopy = guarded(printers.NotificationCopy);
        printers.WorkingCopy = guarded(printers.WorkingCopy);
        printers.TestingRegister = guarded(printers.TestingRegister);
        printers.Front2624 = guarded(printers.Front2624);
        printers.Back2624 = guarded(printers.Back2624);
        printers.BottleLabels = guarded(printers.BottleLabels);
        try {
            products.PrintConcurrently(printers, 1);
            QFAIL("no error raised");
        } catch (const Exception &e) {
            QCOMPARE(e.message(), QString("WorkingCopy failed"));
        }
        // One at a time, in print order: the failure stops the products not yet started.
        QCOMPARE(recorder.Calls, (QStringList{"NotificationCopy", "WorkingCopy"}));
        QVERIFY(recorder.History != products.ppHistory());
    }

    void onlyTickedProductsPrint()
    {
        TArmyUtils profile;
        TListSelection selection;
        selection.Members = Members(3);
        TPrintProducts products(selection, profile);
        products.Inputs.WorkingCopy = true;
        products.Inputs.Back2624 = true;
        TRecorder recorder;
        products.Print(recorder.Printers());
        QCOMPARE(recorder.Calls, (QStringList{"WorkingCopy", "Back2624"}));
        QCOMPARE(recorder.SheetCount, 1);
    }

    void firstFailingProductStopsTheRest()
    {
        TArmyUtils profile;
        TListSelection selection;
        selection.Members = Members(3);
        TPrintProducts products(selection, profile);
        TickAll(products.Inputs);
        TRecorder recorder;
        recorder.Failing = QStringList{"TestingRegister"};
        try {
            products.Print(recorder.Printers());
            QFAIL("no error raised");
        } catch (const Exception &e) {
            QCOMPARE(e.message(), QString("TestingRegister failed"));
        }
        QCOMPARE(recorder.Calls, (QStringList{"NotificationCopy", "WorkingCopy", "TestingRegister"}));
    }

    void pipelineDefinitions_data()
    {
        QTest::addColumn<QString>("pipeline");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QList<int>>("types");
        const int s = dtString, i = dtInteger, d = dtDateTime;
        QTest::newRow("Forms")
            << "Forms"
            << QStringList{"ID", "DateCollected", "BatchNum", "UIC", "BAC", "DD2624Blk1",
                           "DD2624Blk2", "ServiceDesignator", "locationCode"}
            << QList<int>{i, d, s, s, s, s, s, s, s};
        QTest::newRow("FormMembers")
            << "FormMembers"
            << QStringList{"SpecimenNumber", "SSN", "Premise", "TestInfo", "BatchNumber",
                           "DateCollected", "FullName", "Rank", "FormID"}
            << QList<int>{s, s, s, s, s, d, s, s, i};
        QTest::newRow("History1")
            << "History1"
            << QStringList{"SpecimenNumber", "SSN", "Premise", "TestInfo", "BatchNumber",
                           "DateCollected", "FullName", "Rank", "FullPoolName", "Gender",
                           "LabelVersion", "UIC", "BAC", "Description", "FormID", "DateToCollect"}
            << QList<int>{s, s, s, s, s, d, s, s, s, s, i, s, s, s, i, d};
    }
    void pipelineDefinitions()
    {
        QFETCH(QString, pipeline);
        QFETCH(QStringList, fields);
        QFETCH(QList<int>, types);

        TArmyUtils profile;
        TListSelection selection;
        TPrintProducts products(selection, profile);
        TppJITPipeline *p = nullptr;
        for (TppJITPipeline *candidate :
             {products.ppForms(), products.ppFormMembers(), products.ppHistory()})
            if (candidate->UserName == pipeline)
                p = candidate;
        QVERIFY(p);
        QCOMPARE(p->InitialIndex, 0);
        QCOMPARE(p->Fields.size(), fields.size());
        for (int k = 0; k < fields.size(); ++k) {
            QCOMPARE(p->Fields[k].FieldName, fields[k]);
            QCOMPARE(p->Fields[k].Position, k);
            QCOMPARE(int(p->Fields[k].DataType), types[k]);
            QCOMPARE(p->Fields[k].FieldLength, 10);
        }
    }

    void fieldValues()
    {
        TArmyUtils profile;
        TListSelection selection;
        selection.Premise = QStringLiteral("CO");
        selection.Location = QStringLiteral("GM");
        selection.Members = {
            Member("ADAMS, AL A.", "M", "PVT", "111223333", "HHC 1-5 IN"),
            Member("BAKER, BO B.", "F", "pvt", "444556666", "A CO"),
            Member("CRUZ, CY C.", "M", "SGT", "777889999", "B CO"),
            Member("DIAZ, DI D.", "F", "", "         ", ""),
        };
        for (int i = 0; i < 11; ++i)
            selection.Members.append(Member(QStringLiteral("FILL%1, F.").arg(i), "M", "SPC"));
        TPrintProducts products(selection, profile);
        TPrintInputs &in = products.Inputs;
        in.BAC = QStringLiteral("HQ");
        in.UIC = QStringLiteral("AB1CD");
        in.Block1 = QStringLiteral("LINE ONE\nLINE TWO");
        in.Block2 = QStringLiteral("B2");
        in.CollectionDate = QDate(2003, 1, 15);
        in.StartingBatch = QStringLiteral("0007");
        products.NumberMembers();
        const double serial = double(QDate(1899, 12, 30).daysTo(QDate(2003, 1, 15)));

        // Sheets
        QCOMPARE(products.FormsValue(1, "ID"), QVariant(1));
        QCOMPARE(products.FormsValue(0, "DateCollected").toDouble(), serial);
        QCOMPARE(products.FormsValue(0, "BatchNum").toString(), QString("0007"));
        QCOMPARE(products.FormsValue(1, "batchnum").toString(), QString("0008"));
        QCOMPARE(products.FormsValue(0, "UIC").toString(), QString("AB1CD"));
        QCOMPARE(products.FormsValue(0, "Bac").toString(), QString("HQ"));
        QCOMPARE(products.FormsValue(0, "DD2624Blk1").toString(), QString("LINE ONE\r\nLINE TWO"));
        QCOMPARE(products.FormsValue(0, "dd2624blk2").toString(), QString("B2"));
        QCOMPARE(products.FormsValue(0, "ServiceDesignator").toString(), QString("W"));
        QCOMPARE(products.FormsValue(0, "LOCATIONCODE").toString(), QString("GM"));
        QCOMPARE(products.FormsValue(0, "Nonsense"), QVariant(QString()));

        // Members under a sheet: the batch is that of the master's current sheet.
        QCOMPARE(products.FormMembersValue(0, 0, "SpecimenNumber").toString(), QString("001"));
        QCOMPARE(products.FormMembersValue(12, 1, "specimennumber").toString(), QString("001"));
        QCOMPARE(products.FormMembersValue(0, 0, "SSN").toString(), QString("111223333"));
        QCOMPARE(products.FormMembersValue(3, 0, "SSN").toString(), QString("         "));
        QCOMPARE(products.FormMembersValue(0, 0, "Premise").toString(), QString("CO"));
        QCOMPARE(products.FormMembersValue(0, 0, "BatchNumber").toString(), QString("0007"));
        QCOMPARE(products.FormMembersValue(0, 1, "BatchNumber").toString(), QString("0008"));
        QCOMPARE(products.FormMembersValue(2, 0, "DateCollected").toDouble(), serial);
        QCOMPARE(products.FormMembersValue(1, 0, "FullName").toString(), QString("BAKER, BO B."));
        QCOMPARE(products.FormMembersValue(1, 0, "Rank").toString(), QString("pvt"));
        QCOMPARE(products.FormMembersValue(12, 1, "FormID"), QVariant(1));
        QCOMPARE(products.FormMembersValue(0, 0, "FullPoolName"), QVariant(QString()));

        // The personnel list: the batch is that of the member's own sheet.
        QCOMPARE(products.HistoryValue(14, "BatchNumber").toString(), QString("0008"));
        QCOMPARE(products.HistoryValue(14, "SpecimenNumber").toString(), QString("003"));
        QCOMPARE(products.HistoryValue(0, "FullPoolName").toString(), QString("HHC 1-5 IN"));
        QCOMPARE(products.HistoryValue(0, "Description").toString(), QString("HHC 1-5 IN"));
        QCOMPARE(products.HistoryValue(1, "description").toString(), QString("A CO"));
        QCOMPARE(products.HistoryValue(1, "Gender").toString(), QString("F"));
        QCOMPARE(products.HistoryValue(1, "LabelVersion"), QVariant(0));
        QCOMPARE(products.HistoryValue(1, "UIC").toString(), QString("AB1CD"));
        QCOMPARE(products.HistoryValue(1, "BAC").toString(), QString("HQ"));
        QCOMPARE(products.HistoryValue(2, "DateCollected").toDouble(), serial);
        QCOMPARE(products.HistoryValue(2, "DateToCollect").toDouble(), serial);
        QCOMPARE(products.HistoryValue(2, "Premise").toString(), QString("CO"));
        QCOMPARE(products.HistoryValue(13, "FormID"), QVariant(1));
        QCOMPARE(products.HistoryValue(2, "SSN").toString(), QString("777889999"));
        QCOMPARE(products.HistoryValue(2, "FullName").toString(), QString("CRUZ, CY C."));
        QCOMPARE(products.HistoryValue(2, "RANK").toString(), QString("SGT"));
        QCOMPARE(products.HistoryValue(2, "Unknown"), QVariant(QString()));

        // Test information: junior ranks, in any case, are grade 1.
        const QStringList letters{"A", "A", "B", "B"};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(products.HistoryValue(i, "TESTINFO").toString(), letters[i]);
            QCOMPARE(products.FormMembersValue(i, 0, "TestInfo").toString(), letters[i]);
        }
        QCOMPARE(products.HistoryValue(4, "TestInfo").toString(), QString("A"));   // SPC
    }

    void testInfoFollowsTheProfile()
    {
        TServiceUtils profile;   // a profile without test information letters
        TListSelection selection;
        selection.Members = {Member("A, B.", "M", "PVT"), Member("C, D.", "M", "COL")};
        TPrintProducts products(selection, profile);
        products.NumberMembers();
        QCOMPARE(products.HistoryValue(0, "TestInfo"), QVariant(QString()));
        QCOMPARE(products.HistoryValue(1, "TestInfo"), QVariant(QString()));
        QCOMPARE(products.FormsValue(0, "ServiceDesignator"), QVariant(QString()));
    }

    void pipelinesAnswerAtTheirCurrentRecords()
    {
        TArmyUtils profile;
        TListSelection selection;
        selection.Members = Members(14);
        selection.Members[13].Rank = QStringLiteral("PFC");
        TPrintProducts products(selection, profile);
        products.Inputs.CollectionDate = QDate(2026, 12, 8);
        products.Inputs.StartingBatch = QStringLiteral("0041");
        products.NumberMembers();
        TppJITPipeline *forms = products.ppForms();
        TppJITPipeline *members = products.ppFormMembers();
        TppJITPipeline *history = products.ppHistory();
        for (TppJITPipeline *p : {forms, members, history})
            p->Open();

        forms->SetRecordIndex(1);
        members->SetRecordIndex(13);
        history->SetRecordIndex(13);
        QCOMPARE(forms->GetFieldAsString("batchNUM"), QString("0042"));
        QCOMPARE(forms->GetFieldValue("ID"), QVariant(1));
        QCOMPARE(forms->GetFieldAsDouble("ID"), 1.0);
        QCOMPARE(forms->GetFieldAsDouble("BatchNum"), 42.0);
        QCOMPARE(members->GetFieldAsString("SpecimenNumber"), QString("002"));
        QCOMPARE(members->GetFieldAsString("BatchNumber"), QString("0042"));
        QCOMPARE(members->GetFieldAsString("FormID"), QString("1"));
        QCOMPARE(history->GetFieldAsString("TestInfo"), QString("A"));
        const double serial = double(QDate(1899, 12, 30).daysTo(QDate(2026, 12, 8)));
        QCOMPARE(history->GetFieldAsDouble("DateToCollect"), serial);
        QCOMPARE(history->GetFieldAsString("DateCollected"), QString::number(serial, 'g', 17));
        QCOMPARE(history->GetFieldAsString("nothing"), QString());
        QCOMPARE(history->GetFieldAsDouble("FullName"), 0.0);

        // The batch under a sheet follows the sheet pipeline, not the member's own sheet.
        forms->SetRecordIndex(0);
        QCOMPARE(members->GetFieldAsString("BatchNumber"), QString("0041"));
        QCOMPARE(history->GetFieldAsString("BatchNumber"), QString("0042"));
    }

    void membersAreReadOncePerRecord()
    {
        TArmyUtils profile;
        TListSelection selection;
        selection.Members = Members(5);
        TPrintProducts products(selection, profile);
        products.NumberMembers();
        TppJITPipeline *history = products.ppHistory();
        history->Open();
        history->SetRecordIndex(3);
        selection.Reads = 0;
        for (const char *f : {"SSN", "FullName", "Rank", "Gender", "FormID", "SpecimenNumber"})
            history->GetFieldAsString(QLatin1String(f));
        QCOMPARE(selection.Reads, 1);
        // A new print run reads the members afresh.
        selection.Members[3].Name = QStringLiteral("CHANGED, C.");
        products.NumberMembers();
        history->Open();
        history->SetRecordIndex(3);
        QCOMPARE(history->GetFieldAsString("FullName"), QString("CHANGED, C."));
    }

    void numbersAMemberListDirectly()
    {
        // A program without pages prints from the member list itself.
        TArmyUtils profile;
        TMemberList list;
        TRosterRecs roster;
        for (const char *name : {"DELTA, D.", "ALPHA, A.", "CHARLIE, C.", "BRAVO, B."})
            roster.append(Member(QLatin1String(name)));
        list.LoadMembers(roster);   // sorted by name
        list.SelectMember(0);       // DELTA
        list.SelectMember(2);       // CHARLIE
        TMemberListSelection selection(list, QStringLiteral("IU"), QStringLiteral("KS"));
        TPrintProducts products(selection, profile);
        products.Inputs.StartingBatch = QStringLiteral("0003");
        products.NumberMembers();
        QCOMPARE(products.ppHistory()->RecordCount, 2);
        QCOMPARE(products.HistoryValue(0, "FullName").toString(), QString("CHARLIE, C."));
        QCOMPARE(products.HistoryValue(1, "FullName").toString(), QString("DELTA, D."));
        QCOMPARE(products.HistoryValue(1, "SpecimenNumber").toString(), QString("002"));
        QCOMPARE(products.HistoryValue(1, "Premise").toString(), QString("IU"));
        QCOMPARE(products.FormsValue(0, "LocationCode").toString(), QString("KS"));
        QCOMPARE(list.Members[0].SpecimenNumber, QString("002"));   // DELTA, in roster order
        QCOMPARE(list.Members[2].SpecimenNumber, QString("001"));
        QVERIFY(list.Members[1].SpecimenNumber.isEmpty());
    }

    // Numbering completes the draw's record: every member keeps its own roster row, also
    // namesakes that grouping by gender moves past each other.
    void recordRowsFollowTheMembers()
    {
        TArmyUtils profile;
        TMemberList list;
        TRosterRecs roster;
        for (int i = 0; i < 40; ++i)
            roster.append(Member(QStringLiteral("DOE, J%1.").arg(i % 3), i % 4 == 1 ? "F" : "M", "SGT",
                                 QStringLiteral("1234567%1").arg(i, 2, 10, QLatin1Char('0'))));
        list.LoadMembers(roster);
        list.SelectAll();
        ResetSelectionRecords();
        SetCurrentSelectionRecord(MakeSelectionRecord(TRosterSource{}, list, "IU", "US", dmUnitSweep, QString()));
        list.SetGroupByGender(true);
        TMemberListSelection selection(list, QStringLiteral("IU"), QStringLiteral("US"));
        TPrintProducts products(selection, profile);
        products.Inputs.GroupByGender = true;
        products.NumberMembers();
        const TSelectionRecord *record = CurrentSelectionRecord();
        QVERIFY(record);
        QCOMPARE(record->Members.size(), 40);
        QSet<int> rows;
        for (int n = 0; n < 40; ++n) {
            const TRecordMember &m = record->Members.at(n);
            QVERIFY(m.Row >= 1 && m.Row <= 40);
            rows.insert(m.Row);
            // the row is the member's: its SSN is the one listed at this place
            QCOMPARE(list.Members.at(m.Row - 1).SSN, list.GetSelectedMember(n).SSN);
            QCOMPARE(m.SpecimenNumber, list.GetSelectedMember(n).SpecimenNumber);
        }
        QCOMPARE(rows.size(), 40);

        // A selection that does not know rows: they follow the names, namesakes in turn.
        TListSelection fake;
        fake.Members = {Member("B"), Member("A"), Member("B")};
        TSelectionRecord drawn;
        drawn.SelectedCount = 3;
        drawn.Members = {TRecordMember{{}, {}, "A", 7}, TRecordMember{{}, {}, "B", 5}, TRecordMember{{}, {}, "B", 9}};
        ResetSelectionRecords();
        SetCurrentSelectionRecord(drawn);
        TPrintProducts byName(fake, profile);
        byName.NumberMembers();
        QList<int> got;
        for (const TRecordMember &m : CurrentSelectionRecord()->Members)
            got << m.Row;
        QCOMPARE(got, (QList<int>{5, 7, 9}));
        ResetSelectionRecords();
    }

    void roundingHalvesToEven_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("rounded");
        QTest::newRow("0.5") << 0.5 << 0;
        QTest::newRow("1.5") << 1.5 << 2;
        QTest::newRow("2.5") << 2.5 << 2;
        QTest::newRow("17.5") << 17.5 << 18;
        QTest::newRow("10.5") << 10.5 << 10;
        QTest::newRow("2.49") << 2.49 << 2;
        QTest::newRow("2.51") << 2.51 << 3;
        QTest::newRow("-2.5") << -2.5 << -2;
        QTest::newRow("-1.5") << -1.5 << -2;
    }
    void roundingHalvesToEven()
    {
        QFETCH(double, value);
        QFETCH(int, rounded);
        QCOMPARE(RoundHalfEven(value), rounded);
    }

    void productBoxLayout()
    {
        // 90 / 6 = 15 per box: first top round(10.5) = 10, step round(2.25) + 10 = 12.
        QCOMPARE(ProductBoxTops(90, 6), (QList<int>{10, 22, 34, 46, 58, 70}));
        // 150 / 6 = 25: first round(17.5) = 18, step round(3.75) + 18 = 22.
        QCOMPARE(ProductBoxTops(150, 6), (QList<int>{18, 40, 62, 84, 106, 128}));
        QVERIFY(ProductBoxTops(100, 0).isEmpty());
    }
};

CORVANE_TEST(TestPrintProducts)
#include "tst_printproducts.moc"

// Plain list reports for each product: one line of data texts per record, so that every
// product prints real pages from its pipelines. The report forms replace them.
#include "products/PrintProducts.h"

#include "app/ServiceUtilsUnit.h"
#include "report/ReportModel.h"

namespace {

struct Column
{
    const char *field;
    int width;
};

std::unique_ptr<TppReport> listReport(const QString &title, TppDataPipeline *pipeline,
                                      std::initializer_list<Column> columns,
                                      TppOrientation orientation = poPortrait)
{
    auto report = std::make_unique<TppReport>();
    report->PrinterSetup.Orientation = orientation;
    report->SetDataPipeline(pipeline);
    addLabel(report->Header(), QStringLiteral("lblTitle"), 0, 0, 150000, 6000, title,
             ppFont(QStringLiteral("Arial"), 12, fsBold));
    report->Header()->mmHeight = 9000;
    report->Detail()->mmHeight = 5000;
    int left = 0;
    for (const Column &c : columns) {
        addDBText(report->Detail(), QStringLiteral("txt%1").arg(QLatin1String(c.field)), left, 500,
                  c.width, 4000, QLatin1String(c.field), ppFont(QStringLiteral("Arial"), 9));
        left += c.width + 2000;
    }
    return report;
}

void printHistoryList(const QString &title, TppJITPipeline *history)
{
    auto report = listReport(title, history,
                             {{"FullName", 60000}, {"SSN", 25000}, {"Rank", 12000},
                              {"BatchNumber", 14000}, {"SpecimenNumber", 14000}});
    report->Print();
}

} // namespace

TProductPrinters DefaultProductPrinters()
{
    TProductPrinters p;
    p.NotificationCopy = [](TppJITPipeline *history) {
        printHistoryList(QStringLiteral("Personnel To Be Tested (Notification Copy)"), history);
    };
    p.WorkingCopy = [](TppJITPipeline *history) {
        printHistoryList(QStringLiteral("Personnel To Be Tested (Working Copy)"), history);
    };
    p.TestingRegister = [](TppJITPipeline *history) {
        printHistoryList(QStringLiteral("Testing Register"), history);
    };
    p.Front2624 = [](TppJITPipeline *forms, TppJITPipeline *formMembers) {
        auto report = listReport(QStringLiteral("DD Form 2624"), forms,
                                 {{"BatchNum", 15000}, {"BAC", 12000}, {"UIC", 12000},
                                  {"locationCode", 10000}},
                                 poLandscape);
        // One page per sheet, its members below the sheet's line.
        report->AddGroup(QStringLiteral("Group1"), QStringLiteral("ID"), btDataField, true);
        report->Detail()->PrintHeight = phDynamic;
        report->Detail()->mmHeight = 12000;
        TppSubReport *members = addSubReport(report->Detail(), QStringLiteral("srHistory"), 0, 6000,
                                             200000, 5000);
        members->SetDataPipeline(formMembers);
        TppChildReport *child = members->Report();
        child->Detail()->mmHeight = 5000;
        int left = 5000;
        for (const Column &c : {Column{"SpecimenNumber", 14000}, Column{"SSN", 25000},
                                Column{"FullName", 60000}, Column{"TestInfo", 8000}}) {
            addDBText(child->Detail(), QStringLiteral("txt%1").arg(QLatin1String(c.field)), left,
                      500, c.width, 4000, QLatin1String(c.field), ppFont(QStringLiteral("Arial"), 9));
            left += c.width + 2000;
        }
        report->Print();
    };
    p.Back2624 = [](int sheetCount, const TDD2624BackLines &lines) {
        const int perSheet = ServiceUtils ? ServiceUtils->CustodyLinesPerForm : 2;
        TppJITPipeline pipeline(QStringLiteral("JITPipeline"));
        pipeline.AddField(QStringLiteral("FormID"), dtInteger, 10);
        pipeline.AddField(QStringLiteral("Date"), dtString, 10);
        pipeline.AddField(QStringLiteral("Released"), dtString, 10);
        pipeline.RecordCount = sheetCount * perSheet;
        pipeline.OnGetFieldValue = [&pipeline, &lines, perSheet](const QString &field) -> QVariant {
            const int record = pipeline.RecordIndex();
            const int line = perSheet > 0 ? record % perSheet : 0;
            const QString f = field.toUpper();
            if (f == QLatin1String("FORMID"))
                return perSheet > 0 ? record / perSheet : 0;
            if (line >= lines.size())
                return QString();
            if (f == QLatin1String("DATE"))
                return lines.at(line).DateTime.date().toString(QStringLiteral("yyMMdd"));
            if (f == QLatin1String("RELEASED"))
                return lines.at(line).ReleasedBy;
            return QString();
        };
        auto report = listReport(QStringLiteral("DD Form 2624 (Back Side)"), &pipeline,
                                 {{"Date", 20000}, {"Released", 60000}}, poLandscape);
        report->AddGroup(QStringLiteral("Group1"), QStringLiteral("FormID"), btDataField, true);
        report->AutoStop = false;
        report->Print();
    };
    p.BottleLabels = [](TppJITPipeline *history, int) {
        auto report = listReport(QStringLiteral("Bottle Labels"), history,
                                 {{"SpecimenNumber", 14000}, {"BatchNumber", 14000},
                                  {"FullName", 60000}, {"SSN", 25000}});
        report->Print();
        return report->DeviceType == QLatin1String("Printer");
    };
    return p;
}

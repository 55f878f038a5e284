#include "report/Engine.h"

#include <QFontMetricsF>
#include <QMap>
#include <QPrinter>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <cmath>
#include <stdexcept>

// ---------------------------------------------------------------- generator

class TppGenerator : public TppChildGenerator
{
public:
    TppGenerator(TppReport &report, TppDeviceKind device) : R(report)
    {
        ctx.Report = &report;
        ctx.Device = device;
        ctx.Generator = this;
        ctx.PrintDateTime = report.PrintDateTime;
    }

    TppDocument Run();
    int GenerateChild(TppChildReport *child, int x, int y, std::vector<TppDrawCommandPtr> &out,
                      int &details) override;

private:
    struct BandOut
    {
        int height = 0;
        bool printed = false;
        std::vector<TppDrawCommandPtr> commands;
    };
    BandOut renderBand(TppBand *band);
    void putBand(BandOut &b, int x, int y);
    void startPage();
    void endPage();
    void startColumn(bool firstOnPage);
    void endColumn();
    void nextColumn();
    int columnX() const;
    int flowBottom() const;
    void placeFlow(TppBand *band);   // a band in the column flow, breaking when it does not fit
    void openPipeline(TppDataPipeline *p);
    QList<int> detailRecords(TppDataPipeline *detail);

    TppReport &R;
    TppPrintContext ctx;
    TppDocument doc;
    TppPage *page = nullptr;
    int y = 0;
    int columnTop = 0;
    int columnIndex = 0;
    int columns = 1;
    QList<int> positions;
    int columnWidth = 0;
    bool bandsInColumn = false;
    bool bandsOnPage = false;
    QList<TppDataPipeline *> opened;
    QHash<TppDataPipeline *, int> detailCursor;
};

TppGenerator::BandOut TppGenerator::renderBand(TppBand *band)
{
    BandOut out;
    if (!band)
        return out;
    if (band->BeforePrint)
        band->BeforePrint();
    if (!band->Visible)
        return out;
    out.printed = true;
    const bool dynamic = band->PrintHeight == phDynamic;
    QHash<TppComponent *, int> growth;   // how far a component grew or moved down
    int maxGrowth = 0;
    // Components that shift with another print after it (and after its OnPrint).
    std::vector<TppComponent *> order;
    for (const auto &c : band->Components())
        if (!c->ShiftRelativeTo)
            order.push_back(c.get());
    for (int pass = 0; pass < 8 && order.size() < band->Components().size(); ++pass)
        for (const auto &c : band->Components())
            if (c->ShiftRelativeTo && std::find(order.begin(), order.end(), c.get()) == order.end()
                && std::find(order.begin(), order.end(), c->ShiftRelativeTo) != order.end())
                order.push_back(c.get());
    for (TppComponent *c : order) {
        if (c->OnPrint)
            c->OnPrint();
        int shift = 0;
        if (c->ShiftRelativeTo)
            shift = growth.value(c->ShiftRelativeTo, 0);
        if (!c->Visible) {
            growth[c] = shift;
            continue;
        }
        int h = c->mmHeight;
        c->Generate(ctx, c->mmLeft, c->mmTop + shift, h, out.commands);
        const int grew = dynamic && c->Stretches() ? h - c->mmHeight : 0;
        growth[c] = shift + grew;
        maxGrowth = std::max(maxGrowth, shift + grew);
    }
    out.height = dynamic ? std::max(0, band->mmHeight + maxGrowth) : band->mmHeight;
    for (auto &cmd : out.commands)
        cmd->BandName = band->UserName;
    ++band->DetailCount;
    if (band->AfterPrint)
        band->AfterPrint();
    return out;
}

void TppGenerator::putBand(BandOut &b, int x, int yy)
{
    for (auto &cmd : b.commands) {
        cmd->Translate(x, yy);
        page->Commands.push_back(std::move(cmd));
    }
    b.commands.clear();
}

int TppGenerator::columnX() const
{
    if (columnIndex < positions.size())
        return positions[columnIndex];
    return R.PrinterSetup.mmMarginLeft + columnIndex * columnWidth;
}

int TppGenerator::flowBottom() const
{
    int bottom = R.PrinterSetup.PageHeight() - R.PrinterSetup.mmMarginBottom;
    if (R.HasBand(bkFooter) && R.BandOf(bkFooter)->Visible)
        bottom -= R.BandOf(bkFooter)->mmHeight;
    if (R.HasBand(bkColumnFooter) && R.BandOf(bkColumnFooter)->Visible)
        bottom -= R.BandOf(bkColumnFooter)->mmHeight;
    return bottom;
}

void TppGenerator::startPage()
{
    const TppPrinterSetup &ps = R.PrinterSetup;
    ++R.PageNo;
    ctx.PageNo = R.PageNo;
    doc.Pages.emplace_back();
    page = &doc.Pages.back();
    page->PageNo = R.PageNo;
    page->mmWidth = ps.PageWidth();
    page->mmHeight = ps.PageHeight();
    page->Landscape = ps.Orientation == poLandscape;
    if (R.OnStartPage)
        R.OnStartPage();
    columns = std::max(1, R.Columns);
    positions = R.ColumnPositions.mid(0, columns);
    columnWidth = R.mmColumnWidth > 0 ? R.mmColumnWidth : ps.PrintableWidth() / columns;
    columnIndex = 0;
    bandsOnPage = false;

    if (R.HasBand(bkPageStyle)) {
        BandOut b = renderBand(R.BandOf(bkPageStyle));
        putBand(b, ps.mmMarginLeft, ps.mmMarginTop);
    }
    y = ps.mmMarginTop;
    if (R.HasBand(bkHeader)) {
        BandOut b = renderBand(R.BandOf(bkHeader));
        putBand(b, ps.mmMarginLeft, y);
        y += b.height;
    }
    columnTop = y;
    startColumn(true);
}

void TppGenerator::startColumn(bool firstOnPage)
{
    y = columnTop;
    bandsInColumn = false;
    if (R.HasBand(bkColumnHeader)) {
        BandOut b = renderBand(R.BandOf(bkColumnHeader));
        putBand(b, columnX(), y);
        y += b.height;
    }
    // The detail band's print position places the first band of a page (from the paper's top);
    // 0 or less keeps the normal flow.
    if (firstOnPage && R.HasBand(bkDetail)) {
        const int pp = R.BandOf(bkDetail)->mmPrintPosition;
        if (pp > 0)
            y = std::max(y, pp);
    }
}

void TppGenerator::endColumn()
{
    if (R.HasBand(bkColumnFooter)) {
        BandOut b = renderBand(R.BandOf(bkColumnFooter));
        putBand(b, columnX(), flowBottom());
    }
}

void TppGenerator::endPage()
{
    endColumn();
    if (R.HasBand(bkFooter)) {
        BandOut b = renderBand(R.BandOf(bkFooter));
        const TppPrinterSetup &ps = R.PrinterSetup;
        putBand(b, ps.mmMarginLeft, ps.PageHeight() - ps.mmMarginBottom - b.height);
    }
    if (R.OnEndPage)
        R.OnEndPage();
}

void TppGenerator::nextColumn()
{
    endColumn();
    if (columnIndex + 1 < columns) {
        ++columnIndex;
        startColumn(false);
    } else {
        endPage();
        startPage();
    }
}

void TppGenerator::placeFlow(TppBand *band)
{
    BandOut b = renderBand(band);
    if (!b.printed)
        return;
    if (y + b.height > flowBottom() && bandsInColumn)
        nextColumn();
    putBand(b, columnX(), y);
    y += b.height;
    bandsInColumn = true;
    bandsOnPage = true;
}

void TppGenerator::openPipeline(TppDataPipeline *p)
{
    if (!p)
        return;
    if (!opened.contains(p)) {
        opened.append(p);
        p->Open();
    }
}

TppDocument TppGenerator::Run()
{
    for (TppBand *b : R.AllBands())
        b->DetailCount = 0;
    R.PageNo = 0;
    doc.DocumentName = R.PrinterSetup.DocumentName;
    TppDataPipeline *p = R.DataPipeline;
    openPipeline(p);
    if (p)
        p->First();
    startPage();
    if (R.HasBand(bkTitle))
        placeFlow(R.BandOf(bkTitle));

    const auto &groups = R.Groups();
    QStringList values;
    bool first = true;
    int previous = -1;   // record of the last detail band
    const bool empty = p && p->IsEmpty();
    while (!empty) {
        QStringList now;
        for (const auto &g : groups)
            now.append(g->BreakValue());
        int breakAt = -1;
        if (first) {
            breakAt = 0;
        } else {
            for (int i = 0; i < int(groups.size()); ++i)
                if (now[i] != values[i]) {
                    breakAt = i;
                    break;
                }
        }
        if (breakAt >= 0 && !groups.empty()) {
            if (!first) {
                // A footer closes its group: it sees the group's last record, not the next one.
                const int current = p ? p->RecordIndex() : -1;
                if (p)
                    p->SetRecordIndex(previous);
                for (int i = int(groups.size()) - 1; i >= breakAt; --i)
                    placeFlow(groups[i]->Footer());
                if (p)
                    p->SetRecordIndex(current);
            }
            for (int i = breakAt; i < int(groups.size()); ++i) {
                if (groups[i]->NewPage && bandsOnPage && !first) {
                    endPage();
                    startPage();
                }
                placeFlow(groups[i]->Header());
            }
        }
        values = now;
        first = false;
        if (R.HasBand(bkDetail))
            placeFlow(R.BandOf(bkDetail));
        if (!p)
            break;   // without a pipeline the detail band prints once
        previous = p->RecordIndex();
        p->Next();
        if (p->Eof())
            break;
    }
    if (!first)
        for (int i = int(groups.size()) - 1; i >= 0; --i)
            placeFlow(groups[i]->Footer());
    if (R.HasBand(bkSummary))
        placeFlow(R.BandOf(bkSummary));
    endPage();
    for (TppDataPipeline *op : opened)
        op->Close();
    return std::move(doc);
}

static bool lessThanValue(const QString &a, const QString &b)
{
    bool okA = false, okB = false;
    const double da = a.trimmed().toDouble(&okA);
    const double db = b.trimmed().toDouble(&okB);
    if (okA && okB)
        return da < db;
    return a < b;
}

// The detail records of the master's current record: the program supplies them grouped by the
// link value in ascending order, so a forward cursor finds each group; a value found behind
// the cursor is searched again from the first record.
QList<int> TppGenerator::detailRecords(TppDataPipeline *detail)
{
    QList<int> result;
    const TppMasterFieldLink &link = detail->MasterFieldLinks.first();
    TppDataPipeline *master = detail->MasterDataPipeline;
    const QString key = master->IsEmpty() ? QString() : master->GetFieldAsString(link.MasterFieldName);
    if (detail->IsEmpty())
        return result;
    auto scanFrom = [&](bool fromFirst) {
        if (fromFirst)
            detail->First();
        else
            detail->SetRecordIndex(detailCursor.value(detail, detail->RecordIndex()));
        if (!fromFirst && detail->Eof())
            return;
        while (true) {
            const QString v = detail->GetFieldAsString(link.DetailFieldName);
            if (v == key)
                result.append(detail->RecordIndex());
            else if (!result.isEmpty())
                break;
            else if (!fromFirst && lessThanValue(key, v))
                break;   // passed where the group would be
            const int before = detail->RecordIndex();
            detail->Next();
            if (detail->Eof() || detail->RecordIndex() == before) {
                detailCursor[detail] = INT_MAX;
                return;
            }
        }
        detailCursor[detail] = detail->RecordIndex();
    };
    if (detailCursor.contains(detail))
        scanFrom(false);
    if (result.isEmpty())
        scanFrom(true);
    return result;
}

int TppGenerator::GenerateChild(TppChildReport *child, int x, int yy, std::vector<TppDrawCommandPtr> &out,
                                int &details)
{
    details = 0;
    TppDataPipeline *p = child->DataPipeline;
    int h = 0;
    auto stack = [&](TppBand *band) {
        BandOut b = renderBand(band);
        if (!b.printed)
            return;
        for (auto &cmd : b.commands) {
            cmd->Translate(x, yy + h);
            out.push_back(std::move(cmd));
        }
        h += b.height;
    };
    if (child->HasBand(bkTitle))
        stack(child->BandOf(bkTitle));
    QList<int> records;
    bool walkAll = true;
    if (p) {
        openPipeline(p);
        if (p->MasterDataPipeline && !p->MasterFieldLinks.isEmpty()) {
            records = detailRecords(p);
            walkAll = false;
        }
    }
    const auto &groups = child->Groups();
    QStringList values;
    bool first = true;
    int previous = -1;   // record of the last detail band, which a group footer shows
    auto printRecord = [&]() {
        QStringList now;
        for (const auto &g : groups)
            now.append(g->BreakValue());
        int breakAt = first ? 0 : -1;
        if (!first)
            for (int i = 0; i < int(groups.size()); ++i)
                if (now[i] != values[i]) {
                    breakAt = i;
                    break;
                }
        if (breakAt >= 0 && !groups.empty()) {
            if (!first) {
                const int current = p ? p->RecordIndex() : -1;
                if (p)
                    p->SetRecordIndex(previous);
                for (int i = int(groups.size()) - 1; i >= breakAt; --i)
                    stack(groups[i]->Footer());
                if (p)
                    p->SetRecordIndex(current);
            }
            for (int i = breakAt; i < int(groups.size()); ++i)
                stack(groups[i]->Header());
        }
        values = now;
        first = false;
        if (child->HasBand(bkDetail)) {
            stack(child->BandOf(bkDetail));
            ++details;
        }
        if (p)
            previous = p->RecordIndex();
    };
    if (!p) {
        printRecord();
    } else if (!walkAll) {
        for (int index : records) {
            p->SetRecordIndex(index);
            printRecord();
        }
    } else if (!p->IsEmpty()) {
        p->First();
        while (true) {
            printRecord();
            p->Next();
            if (p->Eof())
                break;
        }
    }
    if (!first)
        for (int i = int(groups.size()) - 1; i >= 0; --i)
            stack(groups[i]->Footer());
    if (child->HasBand(bkSummary))
        stack(child->BandOf(bkSummary));
    return h;
}

// ---------------------------------------------------------------- report

TppReport::TppReport() = default;
TppReport::~TppReport() = default;

TppDocument TppReport::GeneratePages()
{
    PrintDateTime = QDateTime::currentDateTime();
    if (BeforePrint)
        BeforePrint();
    const TppDeviceKind device = DeviceType.compare(QLatin1String("Printer"), Qt::CaseInsensitive) == 0
                                     ? TppDeviceKind::Printer
                                     : TppDeviceKind::Screen;
    TppGenerator gen(*this, device);
    TppDocument doc = gen.Run();
    if (AfterPrint)
        AfterPrint();
    return doc;
}

namespace {
TppPreviewHandler &previewHandlerRef()
{
    static TppPreviewHandler h;
    return h;
}
TppPrinterHandler &printerHandlerRef()
{
    static TppPrinterHandler h;
    return h;
}
}

void SetPreviewHandler(TppPreviewHandler handler) { previewHandlerRef() = std::move(handler); }
TppPreviewHandler PreviewHandler() { return previewHandlerRef(); }
void SetPrinterHandler(TppPrinterHandler handler) { printerHandlerRef() = std::move(handler); }
TppPrinterHandler PrinterHandler() { return printerHandlerRef(); }

void TppReport::Print()
{
    const bool toPrinter = DeviceType.compare(QLatin1String("Printer"), Qt::CaseInsensitive) == 0;
    TppDocument doc = GeneratePages();
    if (toPrinter) {
        if (printerHandlerRef())
            printerHandlerRef()(*this, doc);
        else {
            QPrinter printer(QPrinter::HighResolution);
            PrintToPrinter(doc, printer);
        }
        return;
    }
    if (OnPreviewFormCreate)
        OnPreviewFormCreate();
    if (previewHandlerRef())
        previewHandlerRef()(*this, doc);
    else if (!PrintFileName.isEmpty()) {
        QString error;
        if (!ExportToPdf(doc, PrintFileName, &error))
            throw std::runtime_error(QStringLiteral("Cannot write '%1': %2").arg(PrintFileName, error).toStdString());
    }
}

// ---------------------------------------------------------------- registry

namespace {
QMap<QString, TppComponentClass> &componentClasses()
{
    static QMap<QString, TppComponentClass> m;
    return m;
}
QMap<QString, std::function<TppDrawCommandPtr()>> &drawCommandClasses()
{
    static QMap<QString, std::function<TppDrawCommandPtr()>> m;
    return m;
}
}

void ppRegisterComponent(const TppComponentClass &componentClass)
{
    componentClasses()[componentClass.ClassName] = componentClass;
}
void ppUnRegisterComponent(const QString &className) { componentClasses().remove(className); }
const TppComponentClass *ppFindComponentClass(const QString &className)
{
    auto it = componentClasses().constFind(className);
    return it == componentClasses().constEnd() ? nullptr : &it.value();
}
QList<TppComponentClass> ppRegisteredComponents() { return componentClasses().values(); }
void ppRegisterDrawCommand(const QString &className, std::function<TppDrawCommandPtr()> create)
{
    drawCommandClasses()[className] = std::move(create);
}
void ppUnRegisterDrawCommand(const QString &className) { drawCommandClasses().remove(className); }
TppDrawCommandPtr ppCreateDrawCommand(const QString &className)
{
    auto it = drawCommandClasses().constFind(className);
    return it == drawCommandClasses().constEnd() ? nullptr : it.value()();
}

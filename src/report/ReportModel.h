#pragma once
// The report model: a report with its printer setup, bands and positioned components, bound at
// run time to data pipelines. Every position and size is in thousandths of a millimetre.
//
// Layouts are written with the builder helpers at the end of this file, e.g.
//   auto *lbl = addLabel(report->Header(), "lblTitle", 1000, 2000, 50000, 4500, "Title",
//                        ppFont("Arial", 12, fsBold));
#include "report/DrawCommands.h"
#include "report/Pipeline.h"

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class TppBand;
class TppCustomReport;
class TppReport;
class TppGroup;
class TppPrintContext;

enum TppPrintHeight { phStatic, phDynamic };
enum TppOrientation { poPortrait, poLandscape };
enum TppBandKind { bkHeader, bkTitle, bkColumnHeader, bkGroupHeader, bkDetail, bkGroupFooter,
                   bkColumnFooter, bkSummary, bkFooter, bkPageStyle };
enum TppBreakType { btDataField, btCustomField };

// ---------------------------------------------------------------- components

class TppComponent
{
public:
    virtual ~TppComponent() = default;
    virtual QString ClassName() const = 0;

    QString UserName;
    TppBand *Band = nullptr;
    int mmLeft = 0, mmTop = 0, mmWidth = 0, mmHeight = 0;
    bool Visible = true;
    bool Transparent = true;
    // A component placed below a stretching component moves down as far as it grew.
    TppComponent *ShiftRelativeTo = nullptr;

    std::function<void()> OnPrint;   // just before the component is drawn, each time

    TppCustomReport *Report() const;
    virtual void SetUserName(const QString &name) { UserName = name; }
    // The draw-command class this component fills (for the registry).
    virtual QString DrawCommandClassName() const { return QString(); }

    // Engine: create the draw commands at (x, y) on the page. 'height' comes in as mmHeight and
    // goes out as the height the component used (stretching components grow it).
    virtual void Generate(TppPrintContext &ctx, int x, int y, int &height,
                          std::vector<TppDrawCommandPtr> &out) = 0;
    virtual bool Stretches() const { return false; }

protected:
    // A draw command of this component with its box on the page.
    template <class T>
    std::shared_ptr<T> NewDrawCommand(int x, int y, int width, int height) const
    {
        auto cmd = std::make_shared<T>();
        cmd->mmLeft = x;
        cmd->mmTop = y;
        cmd->mmWidth = width;
        cmd->mmHeight = height;
        cmd->ComponentName = UserName;
        cmd->BandName = BandUserName();
        return cmd;
    }
    QString BandUserName() const;
};

// Base of components that print a text.
class TppCustomText : public TppComponent
{
public:
    TppFont Font;
    QColor Color = Qt::white;     // background when not transparent
    TppTextAlignment TextAlignment = taLeftJustified;
    bool AutoSize = false;
    bool WordWrap = false;
    // A single-line text wider than its box prints smaller, down to MinFontSize points, and
    // past that loses its end to an ellipsis: it never runs out of its box, and nothing is
    // printed (or left in a PDF's text) that cannot be seen.
    bool ShrinkToFit = false;
    double MinFontSize = 6;
    // The text as it prints now (data read, display format and OnGetText applied).
    virtual QString Text() = 0;
    void Generate(TppPrintContext &ctx, int x, int y, int &height,
                  std::vector<TppDrawCommandPtr> &out) override;
protected:
    void fillTextCommand(TppDrawText &cmd, const QString &text, int x, int y, int width, int height) const;
};

class TppLabel : public TppCustomText
{
public:
    QString Caption;
    QString ClassName() const override { return QStringLiteral("TppLabel"); }
    QString Text() override { return Caption; }
    void SetUserName(const QString &name) override;
};

class TppDBText : public TppCustomText
{
public:
    QString DataField;
    QString DisplayFormat;
    TppDataPipeline *DataPipeline = nullptr;    // null: the report's pipeline
    std::function<void(QString &text)> OnGetText;
    QString ClassName() const override { return QStringLiteral("TppDBText"); }
    QString Text() override;
    TppDataPipeline *Pipeline() const;
};

class TppDBMemo : public TppDBText
{
public:
    TppDBMemo() { WordWrap = true; }
    bool CharWrap = false;
    bool Stretch = true;
    QString ClassName() const override { return QStringLiteral("TppDBMemo"); }
    bool Stretches() const override { return Stretch; }
    void Generate(TppPrintContext &ctx, int x, int y, int &height,
                  std::vector<TppDrawCommandPtr> &out) override;
};

enum TppVarType { vtDate, vtTime, vtDateTime, vtPrintDateTime, vtPageNo, vtPageNoDesc };

class TppSystemVariable : public TppCustomText
{
public:
    TppVarType VarType = vtDateTime;
    QString DisplayFormat;
    QString ClassName() const override { return QStringLiteral("TppSystemVariable"); }
    QString Text() override;
    // The time the variable shows; tests set it, otherwise the print run's start time.
    QDateTime FixedDateTime;
};

class TppLine : public TppComponent
{
public:
    TppLinePosition Position = lpTop;
    double Weight = 0.75;
    QColor PenColor = Qt::black;
    QString ClassName() const override { return QStringLiteral("TppLine"); }
    void Generate(TppPrintContext &ctx, int x, int y, int &height,
                  std::vector<TppDrawCommandPtr> &out) override;
};

class TppShape : public TppComponent
{
public:
    double PenWidth = 0.75;
    QColor PenColor = Qt::black;
    QBrush Brush = Qt::NoBrush;
    QString ClassName() const override { return QStringLiteral("TppShape"); }
    void Generate(TppPrintContext &ctx, int x, int y, int &height,
                  std::vector<TppDrawCommandPtr> &out) override;
};

class TppImage : public TppComponent
{
public:
    std::shared_ptr<TppPicture> Picture;
    bool Stretch = false;
    bool AutoSize = false;
    bool MaintainAspectRatio = true;
    bool DirectDraw = false;
    bool Center = false;
    // Load an SVG or raster picture from a resource (":/...") or a file; false when unreadable.
    bool LoadFromFile(const QString &fileName);
    QString ClassName() const override { return QStringLiteral("TppImage"); }
    void Generate(TppPrintContext &ctx, int x, int y, int &height,
                  std::vector<TppDrawCommandPtr> &out) override;
};

enum TppBarCodeType { bcCode128 };

class TppBarCode : public TppComponent
{
public:
    TppBarCodeType BarCodeType = bcCode128;
    bool AutoEncode = true;
    bool PrintHumanReadable = false;
    bool AutoSize = false;
    QString Data;
    QColor BarColor = Qt::black;
    int mmBarWidth = 254;
    TppBarCodeOrientation Orientation = orLeftToRight;
    TppTextAlignment Alignment = taCentered;
    // Free room from the box's left edge the symbol may take when its bars at mmBarWidth and
    // its quiet zones do not fit the box (left to right symbols; 0: the box only).
    int mmMaxWidth = 0;
    int QuietModules = 0;   // blank modules kept at each end of the symbol
    QString ClassName() const override { return QStringLiteral("TppBarCode"); }
    void Generate(TppPrintContext &ctx, int x, int y, int &height,
                  std::vector<TppDrawCommandPtr> &out) override;
};

class TppChildReport;

class TppSubReport : public TppComponent
{
public:
    TppSubReport();
    ~TppSubReport() override;
    bool ParentDataPipeline = false;
    bool ExpandAll = false;
    bool NewPrintJob = false;
    bool TraverseAllData = false;
    TppChildReport *Report() const { return m_report.get(); }
    void SetDataPipeline(TppDataPipeline *pipeline);
    QString ClassName() const override { return QStringLiteral("TppSubReport"); }
    bool Stretches() const override { return true; }
    void Generate(TppPrintContext &ctx, int x, int y, int &height,
                  std::vector<TppDrawCommandPtr> &out) override;
    int LastDetailCount = 0;   // detail bands printed by the last Generate
private:
    std::unique_ptr<TppChildReport> m_report;
};

// ---------------------------------------------------------------- bands and groups

class TppBand
{
public:
    TppBand(TppCustomReport *report, TppBandKind kind) : m_report(report), m_kind(kind) {}
    QString UserName;
    int mmHeight = 0;
    int mmBottomOffset = 0;
    // Detail band: where the first band of a page starts, from the paper's top edge (0: the
    // normal flow from the top margin). Read at the start of each page.
    int mmPrintPosition = 0;
    TppPrintHeight PrintHeight = phStatic;
    bool Visible = true;
    std::function<void()> BeforePrint;
    std::function<void()> AfterPrint;

    TppBandKind Kind() const { return m_kind; }
    TppCustomReport *Report() const { return m_report; }
    TppGroup *Group = nullptr;

    template<class T> T *Add(const QString &userName, int left, int top, int width, int height)
    {
        auto c = std::make_unique<T>();
        T *p = c.get();
        p->UserName = userName;
        p->mmLeft = left; p->mmTop = top; p->mmWidth = width; p->mmHeight = height;
        AddComponent(std::move(c));
        return p;
    }
    TppComponent *AddComponent(std::unique_ptr<TppComponent> component);
    const std::vector<std::unique_ptr<TppComponent>> &Components() const { return m_components; }
    int DetailCount = 0;   // bands of this kind printed in the current run
private:
    TppCustomReport *m_report;
    TppBandKind m_kind;
    std::vector<std::unique_ptr<TppComponent>> m_components;
};

class TppGroup
{
public:
    explicit TppGroup(TppCustomReport *report);
    QString UserName;
    QString BreakName;
    TppBreakType BreakType = btDataField;
    bool NewPage = false;
    TppDataPipeline *DataPipeline = nullptr;   // null: the report's pipeline
    TppBand *Header() const { return m_header.get(); }
    TppBand *Footer() const { return m_footer.get(); }
    // The current break value for the report's current record.
    QString BreakValue();
private:
    TppCustomReport *m_report;
    std::unique_ptr<TppBand> m_header, m_footer;
};

// ---------------------------------------------------------------- reports

class TppCustomReport
{
public:
    TppCustomReport();
    virtual ~TppCustomReport();
    QString UserName;
    TppDataPipeline *DataPipeline = nullptr;
    bool AutoStop = true;
    // Columns: count and left positions from the paper's left edge; read at the start of each page.
    int Columns = 1;
    QList<int> ColumnPositions;
    int mmColumnWidth = 0;   // 0: the printable width / Columns

    void SetDataPipeline(TppDataPipeline *pipeline) { DataPipeline = pipeline; }

    TppBand *Header() { return band(bkHeader); }
    TppBand *Title() { return band(bkTitle); }
    TppBand *ColumnHeader() { return band(bkColumnHeader); }
    TppBand *Detail() { return band(bkDetail); }
    TppBand *ColumnFooter() { return band(bkColumnFooter); }
    TppBand *Summary() { return band(bkSummary); }
    TppBand *Footer() { return band(bkFooter); }
    TppBand *PageStyle() { return band(bkPageStyle); }
    bool HasBand(TppBandKind kind) const { return m_bands[kind] != nullptr; }
    TppBand *BandOf(TppBandKind kind) const { return m_bands[kind].get(); }

    TppGroup *AddGroup(const QString &userName, const QString &breakName,
                       TppBreakType type = btDataField, bool newPage = false);
    const std::vector<std::unique_ptr<TppGroup>> &Groups() const { return m_groups; }

    TppComponent *FindComponent(const QString &userName) const;
    QList<TppBand *> AllBands() const;

    TppCustomReport *ParentReport = nullptr;   // set for child reports
    TppReport *MainReport();

protected:
    TppBand *band(TppBandKind kind);
    std::unique_ptr<TppBand> m_bands[bkPageStyle + 1];
    std::vector<std::unique_ptr<TppGroup>> m_groups;
};

class TppChildReport : public TppCustomReport
{
};

struct TppPrinterSetup
{
    QString PaperName = QStringLiteral("Letter");
    int PaperSize = 1;
    // The sheet as it stands in portrait; landscape turns it.
    int mmPaperWidth = 215900;
    int mmPaperHeight = 279401;
    TppOrientation Orientation = poPortrait;
    int mmMarginTop = 6350, mmMarginBottom = 6350, mmMarginLeft = 6350, mmMarginRight = 6350;
    QString BinName = QStringLiteral("Default");
    QString PrinterName = QStringLiteral("Default");
    QString DocumentName = QStringLiteral("Report");
    int Copies = 1;
    // The page as printed, orientation applied.
    int PageWidth() const { return Orientation == poLandscape ? mmPaperHeight : mmPaperWidth; }
    int PageHeight() const { return Orientation == poLandscape ? mmPaperWidth : mmPaperHeight; }
    int PrintableWidth() const { return PageWidth() - mmMarginLeft - mmMarginRight; }
    int PrintableHeight() const { return PageHeight() - mmMarginTop - mmMarginBottom; }
};

struct TppPreviewFormSettings
{
    bool Maximized = true;
    int ZoomPercentage = 100;
};

class TppReport : public TppCustomReport
{
public:
    TppReport();
    ~TppReport() override;
    TppPrinterSetup PrinterSetup;
    QString DeviceType = QStringLiteral("Screen");   // "Screen" or "Printer"
    bool AllowPrintToFile = false;
    TppPreviewFormSettings PreviewFormSettings;
    QString PrintFileName;   // set by a headless run: "Print" with "Screen" exports here when no preview

    std::function<void()> BeforePrint;
    std::function<void()> OnStartPage;
    std::function<void()> OnEndPage;
    std::function<void()> OnPreviewFormCreate;
    std::function<void()> AfterPrint;

    // Generate the pages. The device kind is what DeviceType says while generating.
    TppDocument GeneratePages();
    // Generate and hand the document to the device: "Screen" calls the preview handler (and
    // returns when the preview closes), "Printer" the printer handler.
    void Print();

    int PageNo = 0;   // the page being generated (1-based), readable from OnStartPage
    QDateTime PrintDateTime;   // start of the current run
};

// Handlers for Print(); the UI installs the preview, the headless program and tests their own.
using TppPreviewHandler = std::function<void(TppReport &report, TppDocument &document)>;
using TppPrinterHandler = std::function<void(TppReport &report, TppDocument &document)>;
void SetPreviewHandler(TppPreviewHandler handler);
TppPreviewHandler PreviewHandler();
void SetPrinterHandler(TppPrinterHandler handler);
TppPrinterHandler PrinterHandler();

// Shrinks a single-line text command's font (not below minSize points) until the text fits
// its width, then elides its end; the baseline stays where the layout's size put it.
void FitTextToWidth(TppDrawText &cmd, double minSize);

// ---------------------------------------------------------------- builder helpers

TppLabel *addLabel(TppBand *band, const QString &name, int left, int top, int width, int height,
                   const QString &caption, const TppFont &font = TppFont(),
                   TppTextAlignment alignment = taLeftJustified);
// A caption drawn as real text (e.g. over a page-style form picture); sized to its text.
TppLabel *addCaption(TppBand *band, int left, int top, const QString &caption,
                     const TppFont &font = TppFont(), TppTextAlignment alignment = taLeftJustified,
                     int width = 0);
TppDBText *addDBText(TppBand *band, const QString &name, int left, int top, int width, int height,
                     const QString &dataField, const TppFont &font = TppFont(),
                     TppTextAlignment alignment = taLeftJustified, const QString &displayFormat = QString());
TppDBMemo *addDBMemo(TppBand *band, const QString &name, int left, int top, int width, int height,
                     const QString &dataField, const TppFont &font = TppFont());
TppLine *addLine(TppBand *band, const QString &name, int left, int top, int width, int height,
                 TppLinePosition position = lpTop, double weight = 0.75);
TppShape *addShape(TppBand *band, const QString &name, int left, int top, int width, int height);
TppImage *addImage(TppBand *band, const QString &name, int left, int top, int width, int height,
                   const QString &fileName, bool stretch = true, bool maintainAspectRatio = false);
TppBarCode *addBarCode(TppBand *band, const QString &name, int left, int top, int width, int height,
                       TppBarCodeOrientation orientation = orLeftToRight, int barWidth = 254);
TppSystemVariable *addSystemVariable(TppBand *band, const QString &name, int left, int top, int width,
                                     int height, TppVarType type, const QString &displayFormat,
                                     const TppFont &font = TppFont());
TppSubReport *addSubReport(TppBand *band, const QString &name, int left, int top, int width, int height);

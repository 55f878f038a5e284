#include "report/ReportModel.h"

#include "report/Barcode.h"
#include "report/DisplayFormat.h"
#include "report/PrintContext.h"
#include "report/TextCache.h"

#include <QFontMetricsF>
#include <QImage>
#include <cmath>

// ---------------------------------------------------------------- fonts

QFont TppFont::ToQFont() const
{
    QFont f(Name);
    f.setPointSizeF(Size > 0 ? Size : 10);
    f.setBold(Style & fsBold);
    f.setItalic(Style & fsItalic);
    f.setUnderline(Style & fsUnderline);
    f.setStrikeOut(Style & fsStrikeOut);
    f.setKerning(false);
    // Layout is measured device-independently; hinting would move glyphs per device.
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

TppFont ppFont(const QString &name, double size, int style, const QColor &color)
{
    TppFont f;
    f.Name = name;
    f.Size = size;
    f.Style = style;
    f.Color = color;
    return f;
}

// ---------------------------------------------------------------- fitting a text to its box

void FitTextToWidth(TppDrawText &cmd, double minSize)
{
    const double limit = cmd.mmWidth;
    if (cmd.Text.isEmpty() || TppPrintContext::TextWidth(cmd.Font, cmd.Text) <= limit)
        return;
    cmd.FitWidth = true;
    const TppFont original = cmd.Font;
    const double smallest = std::min(minSize, original.Size);
    double size = original.Size;
    while (size - 0.5 >= smallest - 1e-9) {
        size -= 0.5;
        cmd.Font.Size = size;
        if (TppPrintContext::TextWidth(cmd.Font, cmd.Text) <= limit)
            break;
    }
    if (size < smallest)
        cmd.Font.Size = smallest;
    if (TppPrintContext::TextWidth(cmd.Font, cmd.Text) > limit) {
        const QFontMetricsF fm(cmd.Font.ToQFont(), ppMeasureDevice());
        cmd.Text = fm.elidedText(cmd.Text, Qt::ElideRight, limit * 1200.0 / 25400.0);
    }
    // the smaller type keeps the baseline of the layout's size
    const QFontMetricsF was(original.ToQFont(), ppMeasureDevice());
    const QFontMetricsF now(cmd.Font.ToQFont(), ppMeasureDevice());
    const int shift = int(std::lround((was.ascent() - now.ascent()) * 25400.0 / 1200.0));
    cmd.mmTop += shift;
    cmd.mmHeight = std::max(0, cmd.mmHeight - shift);
}

// ---------------------------------------------------------------- components

TppCustomReport *TppComponent::Report() const
{
    return Band ? Band->Report() : nullptr;
}

QString TppComponent::BandUserName() const
{
    return Band ? Band->UserName : QString();
}

void TppCustomText::fillTextCommand(TppDrawText &cmd, const QString &text, int x, int y, int width,
                                    int height) const
{
    cmd.mmLeft = x;
    cmd.mmTop = y;
    cmd.mmWidth = width;
    cmd.mmHeight = height;
    cmd.Text = text;
    cmd.Font = Font;
    cmd.Color = Color;
    cmd.Alignment = TextAlignment;
    cmd.AutoSize = AutoSize;
    cmd.WordWrap = WordWrap;
    cmd.Transparent = Transparent;
    cmd.ComponentName = UserName;
    cmd.BandName = BandUserName();
}

void TppCustomText::Generate(TppPrintContext &, int x, int y, int &height,
                             std::vector<TppDrawCommandPtr> &out)
{
    const QString text = Text();
    auto cmd = std::make_shared<TppDrawText>();
    int width = mmWidth;
    if (AutoSize && !WordWrap) {
        const int w = int(std::ceil(TppPrintContext::TextWidth(Font, text)));
        // an auto-sized text keeps its anchor: right-justified grows leftwards, centred both ways
        if (TextAlignment == taRightJustified)
            x += mmWidth - w;
        else if (TextAlignment == taCentered)
            x += (mmWidth - w) / 2;
        width = w;
    }
    fillTextCommand(*cmd, text, x, y, width, height);
    if (ShrinkToFit && !WordWrap && !AutoSize)
        FitTextToWidth(*cmd, MinFontSize);
    if (WordWrap) {
        const QStringList lines = TppPrintContext::WrapText(Font, text, width);
        const double lh = TppPrintContext::LineHeight(Font);
        // a fixed box shows the lines that fit
        const int fit = std::max(1, int(std::floor((height + 1) / lh)));
        cmd->Lines = AutoSize ? lines : lines.mid(0, fit);
    }
    out.push_back(cmd);
}

void TppLabel::SetUserName(const QString &name)
{
    if (Caption == UserName)
        Caption = name;
    UserName = name;
}

TppDataPipeline *TppDBText::Pipeline() const
{
    if (DataPipeline)
        return DataPipeline;
    TppCustomReport *r = Report();
    return r ? r->DataPipeline : nullptr;
}

QString TppDBText::Text()
{
    QString text;
    TppDataPipeline *p = Pipeline();
    // A pipeline without records is never asked (its handlers would index past the data).
    if (p && !p->IsEmpty() && !DataField.isEmpty()) {
        const TppDataType type = p->FieldDataType(DataField);
        if (!DisplayFormat.isEmpty() && !IsEditMask(DisplayFormat)) {
            QDateTime dt;
            const QVariant v = p->GetFieldValue(DataField);
            if (VariantToDateTime(v, type, dt))
                text = FormatDateTime(DisplayFormat, dt);
            else if (v.typeId() == QMetaType::QString && type == dtDateTime) {
                const QDateTime parsed = QDateTime::fromString(v.toString(), Qt::ISODate);
                text = parsed.isValid() ? FormatDateTime(DisplayFormat, parsed) : v.toString();
            } else
                text = p->GetFieldAsString(DataField);
        } else {
            const bool numeric = type == dtInteger || type == dtDouble;
            if (numeric && !DisplayFormat.isEmpty() && !DisplayFormat.contains('\\')
                && DisplayFormat.count(';') <= 1 && !DisplayFormat.contains('9')) {
                const QVariant v = p->GetFieldValue(DataField);
                bool ok = false;
                const double d = v.toDouble(&ok);
                text = ok ? FormatFloat(DisplayFormat, d) : p->GetFieldAsString(DataField);
            } else {
                text = p->GetFieldAsString(DataField);
                if (!DisplayFormat.isEmpty())
                    text = FormatMaskText(DisplayFormat, text);
            }
        }
    }
    if (OnGetText)
        OnGetText(text);
    return text;
}

void TppDBMemo::Generate(TppPrintContext &, int x, int y, int &height,
                         std::vector<TppDrawCommandPtr> &out)
{
    const QString text = Text();
    auto cmd = std::make_shared<TppDrawText>();
    fillTextCommand(*cmd, text, x, y, mmWidth, height);
    cmd->WordWrap = true;
    const QStringList lines = TppPrintContext::WrapText(Font, text, mmWidth, CharWrap);
    const double lh = TppPrintContext::LineHeight(Font);
    const int needed = int(std::ceil(lines.size() * lh));
    const bool dynamic = Band && Band->PrintHeight == phDynamic && Stretch;
    if (dynamic) {
        height = std::max(mmHeight, needed);
        cmd->Lines = lines;
    } else {
        const int fit = std::max(1, int(std::floor((mmHeight + 1) / lh)));
        cmd->Lines = lines.mid(0, fit);
    }
    cmd->mmHeight = height;
    out.push_back(cmd);
}

QString TppSystemVariable::Text()
{
    QDateTime now = FixedDateTime;
    if (!now.isValid()) {
        TppCustomReport *r = Report();
        TppReport *main = r ? r->MainReport() : nullptr;
        now = main && main->PrintDateTime.isValid() ? main->PrintDateTime : QDateTime::currentDateTime();
    }
    TppCustomReport *r = Report();
    TppReport *main = r ? r->MainReport() : nullptr;
    switch (VarType) {
    case vtDate:
        return FormatDateTime(DisplayFormat.isEmpty() ? QStringLiteral("m/d/yyyy") : DisplayFormat, now);
    case vtTime:
        return FormatDateTime(DisplayFormat.isEmpty() ? QStringLiteral("h:nn:ss am/pm") : DisplayFormat, now);
    case vtDateTime:
    case vtPrintDateTime:
        return FormatDateTime(DisplayFormat.isEmpty() ? QStringLiteral("m/d/yyyy h:nn:ss am/pm") : DisplayFormat, now);
    case vtPageNo:
        return QString::number(main ? main->PageNo : 0);
    case vtPageNoDesc:
        return QStringLiteral("Page %1").arg(main ? main->PageNo : 0);
    }
    return QString();
}

void TppLine::Generate(TppPrintContext &, int x, int y, int &height, std::vector<TppDrawCommandPtr> &out)
{
    auto cmd = NewDrawCommand<TppDrawLine>(x, y, mmWidth, height);
    cmd->Position = Position;
    cmd->Weight = Weight;
    cmd->Color = PenColor;
    out.push_back(cmd);
}

void TppShape::Generate(TppPrintContext &, int x, int y, int &height, std::vector<TppDrawCommandPtr> &out)
{
    auto cmd = NewDrawCommand<TppDrawShape>(x, y, mmWidth, height);
    cmd->PenWidth = PenWidth;
    cmd->PenColor = PenColor;
    cmd->Brush = Brush;
    out.push_back(cmd);
}

bool TppImage::LoadFromFile(const QString &fileName)
{
    Picture = TppPicture::FromFile(fileName);
    return Picture != nullptr;
}

void TppImage::Generate(TppPrintContext &, int x, int y, int &height, std::vector<TppDrawCommandPtr> &out)
{
    if (!Picture)
        return;
    auto cmd = NewDrawCommand<TppDrawImage>(x, y, mmWidth, height);
    cmd->Picture = Picture;
    const int pw = Picture->mmWidth(), ph = Picture->mmHeight();
    int w = mmWidth, h = height;
    if (AutoSize && pw > 0 && ph > 0) {
        w = pw;
        h = ph;
    } else if (Stretch && MaintainAspectRatio && pw > 0 && ph > 0) {
        const double s = std::min(double(mmWidth) / pw, double(height) / ph);
        w = int(std::lround(pw * s));
        h = int(std::lround(ph * s));
    } else if (!Stretch && pw > 0 && ph > 0) {
        // natural size, cut by nothing: the box only places it
        w = pw;
        h = ph;
    }
    if (Center) {
        x += (mmWidth - w) / 2;
        y += (height - h) / 2;
    }
    cmd->mmLeft = x;
    cmd->mmTop = y;
    cmd->mmWidth = w;
    cmd->mmHeight = h;
    out.push_back(cmd);
}

void TppBarCode::Generate(TppPrintContext &, int x, int y, int &height, std::vector<TppDrawCommandPtr> &out)
{
    const TppBarcodeSymbol sym = EncodeCode128(Data);
    if (!sym.IsValid())
        return;   // nothing to draw for empty or unencodable data
    auto cmd = NewDrawCommand<TppDrawBarCode>(x, y, mmWidth, height);
    cmd->QuietModules = QuietModules;
    if (mmMaxWidth > mmWidth && (Orientation == orLeftToRight || Orientation == orRightToLeft)) {
        const int needed = (sym.Modules + 2 * std::max(0, QuietModules)) * mmBarWidth;
        if (needed > mmWidth)
            cmd->mmWidth = mmMaxWidth;   // a coarse printer may need more than the nominal width
    }
    cmd->Modules = sym.Modules;
    cmd->Bars = sym.Bars;
    cmd->mmBarWidth = mmBarWidth;
    cmd->Orientation = Orientation;
    cmd->Alignment = Alignment;
    cmd->BarColor = BarColor;
    cmd->Data = Data;
    out.push_back(cmd);
}

TppSubReport::TppSubReport() : m_report(std::make_unique<TppChildReport>()) {}
TppSubReport::~TppSubReport() = default;

void TppSubReport::SetDataPipeline(TppDataPipeline *pipeline)
{
    m_report->DataPipeline = pipeline;
}

void TppSubReport::Generate(TppPrintContext &ctx, int x, int y, int &height,
                            std::vector<TppDrawCommandPtr> &out)
{
    m_report->ParentReport = Report();
    int details = 0;
    const int h = ctx.GenerateChild(m_report.get(), x, y, out, details);
    LastDetailCount = details;
    height = (Band && Band->PrintHeight == phDynamic) ? std::max(h, 0) : mmHeight;
    if (Band && Band->PrintHeight == phDynamic && h < mmHeight)
        height = h;   // an empty sub-report takes no room
}

// ---------------------------------------------------------------- bands, groups, reports

TppComponent *TppBand::AddComponent(std::unique_ptr<TppComponent> component)
{
    component->Band = this;
    m_components.push_back(std::move(component));
    return m_components.back().get();
}

TppGroup::TppGroup(TppCustomReport *report)
    : m_report(report), m_header(std::make_unique<TppBand>(report, bkGroupHeader)),
      m_footer(std::make_unique<TppBand>(report, bkGroupFooter))
{
    m_header->Group = this;
    m_footer->Group = this;
}

QString TppGroup::BreakValue()
{
    if (BreakType == btCustomField) {
        TppComponent *c = m_report->FindComponent(BreakName);
        if (auto *t = dynamic_cast<TppCustomText *>(c))
            return t->Text();
        return QString();
    }
    TppDataPipeline *p = DataPipeline ? DataPipeline : m_report->DataPipeline;
    if (!p || p->IsEmpty())
        return QString();
    return p->GetFieldAsString(BreakName);
}

TppCustomReport::TppCustomReport() = default;
TppCustomReport::~TppCustomReport() = default;

TppBand *TppCustomReport::band(TppBandKind kind)
{
    if (!m_bands[kind]) {
        m_bands[kind] = std::make_unique<TppBand>(this, kind);
        static const char *names[] = {"Header", "Title", "ColumnHeader", "GroupHeader", "Detail",
                                      "GroupFooter", "ColumnFooter", "Summary", "Footer", "PageStyle"};
        m_bands[kind]->UserName = QString::fromLatin1(names[kind]) + QStringLiteral("Band");
    }
    return m_bands[kind].get();
}

TppGroup *TppCustomReport::AddGroup(const QString &userName, const QString &breakName, TppBreakType type,
                                    bool newPage)
{
    auto g = std::make_unique<TppGroup>(this);
    g->UserName = userName;
    g->BreakName = breakName;
    g->BreakType = type;
    g->NewPage = newPage;
    m_groups.push_back(std::move(g));
    return m_groups.back().get();
}

QList<TppBand *> TppCustomReport::AllBands() const
{
    QList<TppBand *> bands;
    for (const auto &b : m_bands)
        if (b)
            bands.append(b.get());
    for (const auto &g : m_groups) {
        bands.append(g->Header());
        bands.append(g->Footer());
    }
    return bands;
}

TppComponent *TppCustomReport::FindComponent(const QString &userName) const
{
    for (TppBand *b : AllBands())
        for (const auto &c : b->Components()) {
            if (c->UserName.compare(userName, Qt::CaseInsensitive) == 0)
                return c.get();
            if (auto *sub = dynamic_cast<TppSubReport *>(c.get()))
                if (TppComponent *inner = sub->Report()->FindComponent(userName))
                    return inner;
        }
    return nullptr;
}

TppReport *TppCustomReport::MainReport()
{
    TppCustomReport *r = this;
    while (r->ParentReport)
        r = r->ParentReport;
    return dynamic_cast<TppReport *>(r);
}

// ---------------------------------------------------------------- builder helpers

TppLabel *addLabel(TppBand *band, const QString &name, int left, int top, int width, int height,
                   const QString &caption, const TppFont &font, TppTextAlignment alignment)
{
    auto *l = band->Add<TppLabel>(name, left, top, width, height);
    l->Caption = caption;
    l->Font = font;
    l->TextAlignment = alignment;
    return l;
}

TppLabel *addCaption(TppBand *band, int left, int top, const QString &caption, const TppFont &font,
                     TppTextAlignment alignment, int width)
{
    const int w = width > 0 ? width : int(std::ceil(TppPrintContext::TextWidth(font, caption)));
    const int h = int(std::ceil(TppPrintContext::LineHeight(font)));
    auto *l = addLabel(band, QStringLiteral("caption%1").arg(band->Components().size() + 1), left, top, w, h,
                       caption, font, alignment);
    return l;
}

TppDBText *addDBText(TppBand *band, const QString &name, int left, int top, int width, int height,
                     const QString &dataField, const TppFont &font, TppTextAlignment alignment,
                     const QString &displayFormat)
{
    auto *t = band->Add<TppDBText>(name, left, top, width, height);
    t->DataField = dataField;
    t->Font = font;
    t->TextAlignment = alignment;
    t->DisplayFormat = displayFormat;
    return t;
}

TppDBMemo *addDBMemo(TppBand *band, const QString &name, int left, int top, int width, int height,
                     const QString &dataField, const TppFont &font)
{
    auto *m = band->Add<TppDBMemo>(name, left, top, width, height);
    m->DataField = dataField;
    m->Font = font;
    return m;
}

TppLine *addLine(TppBand *band, const QString &name, int left, int top, int width, int height,
                 TppLinePosition position, double weight)
{
    auto *l = band->Add<TppLine>(name, left, top, width, height);
    l->Position = position;
    l->Weight = weight;
    return l;
}

TppShape *addShape(TppBand *band, const QString &name, int left, int top, int width, int height)
{
    return band->Add<TppShape>(name, left, top, width, height);
}

TppImage *addImage(TppBand *band, const QString &name, int left, int top, int width, int height,
                   const QString &fileName, bool stretch, bool maintainAspectRatio)
{
    auto *i = band->Add<TppImage>(name, left, top, width, height);
    i->Stretch = stretch;
    i->MaintainAspectRatio = maintainAspectRatio;
    if (!fileName.isEmpty())
        i->LoadFromFile(fileName);
    return i;
}

TppBarCode *addBarCode(TppBand *band, const QString &name, int left, int top, int width, int height,
                       TppBarCodeOrientation orientation, int barWidth)
{
    auto *b = band->Add<TppBarCode>(name, left, top, width, height);
    b->Orientation = orientation;
    b->mmBarWidth = barWidth;
    return b;
}

TppSystemVariable *addSystemVariable(TppBand *band, const QString &name, int left, int top, int width,
                                     int height, TppVarType type, const QString &displayFormat,
                                     const TppFont &font)
{
    auto *v = band->Add<TppSystemVariable>(name, left, top, width, height);
    v->VarType = type;
    v->DisplayFormat = displayFormat;
    v->Font = font;
    return v;
}

TppSubReport *addSubReport(TppBand *band, const QString &name, int left, int top, int width, int height)
{
    auto *s = band->Add<TppSubReport>(name, left, top, width, height);
    s->Report()->ParentReport = band->Report();
    return s;
}

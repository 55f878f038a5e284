#include "report/ui/PreviewForm.h"
#include "app/ui/Dialogs.h"

#include "app/Settings.h"
#include "app/ui/Dialogs.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <algorithm>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyleOptionGraphicsItem>
#include <QToolBar>
#include <cmath>
#include <deque>

std::function<bool(QPrinter &, QWidget *)> TppPreviewForm::PrintDialogHook;
std::function<QString(QWidget *)> TppPreviewForm::SaveFileDialogHook;

namespace {
constexpr int kPageGap = 16;
constexpr int kImageCacheSize = 8;
double pagePixels(int mm) { return mm * ppScreenDpi / 25400.0; }
}

// One page of the scene; renders its page into an image only when painted, and keeps it in a
// small shared cache so memory does not grow with the page count.
class TppPageItem : public QGraphicsItem
{
public:
    TppPageItem(const TppPage *page, std::deque<TppPageItem *> *cache) : m_page(page), m_cache(cache) {}
    QRectF boundingRect() const override
    {
        return QRectF(0, 0, pagePixels(m_page->mmWidth), pagePixels(m_page->mmHeight));
    }
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *widget) override
    {
        const QRectF r = boundingRect();
        const double scale = painter->worldTransform().m11() * (widget ? widget->devicePixelRatioF() : 1.0);
        const double dpi = ppScreenDpi * scale;
        if (m_image.isNull() || std::fabs(m_dpi - dpi) > 1e-6) {
            m_image = RenderPageToImage(*m_page, dpi, TppDeviceKind::Screen);
            m_image.setDevicePixelRatio(scale);
            m_dpi = dpi;
            remember();
        }
        painter->fillRect(r.translated(3, 3), QColor(0, 0, 0, 60));
        painter->drawImage(r, m_image);
        painter->setPen(QPen(Qt::darkGray, 0));
        painter->drawRect(r);
    }
    void drop() { m_image = QImage(); }
    bool rendered() const { return !m_image.isNull(); }

private:
    void remember()
    {
        auto it = std::find(m_cache->begin(), m_cache->end(), this);
        if (it != m_cache->end())
            m_cache->erase(it);
        m_cache->push_back(this);
        while (m_cache->size() > kImageCacheSize) {
            m_cache->front()->drop();
            m_cache->pop_front();
        }
    }
    const TppPage *m_page;
    std::deque<TppPageItem *> *m_cache;
    QImage m_image;
    double m_dpi = 0;
};

TppPreviewForm::TppPreviewForm(TppReport *report, TppDocument document, QWidget *parent)
    : QMainWindow(parent), m_report(report), m_document(std::move(document))
{
    setObjectName(QStringLiteral("ppPreviewForm"));
    // The window is named after the document it shows, as its PDF file and print job are.
    setWindowTitle(m_document.DocumentName.isEmpty() ? QStringLiteral("Print Preview") : m_document.DocumentName);
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto *bar = addToolBar(QStringLiteral("Preview"));
    bar->setObjectName(QStringLiteral("tbPreview"));
    bar->setMovable(false);
    auto addAction = [&](const QString &name, const QString &text, auto slot) {
        QAction *a = bar->addAction(text);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    addAction(QStringLiteral("actPrint"), tr("Print"), [this] { Print(); });
    addAction(QStringLiteral("actSavePdf"), tr("Save as PDF"), [this] { SaveAsPdf(); });
    bar->addSeparator();
    m_zoomBox = new QComboBox(bar);
    m_zoomBox->setObjectName(QStringLiteral("cmbxZoom"));
    m_zoomBox->setAccessibleName(QStringLiteral("Zoom"));
    m_zoomBox->addItems({QStringLiteral("Whole Page"), QStringLiteral("Page Width"), QStringLiteral("25%"),
                         QStringLiteral("50%"), QStringLiteral("75%"), QStringLiteral("100%"),
                         QStringLiteral("150%"), QStringLiteral("200%"), QStringLiteral("400%")});
    m_zoomBox->setCurrentText(QStringLiteral("100%"));
    connect(m_zoomBox, &QComboBox::textActivated, this, [this](const QString &t) {
        if (t == QLatin1String("Whole Page"))
            ZoomToWholePage();
        else if (t == QLatin1String("Page Width"))
            ZoomToPageWidth();
        else
            SetZoomPercentage(QString(t).remove('%').toInt());
    });
    bar->addWidget(m_zoomBox);
    bar->addSeparator();
    addAction(QStringLiteral("actFirstPage"), tr("First"), [this] { FirstPage(); })->setShortcut(Qt::Key_Home);
    addAction(QStringLiteral("actPriorPage"), tr("Prior"), [this] { PriorPage(); })->setShortcut(Qt::Key_PageUp);
    m_pageEdit = new QSpinBox(bar);
    m_pageEdit->setObjectName(QStringLiteral("edtPage"));
    m_pageEdit->setAccessibleName(QStringLiteral("Page"));
    m_pageEdit->setRange(1, std::max(1, PageCount()));
    connect(m_pageEdit, &QSpinBox::editingFinished, this, [this] { GotoPage(m_pageEdit->value()); });
    bar->addWidget(m_pageEdit);
    m_pageCount = new QLabel(QStringLiteral(" of %1 ").arg(PageCount()), bar);
    m_pageCount->setObjectName(QStringLiteral("lblPageCount"));
    bar->addWidget(m_pageCount);
    addAction(QStringLiteral("actNextPage"), tr("Next"), [this] { NextPage(); })->setShortcut(Qt::Key_PageDown);
    addAction(QStringLiteral("actLastPage"), tr("Last"), [this] { LastPage(); })->setShortcut(Qt::Key_End);
    bar->addSeparator();
    addAction(QStringLiteral("actClose"), tr("Close"), [this] { close(); })->setShortcut(Qt::Key_Escape);

    m_scene = new QGraphicsScene(this);
    m_scene->setBackgroundBrush(QColor(128, 128, 128));
    m_view = new QGraphicsView(m_scene, this);
    m_view->setObjectName(QStringLiteral("gvPages"));
    m_view->setAccessibleName(QStringLiteral("Pages"));
    // the toolbar's overflow button, shown when the window is too narrow for the toolbar
    if (auto *more = bar->findChild<QWidget *>(QStringLiteral("qt_toolbar_ext_button")))
        more->setAccessibleName(QStringLiteral("More tools"));
    m_view->setViewportUpdateMode(QGraphicsView::MinimalViewportUpdate);
    m_view->setCacheMode(QGraphicsView::CacheNone);
    m_view->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    setCentralWidget(m_view);
    // Scrolling by hand makes the page most in view the current one; paging sets it itself.
    connect(m_view->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (!m_paging)
            m_current = MostVisiblePage();
        updatePageLabel();
    });
    layoutPages();
    if (m_report) {
        m_zoom = m_report->PreviewFormSettings.ZoomPercentage;
        m_zoomBox->setCurrentText(QStringLiteral("%1%").arg(m_zoom));
    }
    applyZoom();
}

TppPreviewForm::~TppPreviewForm()
{
    // the view reports scroll changes while its scene goes away: stop listening first
    m_view->verticalScrollBar()->disconnect(this);
    m_view->setScene(nullptr);
    m_items.clear();
    delete m_scene;
    m_scene = nullptr;
    m_cache.clear();
}

void TppPreviewForm::layoutPages()
{
    m_scene->clear();
    m_items.clear();
    m_cache.clear();
    double y = kPageGap;
    double width = 0;
    for (const TppPage &page : m_document.Pages) {
        auto *item = new TppPageItem(&page, &m_cache);
        item->setPos(kPageGap, y);
        m_scene->addItem(item);
        m_items.append(item);
        y += pagePixels(page.mmHeight) + kPageGap;
        width = std::max(width, pagePixels(page.mmWidth));
    }
    m_scene->setSceneRect(0, 0, width + 2 * kPageGap, y);
    m_current = m_items.isEmpty() ? 0 : 1;
    m_pageEdit->setRange(1, std::max(1, PageCount()));
    m_pageCount->setText(QStringLiteral(" of %1 ").arg(PageCount()));
}

int TppPreviewForm::CurrentPage() const
{
    return m_items.isEmpty() ? 0 : std::clamp(m_current, 1, int(m_items.size()));
}

int TppPreviewForm::MostVisiblePage() const
{
    if (m_items.isEmpty())
        return 0;
    const QRectF seen = m_view->mapToScene(m_view->viewport()->rect()).boundingRect();
    // pages are stacked: start at the last one beginning above the view's top edge (binary search)
    int lo = 0, hi = int(m_items.size()) - 1;
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (m_items[mid]->pos().y() <= seen.top())
            lo = mid;
        else
            hi = mid - 1;
    }
    int best = lo;
    double bestHeight = -1;
    for (int i = lo; i < m_items.size(); ++i) {
        const QRectF page = m_items[i]->sceneBoundingRect();
        if (page.top() >= seen.bottom())
            break;
        const double visible = std::min(page.bottom(), seen.bottom()) - std::max(page.top(), seen.top());
        if (visible > bestHeight + 0.5) {
            best = i;
            bestHeight = visible;
        }
    }
    return best + 1;
}

void TppPreviewForm::GotoPage(int page)
{
    if (m_items.isEmpty())
        return;
    page = std::clamp(page, 1, int(m_items.size()));
    m_current = page;
    const QPointF pos = m_items[page - 1]->pos();
    const QPoint vp = m_view->mapFromScene(QPointF(pos.x(), pos.y() - kPageGap / 2.0));
    // Near the end the view cannot scroll the page to the top: it is still the page asked for.
    m_paging = true;
    m_view->verticalScrollBar()->setValue(m_view->verticalScrollBar()->value() + vp.y());
    m_paging = false;
    updatePageLabel();
}

void TppPreviewForm::updatePageLabel()
{
    const QSignalBlocker block(m_pageEdit);
    m_pageEdit->setValue(CurrentPage());
}

void TppPreviewForm::SetZoomPercentage(int percent)
{
    if (percent <= 0)
        return;
    const int page = CurrentPage();
    m_zoom = percent;
    applyZoom();
    GotoPage(page);
}

void TppPreviewForm::applyZoom()
{
    m_view->setTransform(QTransform::fromScale(m_zoom / 100.0, m_zoom / 100.0));
    const QString text = QStringLiteral("%1%").arg(m_zoom);
    if (m_zoomBox->findText(text) >= 0)
        m_zoomBox->setCurrentText(text);
}

void TppPreviewForm::ZoomToPageWidth()
{
    if (m_document.Pages.empty())
        return;
    const double w = pagePixels(m_document.Pages.front().mmWidth) + 2 * kPageGap;
    SetZoomPercentage(std::max(10, int(m_view->viewport()->width() * 100.0 / w)));
}

void TppPreviewForm::ZoomToWholePage()
{
    if (m_document.Pages.empty())
        return;
    const TppPage &p = m_document.Pages.front();
    const double zx = m_view->viewport()->width() * 100.0 / (pagePixels(p.mmWidth) + 2 * kPageGap);
    const double zy = m_view->viewport()->height() * 100.0 / (pagePixels(p.mmHeight) + 2 * kPageGap);
    SetZoomPercentage(std::max(10, int(std::min(zx, zy))));
}

int TppPreviewForm::RenderedPageCount() const
{
    int n = 0;
    for (auto *item : m_items)
        n += item->rendered();
    return n;
}

bool TppPreviewForm::IsLabelPrinter(const TPrintQueue &queue)
{
    static const QRegularExpression label(QStringLiteral("label|zebra|dymo|\\bzpl\\b|brother ql|\\bql-"),
                                          QRegularExpression::CaseInsensitiveOption);
    return label.match(queue.Name).hasMatch() || label.match(queue.Description).hasMatch();
}

QString TppPreviewForm::ProposedPrinter(const QString &last, const QList<TPrintQueue> &queues,
                                        const QString &systemDefault, bool labels)
{
    const auto has = [&queues](const QString &name) {
        return !name.isEmpty() && std::any_of(queues.begin(), queues.end(),
                                              [&name](const TPrintQueue &q) { return q.Name == name; });
    };
    if (has(last))
        return last;
    if (has(systemDefault))
        return systemDefault;
    for (const TPrintQueue &q : queues)
        if (IsLabelPrinter(q) == labels)
            return q.Name;
    return queues.isEmpty() ? QString() : queues.first().Name;
}

void TppPreviewForm::Print()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(m_document.DocumentName);
    printer.setFromTo(1, std::max(1, PageCount()));
    // Each product opens on the printer it last went to: labels usually have their own.
    const QString product = m_report ? m_report->UserName : QString();
    QList<TPrintQueue> queues;
    for (const QPrinterInfo &info : QPrinterInfo::availablePrinters())
        queues.append({info.printerName(), info.description() + QLatin1Char(' ') + info.makeAndModel()});
    const QString proposed = ProposedPrinter(LastPrinterFor(product), queues, QPrinterInfo::defaultPrinterName(),
                                             product == QLatin1String("pprptBottleLabel"));
    if (!proposed.isEmpty())
        printer.setPrinterName(proposed);
    bool ok;
    if (PrintDialogHook) {
        ok = PrintDialogHook(printer, this);
    } else {
        QPrintDialog dialog(&printer, this);
        dialog.setMinMax(1, std::max(1, PageCount()));
        ok = dialog.exec() == QDialog::Accepted;
    }
    if (!ok)
        return;
    const bool toQueue = printer.outputFormat() == QPrinter::NativeFormat && !printer.printerName().isEmpty();
    if (toQueue)
        RememberPrinterFor(product, printer.printerName());
    const int from = printer.printRange() == QPrinter::PageRange ? printer.fromPage() : 0;
    const int to = printer.printRange() == QPrinter::PageRange ? printer.toPage() : 0;
    QString error;
    bool printed;
    if (m_report) {
        // the run is repeated for the printer device, as the report's handlers expect; the
        // report sees which printer it goes to (the labels' shift is kept per printer)
        struct Restore
        {
            TppReport *r;
            QString device, printerName;
            ~Restore()
            {
                r->DeviceType = device;
                r->PrinterSetup.PrinterName = printerName;
            }
        } restore{m_report, m_report->DeviceType, m_report->PrinterSetup.PrinterName};
        m_report->DeviceType = QStringLiteral("Printer");
        if (toQueue)
            m_report->PrinterSetup.PrinterName = printer.printerName();
        const TppDocument doc = m_report->GeneratePages();
        printed = PrintToPrinter(doc, printer, from, to, &error);
    } else {
        printed = PrintToPrinter(m_document, printer, from, to, &error);
    }
    if (!printed)
        ShowErrorBox(error + QStringLiteral(" (") + printer.printerName() + QLatin1Char(')'), this);
}

void TppPreviewForm::SaveAsPdf()
{
    QString fileName;
    if (SaveFileDialogHook)
        fileName = SaveFileDialogHook(this);
    else
        fileName = QFileDialog::getSaveFileName(this, tr("Save as PDF"), m_document.DocumentName + ".pdf",
                                                tr("PDF files (*.pdf)"));
    if (!fileName.isEmpty())
        SaveAsPdf(fileName);
}

bool TppPreviewForm::SaveAsPdf(const QString &fileName)
{
    // A failed write removes what it wrote and says why.
    QString error;
    if (ExportToPdf(m_document, fileName, &error))
        return true;
    ShowErrorBox(QStringLiteral("Cannot write '%1': %2").arg(fileName, error), this);
    return false;
}

void TppPreviewForm::closeEvent(QCloseEvent *event)
{
    QMainWindow::closeEvent(event);
    if (event->isAccepted())
        emit closed();
}

void TppPreviewForm::ShowMaximized()
{
    // without a window manager "maximised" means nothing: take the screen's work area too
    if (QScreen *s = screen())
        setGeometry(s->availableGeometry());
    showMaximized();
}

void TppPreviewForm::ScrollBy(int pixels)
{
    m_view->verticalScrollBar()->setValue(m_view->verticalScrollBar()->value() + pixels);
}

void TppPreviewForm::Execute(TppReport &report, TppDocument &document)
{
    TppPreviewForm form(&report, std::move(document));
    QEventLoop loop;
    connect(&form, &TppPreviewForm::closed, &loop, &QEventLoop::quit);
    form.setWindowModality(Qt::ApplicationModal);
    if (report.PreviewFormSettings.Maximized)
        form.ShowMaximized();
    else
        form.show();
    form.SetZoomPercentage(report.PreviewFormSettings.ZoomPercentage);
    form.FirstPage();
    loop.exec();
}

void InstallPreviewWindow()
{
    SetPreviewHandler([](TppReport &report, TppDocument &document) { TppPreviewForm::Execute(report, document); });
}

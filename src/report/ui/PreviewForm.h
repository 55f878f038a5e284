#pragma once
// The print preview: pages render on demand as they are painted, so a long document opens at
// once and memory stays flat. Prints through the print dialog and saves as PDF.
#include "report/Engine.h"

#include <QMainWindow>
#include <deque>
#include <functional>

class QComboBox;
class QGraphicsScene;
class QGraphicsView;
class QLabel;
class QPrinter;
class QSpinBox;
class TppPageItem;

class TppPreviewForm : public QMainWindow
{
    Q_OBJECT
public:
    // report may be null (then the shown document is printed as it is).
    TppPreviewForm(TppReport *report, TppDocument document, QWidget *parent = nullptr);
    ~TppPreviewForm() override;

    int PageCount() const { return m_document.PageCount(); }
    int CurrentPage() const;            // 1-based: the page paged to, or the one most in view
    int MostVisiblePage() const;        // 1-based: the page taking most of the view's height
    void GotoPage(int page);
    void FirstPage() { GotoPage(1); }
    void PriorPage() { GotoPage(CurrentPage() - 1); }
    void NextPage() { GotoPage(CurrentPage() + 1); }
    void LastPage() { GotoPage(PageCount()); }
    int ZoomPercentage() const { return m_zoom; }
    void SetZoomPercentage(int percent);
    void ZoomToPageWidth();
    void ZoomToWholePage();
    void Print();                 // the print dialog, then the printer
    void SaveAsPdf();             // asks for a file name
    bool SaveAsPdf(const QString &fileName);
    int RenderedPageCount() const;
    void ShowMaximized();
    void ScrollBy(int pixels);   // pages holding a rendered image now
    const TppDocument &Document() const { return m_document; }

    // Test seams for the modal dialogs: return false to cancel. The print hook gets the
    // printer preset to the one the product last went to; naming a queue on it prints there.
    static std::function<bool(QPrinter &printer, QWidget *parent)> PrintDialogHook;
    static std::function<QString(QWidget *parent)> SaveFileDialogHook;

    // A print queue as the print dialog lists it: its name and its description or make.
    struct TPrintQueue
    {
        QString Name;
        QString Description;
    };
    // The queue the print dialog opens on: the one the product last went to while it is
    // there; else the system's default; else the first queue that is no label printer (for
    // the labels, the first label printer); else the first queue. Empty: no queue at all.
    static QString ProposedPrinter(const QString &last, const QList<TPrintQueue> &queues,
                                   const QString &systemDefault, bool labels);
    static bool IsLabelPrinter(const TPrintQueue &queue);

    // Show the preview for a report and return when it closes (the "Screen" device).
    static void Execute(TppReport &report, TppDocument &document);

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void layoutPages();
    void updatePageLabel();
    void applyZoom();
    TppReport *m_report;
    TppDocument m_document;
    QGraphicsScene *m_scene;
    QGraphicsView *m_view;
    QSpinBox *m_pageEdit;
    QLabel *m_pageCount;
    QComboBox *m_zoomBox;
    QList<TppPageItem *> m_items;
    std::deque<TppPageItem *> m_cache;   // pages holding a rendered image, oldest first
    int m_zoom = 100;
    int m_current = 0;       // the current page, 1-based
    bool m_paging = false;   // the view scrolls because a page was asked for
};

// Installs the preview window as the handler of Print() with the "Screen" device.
void InstallPreviewWindow();

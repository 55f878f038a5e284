#pragma once
// Generating pages from a report and rendering them on devices (headless API).
#include "report/DrawCommands.h"
#include "report/PrintContext.h"
#include "report/ReportModel.h"

#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QStringList>

class QPainter;
class QPrinter;
// Render one page on a painter whose device has the context's dpi.
void RenderPage(QPainter &painter, const TppPage &page, const TppRenderContext &ctx);
// A page as an image at a dpi (white background), rendered as for the given device.
QImage RenderPageToImage(const TppPage &page, double dpi,
                         TppDeviceKind device = TppDeviceKind::Printer,
                         QImage::Format format = QImage::Format_RGB32);
// Export every page to a PDF file (vector). False with a message on failure.
bool ExportToPdf(const TppDocument &document, const QString &fileName, QString *error = nullptr);
// Send pages (1-based, inclusive; 0 = all) to a configured printer.
bool PrintToPrinter(const TppDocument &document, QPrinter &printer, int fromPage = 0, int toPage = 0,
                    QString *error = nullptr);

// The component registry: component kinds by class name, with palette place; draw-command
// classes by name, so that layouts holding them can be created by name.
struct TppComponentClass
{
    QString ClassName;
    QString PalettePage;
    QString Caption;
    int Position = 0;
    std::function<std::unique_ptr<TppComponent>()> Create;
};
void ppRegisterComponent(const TppComponentClass &componentClass);
void ppUnRegisterComponent(const QString &className);
const TppComponentClass *ppFindComponentClass(const QString &className);
QList<TppComponentClass> ppRegisteredComponents();
void ppRegisterDrawCommand(const QString &className, std::function<TppDrawCommandPtr()> create);
void ppUnRegisterDrawCommand(const QString &className);
TppDrawCommandPtr ppCreateDrawCommand(const QString &className);

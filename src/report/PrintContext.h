#pragma once
// The model reaches the engine only through this: the engine depends on the model, never the
// reverse.
#include "report/DrawCommands.h"

#include <QDateTime>
#include <QStringList>

#include <vector>

class TppChildReport;
class TppReport;

// Prints child reports inline; the engine's generator implements it.
class TppChildGenerator
{
public:
    virtual ~TppChildGenerator() = default;
    virtual int GenerateChild(TppChildReport *child, int x, int y, std::vector<TppDrawCommandPtr> &out,
                              int &detailCount) = 0;
};

// What components see while they generate their draw commands.
class TppPrintContext
{
public:
    TppReport *Report = nullptr;
    TppDeviceKind Device = TppDeviceKind::Screen;
    int PageNo = 0;
    QDateTime PrintDateTime;
    TppChildGenerator *Generator = nullptr;

    // Text measurement in layout units, independent of the output device.
    static double LineHeight(const TppFont &font);
    static double TextWidth(const TppFont &font, const QString &text);
    // Word-wrapped lines within 'width' (character wrap breaks anywhere).
    static QStringList WrapText(const TppFont &font, const QString &text, int width, bool charWrap = false);

    // Print a child report inline at (x, y); returns its height and the detail bands it printed.
    int GenerateChild(TppChildReport *child, int x, int y, std::vector<TppDrawCommandPtr> &out,
                      int &detailCount);
};

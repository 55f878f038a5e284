#pragma once
// Looking at what the engine prints: a page's commands of one component, and white images to
// draw pages on.
#include "report/Engine.h"

#include <QImage>
#include <QList>
#include <QStringList>

#include <cmath>

inline QList<const TppDrawCommand *> commandsOf(const TppPage &page, const QString &component)
{
    QList<const TppDrawCommand *> list;
    for (const auto &c : page.Commands)
        if (c->ComponentName == component)
            list.append(c.get());
    return list;
}

inline int countOf(const TppPage &page, const QString &component)
{
    return int(commandsOf(page, component).size());
}

inline QStringList textsOf(const TppPage &page, const QString &component)
{
    QStringList texts;
    for (const TppDrawCommand *c : commandsOf(page, component))
        if (auto *t = dynamic_cast<const TppDrawText *>(c))
            texts.append(t->Text);
    return texts;
}

// White, and at the given resolution so that text measures as on that device.
inline QImage WhiteImage(int width, int height, double dpi = ppScreenDpi)
{
    QImage img(width, height, QImage::Format_RGB32);
    const int dpm = int(std::lround(dpi / 0.0254));
    img.setDotsPerMeterX(dpm);
    img.setDotsPerMeterY(dpm);
    img.fill(Qt::white);
    return img;
}

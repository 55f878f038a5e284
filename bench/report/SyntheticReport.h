#pragma once
// A synthetic document for measuring and looking: each page has a few texts, an SVG picture,
// two barcodes, a rotated label and a grid.
#include "report/Engine.h"

#include <memory>

struct SyntheticReport
{
    TppReport report;
    TppJITPipeline pipeline;
    explicit SyntheticReport(int pages);
};

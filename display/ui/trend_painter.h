#pragma once
// The trend graph: margins, plot area, value and time grids with their
// labels, the dates at both ends, the "now" line, the points and the average
// line, drawn from a TrendPicture. The caller holds the draw lock and keeps
// the returned window for the cursor read-out.

#include <QPainter>

#include "display/trend_picture.h"
#include "display/ui/display_tools.h"

namespace velrix {

// Draws the graph for these inputs and returns the window it showed.
TrendWindow DrawTrend(QPainter& p, const DisplayTools& t, const TrendInputs& in);

// Renders an already built picture (the cursor and navigation code can build
// once and reuse it).
void PaintTrendPicture(QPainter& p, const DisplayTools& t, const TrendPicture& picture);

}  // namespace velrix

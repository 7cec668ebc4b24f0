#include "display/ui/trend_painter.h"

namespace velrix {
namespace {

// Margins cleared before each drawing (left, top, right, bottom).
constexpr int kMargins[6][4] = {{0, 125, 61, 605},   {960, 125, 1024, 605}, {60, 125, 960, 146},
                                {60, 585, 960, 605}, {32, 605, 92, 630},    {932, 605, 992, 630}};

const QColor kPlotFill(0, 33, 0);
const QColor kDottedGrid(200, 200, 200);
constexpr int kWhite = 5;
constexpr int kTextFont = 1;
// The time grid rises one pixel past the full-scale line.
constexpr int kTimeGridTop = kPlotTop - 1;
constexpr int kDotRadius = 2;

void DrawDot(QPainter& p, const DisplayTools& t, int x, int y, int palette) {
  // Ellipse(x-2, y-2, x+2, y+2): a 4 x 4 pixel disc.
  p.setPen(t.palettePen[palette]);
  p.setBrush(t.paletteBrush[palette]);
  p.drawEllipse(QRect(x - kDotRadius, y - kDotRadius, 2 * kDotRadius - 1, 2 * kDotRadius - 1));
}

}  // namespace

void PaintTrendPicture(QPainter& p, const DisplayTools& t, const TrendPicture& pic) {
  PrepareGdiPainter(p);

  // Margins.
  for (const auto& m : kMargins) GdiClear(p, t, m[0], m[1], m[2], m[3]);

  // Plot area.
  GdiRectangle(p, kPlotLeft, kPlotTop, kPlotRight + 1, kPlotBottom + 1, t.backgroundPen,
               QBrush(kPlotFill));

  // Value grid.
  for (int i = 0; i <= 2; ++i) {
    const int y = TrendValueGridY(i);
    if (i == 1)
      GdiDottedLine(p, kPlotLeft, y, kPlotRight, y, kDottedGrid);
    else
      GdiLine(p, kPlotLeft, y, kPlotRight, y, t.palettePen[kWhite]);
  }

  // Time grid.
  const int n = TrendSpanOf(pic.span).gridIntervals;
  for (int j = 0; j <= n; ++j) {
    const int x = TrendTimeGridX(pic.span, j);
    if (j == 0 || j == n)
      GdiLine(p, x, kPlotBottom, x, kTimeGridTop, t.palettePen[kWhite]);
    else
      GdiDottedLine(p, x, kPlotBottom, x, kTimeGridTop, kDottedGrid);
  }

  // Every text.
  for (const TrendText& text : pic.texts)
    GdiText(p, t, kTextFont, text.x, text.y, text.text, t.palette[text.palette]);

  // The "now" line.
  if (pic.nowLine)
    GdiLine(p, pic.nowX, kPlotBottom, pic.nowX, kTimeGridTop, t.palettePen[0]);

  // Starting dot, points, joins and the average line.
  for (const TrendMark& m : pic.marks) {
    if (m.kind == TrendMark::Dot)
      DrawDot(p, t, m.x1, m.y1, m.palette);
    else
      GdiLine(p, m.x1, m.y1, m.x2, m.y2, t.palettePen[m.palette]);
  }
}

TrendWindow DrawTrend(QPainter& p, const DisplayTools& t, const TrendInputs& in) {
  const TrendPicture picture = BuildTrendPicture(in);
  PaintTrendPicture(p, t, picture);
  return picture.window;
}

}  // namespace velrix

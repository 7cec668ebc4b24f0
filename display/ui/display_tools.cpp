#include "display/ui/display_tools.h"

#include <QFontMetrics>
#include <QPolygon>
#include <QVarLengthArray>

#include <algorithm>
#include <cstdlib>

namespace velrix {
namespace {

struct FontSpec {
  int height;  // pixels, the whole character cell
  int weight;  // the layout's weight, 0 = default
};
constexpr FontSpec kFontSpecs[kFontCount + 1] = {
    {0, 0}, {12, 0}, {16, 0}, {20, 1500}, {80, 2000}, {14, 700}};

// Sizes above which the stand-in face gets no synthetic bold from the font
// engine, so heavier weights are drawn twice one pixel apart.
constexpr int kSyntheticBoldLimit = 60;

constexpr int kPaletteRgb[kPaletteSize][3] = {
    {0, 200, 0},     {255, 0, 255},   {200, 200, 0},   {255, 0, 0},     {0, 255, 255},
    {255, 255, 255}, {224, 224, 224}, {0, 0, 0},       {255, 195, 0},   {0, 0, 255},
    {192, 192, 192}, {255, 128, 128}, {150, 150, 150}, {100, 0, 100},   {0, 100, 100},
    {0, 80, 0},      {100, 100, 100}};

// Weights above the usual ceiling of 1000 render as the heaviest weight.
QFont::Weight QtWeight(int weight) {
  if (weight <= 0) return QFont::Normal;
  if (weight >= 900) return QFont::Black;
  if (weight >= 700) return QFont::Bold;
  if (weight >= 600) return QFont::DemiBold;
  if (weight >= 500) return QFont::Medium;
  return QFont::Normal;
}

QPen SolidPen(const QColor& c) {
  QPen pen(c);
  pen.setWidth(0);  // cosmetic: exactly one pixel
  pen.setStyle(Qt::SolidLine);
  pen.setCapStyle(Qt::FlatCap);
  pen.setJoinStyle(Qt::MiterJoin);
  return pen;
}

}  // namespace

void RegisterPanelFontSubstitution() {
  const QString face = QString::fromUtf8(kPanelFontFace);
  const QString standIn = QString::fromUtf8(kPanelFontStandIn);
  if (!QFont::substitutes(face).contains(standIn)) QFont::insertSubstitution(face, standIn);
}

DisplayTools CreateDisplayTools() {
  RegisterPanelFontSubstitution();
  DisplayTools t;
  for (int i = 1; i <= kFontCount; ++i) {
    QFont f(QString::fromUtf8(kPanelFontFace));
    f.setPixelSize(kFontSpecs[i].height);
    f.setWeight(QtWeight(kFontSpecs[i].weight));
    f.setFixedPitch(true);
    f.setStyleHint(QFont::TypeWriter, QFont::NoAntialias);
    f.setStyleStrategy(QFont::NoAntialias);
    f.setHintingPreference(QFont::PreferFullHinting);
    f.setItalic(false);
    f.setUnderline(false);
    f.setStrikeOut(false);
    f.setKerning(false);
    t.fonts[i] = f;
    t.heavyFont[i] = kFontSpecs[i].weight >= 700 && kFontSpecs[i].height > kSyntheticBoldLimit;
  }
  for (int i = 0; i < kPaletteSize; ++i) {
    t.palette[i] = QColor(kPaletteRgb[i][0], kPaletteRgb[i][1], kPaletteRgb[i][2]);
    t.palettePen[i] = SolidPen(t.palette[i]);
    t.paletteBrush[i] = QBrush(t.palette[i]);
  }
  t.backgroundPen = SolidPen(t.background);
  t.backgroundBrush = QBrush(t.background);
  t.outlinePen = SolidPen(QColor(210, 210, 210));
  t.outerEdgePen = SolidPen(QColor(180, 180, 180));
  t.innerEdgePen = SolidPen(QColor(150, 150, 150));
  t.shadowPen = SolidPen(QColor(110, 110, 110));
  return t;
}

void PrepareGdiPainter(QPainter& p) {
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setRenderHint(QPainter::TextAntialiasing, false);
  p.setRenderHint(QPainter::SmoothPixmapTransform, false);
  p.setBackgroundMode(Qt::TransparentMode);
}

void GdiRectangle(QPainter& p, int left, int top, int right, int bottom, const QPen& pen,
                  const QBrush& brush) {
  if (right - left < 1 || bottom - top < 1) return;
  p.setPen(pen);
  p.setBrush(brush);
  // A one-pixel pen strokes a QRect one pixel wider than its size, so the
  // outline covers left..right-1 as the layout's coordinates mean.
  p.drawRect(QRect(left, top, right - left - 1, bottom - top - 1));
}

void GdiClear(QPainter& p, const DisplayTools& t, int left, int top, int right, int bottom) {
  GdiRectangle(p, left, top, right, bottom, t.backgroundPen, t.backgroundBrush);
}

void GdiLine(QPainter& p, int x1, int y1, int x2, int y2, const QPen& pen) {
  // Pixel by pixel (Bresenham) from the start point up to, not including,
  // the end point, as a pen moving on from there draws it. Qt's own aliased
  // lines leave out whichever end has the larger coordinate, which leaves
  // notches in box corners and gaps at the low points of the average line.
  if (x1 == x2 && y1 == y2) return;
  QPen square = pen;
  square.setWidth(1);
  square.setCapStyle(Qt::SquareCap);
  p.setPen(square);
  // A level or upright line (the boxes, the grid, the axes: most lines of a
  // repaint) covers a run of whole pixels; one filled rectangle sets the
  // same pixels as the points would, at a fraction of the cost.
  if ((x1 == x2 || y1 == y2) && square.style() == Qt::SolidLine) {
    const int lastX = x2 == x1 ? x1 : x2 - (x1 < x2 ? 1 : -1);
    const int lastY = y2 == y1 ? y1 : y2 - (y1 < y2 ? 1 : -1);
    p.fillRect(QRect(QPoint(std::min(x1, lastX), std::min(y1, lastY)),
                     QPoint(std::max(x1, lastX), std::max(y1, lastY))),
               square.brush());
    return;
  }
  const int dx = std::abs(x2 - x1);
  const int dy = -std::abs(y2 - y1);
  const int sx = x1 < x2 ? 1 : -1;
  const int sy = y1 < y2 ? 1 : -1;
  QVarLengthArray<QPoint, 256> points;
  int x = x1;
  int y = y1;
  int err = dx + dy;
  while (x != x2 || y != y2) {
    points.append(QPoint(x, y));
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
  p.drawPoints(points.constData(), static_cast<int>(points.size()));
}

void GdiDottedLine(QPainter& p, int x1, int y1, int x2, int y2, const QColor& colour) {
  p.setPen(SolidPen(colour));
  const int dx = x2 > x1 ? 1 : (x2 < x1 ? -1 : 0);
  const int dy = y2 > y1 ? 1 : (y2 < y1 ? -1 : 0);
  const int steps = std::max(std::abs(x2 - x1), std::abs(y2 - y1));
  // One call for all the dots: the grid has hundreds, and each call of its
  // own costs far more than the pixel it sets.
  QVarLengthArray<QPoint, 512> dots;
  for (int i = 0; i < steps; i += 2) dots.append(QPoint(x1 + dx * i, y1 + dy * i));
  p.drawPoints(dots.constData(), static_cast<int>(dots.size()));
}

void GdiText(QPainter& p, const DisplayTools& t, int font, int x, int y, const std::string& utf8,
             const QColor& colour) {
  if (font < 1 || font > kFontCount || utf8.empty()) return;
  const QFont& f = t.fonts[font];
  p.setFont(f);
  p.setPen(SolidPen(colour));
  const QString text = QString::fromUtf8(utf8.data(), static_cast<int>(utf8.size()));
  const int baseline = y + QFontMetrics(f).ascent();
  p.drawText(x, baseline, text);
  if (t.heavyFont[font]) p.drawText(x + 1, baseline, text);
}

}  // namespace velrix

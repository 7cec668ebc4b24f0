#pragma once
// The drawing resources the panel and the trend graph share, created once at
// start-up and kept for the life of the program: fonts 1-5, palette 0-16 with
// a pen and a brush each, and the fixed grey tools of the sunken boxes. Also
// the few GDI-like drawing steps the fixed layout is drawn with: texts by
// their top-left corner, rectangles and lines that stop one pixel short of
// their right/bottom end, no antialiasing anywhere.

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPen>
#include <QString>

#include <string>

namespace velrix {

inline constexpr int kFontCount = 5;
inline constexpr int kPaletteSize = 17;

// The face the layout is measured in, and the installed face that stands in
// for it (same metrics: half-width columns are exactly half the height).
inline constexpr char kPanelFontFace[] = "ＭＳ ゴシック";
inline constexpr char kPanelFontStandIn[] = "IPAGothic";

struct DisplayTools {
  QFont fonts[kFontCount + 1];          // 1-5; [0] unused
  bool heavyFont[kFontCount + 1] = {};  // drawn twice, one pixel apart
  QColor palette[kPaletteSize];
  QPen palettePen[kPaletteSize];
  QBrush paletteBrush[kPaletteSize];

  QColor background{220, 220, 220};
  QPen backgroundPen;
  QBrush backgroundBrush;
  QPen outlinePen;     // 210: outline of a sunken box
  QPen outerEdgePen;   // 180: outer top and left edge
  QPen innerEdgePen;   // 150: inner top and left edge
  QPen shadowPen;      // 110: inner bottom and right edge; retry box frame
};

// Registers the stand-in face for the layout's face; idempotent.
void RegisterPanelFontSubstitution();

// Builds fonts, palette and fixed tools (registering the substitution first).
// Needs a QGuiApplication.
DisplayTools CreateDisplayTools();

// Turns antialiasing off on a painter, as every drawing here needs.
void PrepareGdiPainter(QPainter& p);

// Rectangle(left, top, right, bottom): outline with pen, inside with brush;
// right and bottom are exclusive.
void GdiRectangle(QPainter& p, int left, int top, int right, int bottom, const QPen& pen,
                  const QBrush& brush);
// Fills left..right-1, top..bottom-1 with the background tools.
void GdiClear(QPainter& p, const DisplayTools& t, int left, int top, int right, int bottom);
// A line that leaves out its end point, as a pen moving on from there does.
void GdiLine(QPainter& p, int x1, int y1, int x2, int y2, const QPen& pen);
// A dotted line: every other pixel, end point left out.
void GdiDottedLine(QPainter& p, int x1, int y1, int x2, int y2, const QColor& colour);
// A text with its top-left corner at x, y in font 1-5, transparent background.
void GdiText(QPainter& p, const DisplayTools& t, int font, int x, int y, const std::string& utf8,
             const QColor& colour);

}  // namespace velrix

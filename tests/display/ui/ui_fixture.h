#pragma once
// Shared pieces of the offscreen tests: the display tools, a 998 x 672 view
// picture filled like the view's paint does, pixel reads, and saving a
// picture next to the test program for a person to look at.

#include <QColor>
#include <QCoreApplication>
#include <QImage>
#include <QPainter>

#include <string>

#include "display/ui/display_tools.h"

namespace velrix::testing {

inline constexpr int kViewWidth = 998;
inline constexpr int kViewHeight = 672;

inline const DisplayTools& Tools() {
  static const DisplayTools tools = CreateDisplayTools();
  return tools;
}

// A view picture with the whole-window background fill already done.
inline QImage BlankView() {
  QImage image(kViewWidth, kViewHeight, QImage::Format_RGB32);
  image.fill(QColor(220, 220, 220));
  return image;
}

inline QColor At(const QImage& image, int x, int y) { return image.pixelColor(x, y); }

inline bool IsRgb(const QImage& image, int x, int y, int r, int g, int b) {
  const QColor c = image.pixelColor(x, y);
  return c.red() == r && c.green() == g && c.blue() == b;
}

// Pixels of one colour inside a rectangle (right and bottom exclusive).
inline int CountRgb(const QImage& image, int left, int top, int right, int bottom, QColor colour) {
  int n = 0;
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x)
      if (image.pixelColor(x, y).rgb() == colour.rgb()) ++n;
  return n;
}

// Pixels inside a rectangle that differ from a colour.
inline int CountNot(const QImage& image, int left, int top, int right, int bottom, QColor colour) {
  return (right - left) * (bottom - top) - CountRgb(image, left, top, right, bottom, colour);
}

inline void SavePicture(const QImage& image, const std::string& name) {
  image.save(QCoreApplication::applicationDirPath() + "/" + QString::fromStdString(name));
}

}  // namespace velrix::testing

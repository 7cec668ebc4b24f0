#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>

#include "tests/display/ui/ui_fixture.h"

namespace velrix {
namespace {

using testing::Tools;

TEST(PanelFonts, TheLayoutFaceResolvesToTheInstalledStandIn) {
  for (int i = 1; i <= kFontCount; ++i) {
    const QFontInfo info(Tools().fonts[i]);
    EXPECT_EQ(info.family().toStdString(), kPanelFontStandIn) << "font " << i;
  }
}

TEST(PanelFonts, HeightsAndWeightsFollowTheLayout) {
  EXPECT_EQ(Tools().fonts[1].pixelSize(), 12);
  EXPECT_EQ(Tools().fonts[2].pixelSize(), 16);
  EXPECT_EQ(Tools().fonts[3].pixelSize(), 20);
  EXPECT_EQ(Tools().fonts[4].pixelSize(), 80);
  EXPECT_EQ(Tools().fonts[5].pixelSize(), 14);
  EXPECT_EQ(Tools().fonts[3].weight(), QFont::Black);
  EXPECT_EQ(Tools().fonts[5].weight(), QFont::Bold);
  EXPECT_TRUE(Tools().heavyFont[4]);
  EXPECT_FALSE(Tools().heavyFont[3]);
  EXPECT_TRUE(Tools().fonts[1].styleStrategy() & QFont::NoAntialias);
}

TEST(PanelFonts, HalfWidthColumnsAreHalfTheHeightAndMuTakesTwo) {
  const QFontMetrics m(Tools().fonts[1]);
  EXPECT_EQ(m.horizontalAdvance(QString("0123456789")), 60);
  EXPECT_EQ(m.horizontalAdvance(QString::fromUtf8("μ")), 12);
  EXPECT_EQ(m.horizontalAdvance(QString::fromUtf8("警")), 12);
}

TEST(Palette, EntriesAreTheLayoutColours) {
  EXPECT_EQ(Tools().palette[2], QColor(200, 200, 0));
  EXPECT_EQ(Tools().palette[9], QColor(0, 0, 255));
  EXPECT_EQ(Tools().palette[14], QColor(0, 100, 100));
  EXPECT_EQ(Tools().palette[16], QColor(100, 100, 100));
}

}  // namespace
}  // namespace velrix

namespace velrix {
namespace {

QImage WhiteImage() {
  QImage image(40, 40, QImage::Format_RGB32);
  image.fill(Qt::white);
  return image;
}

TEST(GdiLines, EachLineHasItsStartAndNotItsEndInEveryDirection) {
  QImage image = WhiteImage();
  {
    QPainter p(&image);
    PrepareGdiPainter(p);
    GdiLine(p, 5, 5, 15, 5, QPen(Qt::black));   // right
    GdiLine(p, 15, 8, 5, 8, QPen(Qt::black));   // left
    GdiLine(p, 30, 20, 30, 10, QPen(Qt::black));  // up
  }
  EXPECT_EQ(QColor(image.pixel(5, 5)), QColor(Qt::black));
  EXPECT_EQ(QColor(image.pixel(14, 5)), QColor(Qt::black));
  EXPECT_EQ(QColor(image.pixel(15, 5)), QColor(Qt::white));
  EXPECT_EQ(QColor(image.pixel(15, 8)), QColor(Qt::black));
  EXPECT_EQ(QColor(image.pixel(6, 8)), QColor(Qt::black));
  EXPECT_EQ(QColor(image.pixel(5, 8)), QColor(Qt::white));
  EXPECT_EQ(QColor(image.pixel(30, 20)), QColor(Qt::black));
  EXPECT_EQ(QColor(image.pixel(30, 11)), QColor(Qt::black));
  EXPECT_EQ(QColor(image.pixel(30, 10)), QColor(Qt::white));
}

// The average line joins point to point; where two steep segments meet at a
// low point, the second segment's start closes the V.
TEST(GdiLines, AJoinedPolylineHasNoGapAtALowPoint) {
  QImage image = WhiteImage();
  {
    QPainter p(&image);
    PrepareGdiPainter(p);
    GdiLine(p, 10, 5, 12, 20, QPen(Qt::black));
    GdiLine(p, 12, 20, 14, 5, QPen(Qt::black));
  }
  EXPECT_EQ(QColor(image.pixel(12, 20)), QColor(Qt::black));
  EXPECT_EQ(QColor(image.pixel(10, 5)), QColor(Qt::black));
  EXPECT_EQ(QColor(image.pixel(14, 5)), QColor(Qt::white));
}

}  // namespace
}  // namespace velrix

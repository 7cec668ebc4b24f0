#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>

#include "tests/ui/ui_fixture.h"

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

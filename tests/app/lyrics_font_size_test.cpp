// The lyrics font size: steps of two points, kept between 8 and 40 pixels high.

#include "lyrics/lyrics_font_size.h"
#include "toolkit/font.h"

#include <gtest/gtest.h>

namespace orvelle {
namespace {

TEST(LyricsFontSize, StepsByTwoPointsAndStopsAtTheBounds) {
  Font font;  // Tahoma, 11 pixels: 8 points
  LyricsFontSize size(font);
  // Up from 11 pixels to the top, where a further press changes nothing.
  const int up[] = {13, 16, 19, 21, 24, 27, 29, 32, 35, 37, 40};
  for (const int pixels : up) {
    EXPECT_TRUE(size.CanEnlarge()) << "before " << pixels;
    size.Enlarge();
    EXPECT_EQ(font.Height(), pixels);
  }
  EXPECT_FALSE(size.CanEnlarge());
  EXPECT_TRUE(size.CanShrink());
  size.Enlarge();
  EXPECT_EQ(font.Height(), 40);
  // Down the same steps to the bottom, where a further press changes nothing either.
  const int down[] = {37, 35, 32, 29, 27, 24, 21, 19, 16, 13, 11, 8, 8};
  for (const int pixels : down) {
    size.Shrink();
    EXPECT_EQ(font.Height(), pixels);
  }
  EXPECT_FALSE(size.CanShrink());
  EXPECT_TRUE(size.CanEnlarge());
  size.Enlarge();
  EXPECT_EQ(font.Height(), 11) << "back on the buttons' steps";
}

TEST(LyricsFontSize, AHeightSetFromOutsideIsBroughtWithinTheBounds) {
  Font font;
  LyricsFontSize size(font);
  const struct {
    int given;
    int kept;
  } rows[] = {{7, 8}, {8, 8}, {23, 23}, {40, 40}, {41, 40}, {-5, 8}};
  for (const auto& row : rows) {
    size.SetPixels(row.given);
    EXPECT_EQ(font.Height(), row.kept) << "given " << row.given;
  }
  size.SetPixels(39);
  EXPECT_TRUE(size.CanEnlarge());
  size.Enlarge();
  EXPECT_EQ(font.Height(), 40);
  EXPECT_FALSE(LyricsFontSize::WithinBounds(7));
  EXPECT_TRUE(LyricsFontSize::WithinBounds(8));
  EXPECT_TRUE(LyricsFontSize::WithinBounds(40));
  EXPECT_FALSE(LyricsFontSize::WithinBounds(41));
}

}  // namespace
}  // namespace orvelle

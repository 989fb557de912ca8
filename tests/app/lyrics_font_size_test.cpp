// The lyrics font size count: whole steps of two points without a bound, the font given at
// least one point.

#include "lyrics/lyrics_font_size.h"
#include "toolkit/font.h"

#include <gtest/gtest.h>

namespace orvelle {
namespace {

TEST(LyricsFontSize, CountsBelowZeroAndGivesTheFontAtLeastOnePoint) {
  Font font;  // Tahoma, 11 pixels: 8 points
  LyricsFontSize size(font);
  ASSERT_EQ(size.Points(), 8);
  struct Step {
    bool enlarge;
    int points;
    int font_points;
  };
  const Step steps[] = {{true, 10, 10}, {false, 8, 8}, {false, 6, 6}, {false, 4, 4}, {false, 2, 2},
                        {false, 0, 1},  {false, -2, 1}, {false, -4, 1}, {true, -2, 1}, {true, 0, 1}, {true, 2, 2}};
  for (const Step& step : steps) {
    step.enlarge ? size.Enlarge() : size.Shrink();
    EXPECT_EQ(size.Points(), step.points);
    EXPECT_EQ(font.Size(), step.font_points) << "at " << step.points << " points";
  }
}

}  // namespace
}  // namespace orvelle

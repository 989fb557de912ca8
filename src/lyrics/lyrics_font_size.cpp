#include "lyrics/lyrics_font_size.h"

#include "toolkit/font.h"
#include "toolkit/mul_div.h"

#include <algorithm>

namespace orvelle {

namespace {

constexpr int kPixelsPerInch = 96;
constexpr int kPointsPerInch = 72;

}  // namespace

int LyricsFontSize::Pixels() const { return font_.Height(); }

void LyricsFontSize::SetPixels(int pixels) { font_.SetHeight(std::clamp(pixels, kSmallestPixels, kLargestPixels)); }

void LyricsFontSize::Step(int points) {
  // The step is counted from the size in points the font has now, so that sizes taken back from
  // an earlier run (any height within the bounds) go on by the same steps as the buttons make.
  SetPixels(MulDiv(font_.Size() + points, kPixelsPerInch, kPointsPerInch));
}

}  // namespace orvelle

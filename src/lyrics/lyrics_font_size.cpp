#include "lyrics/lyrics_font_size.h"

#include "toolkit/font.h"

#include <algorithm>

namespace orvelle {

LyricsFontSize::LyricsFontSize(Font& font) : font_(font), points_(font.Size()) {}

void LyricsFontSize::Step(int points) {
  points_ += points;
  font_.SetSize(std::max(points_, kSmallestDrawnPoints));
}

}  // namespace orvelle

#pragma once

namespace orvelle {

class Font;

// The lyrics view's font size as the larger-text and smaller-text buttons count it, in points.
// The count starts at the font's size when the first button is pressed and goes on by whole
// steps without a bound, below zero too; the font itself is given at least kSmallestDrawnPoints,
// since a text of zero or fewer points cannot be drawn (and the font would take the size's
// magnitude, turning -4 into 4).
class LyricsFontSize {
 public:
  static constexpr int kStepPoints = 2;
  static constexpr int kSmallestDrawnPoints = 1;

  explicit LyricsFontSize(Font& font);

  void Enlarge() { Step(kStepPoints); }
  void Shrink() { Step(-kStepPoints); }
  // The counted size, which may be zero or negative.
  int Points() const { return points_; }

 private:
  void Step(int points);

  Font& font_;
  int points_;
};

}  // namespace orvelle

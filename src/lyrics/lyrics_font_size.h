#pragma once

namespace orvelle {

class Font;

// The lyrics view's font size as the larger-text and smaller-text buttons set it: each press
// moves it by two points, and it stays between kSmallestPixels and kLargestPixels high (6 and 30
// points at 96 pixels per inch), so that the lyrics never shrink to an unreadable speck and never
// grow past a few words a line. At a bound the button that would pass it has nothing left to do
// (CanEnlarge, CanShrink), and a press there changes nothing.
class LyricsFontSize {
 public:
  static constexpr int kStepPoints = 2;
  static constexpr int kSmallestPixels = 8;
  static constexpr int kLargestPixels = 40;

  explicit LyricsFontSize(Font& font) : font_(font) {}

  // Whether a height is one the lyrics may be shown at.
  static bool WithinBounds(int pixels) { return pixels >= kSmallestPixels && pixels <= kLargestPixels; }

  void Enlarge() { Step(kStepPoints); }
  void Shrink() { Step(-kStepPoints); }
  bool CanEnlarge() const { return Pixels() < kLargestPixels; }
  bool CanShrink() const { return Pixels() > kSmallestPixels; }

  // The font's height in pixels.
  int Pixels() const;
  // Gives the font this height, brought within the bounds.
  void SetPixels(int pixels);

 private:
  void Step(int points);

  Font& font_;
};

}  // namespace orvelle

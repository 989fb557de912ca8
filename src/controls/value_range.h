#pragma once

#include "toolkit/mul_div.h"

#include <cstdint>

namespace orvelle {

// The value rule of the kit's range controls (progress bar, track bar): a value above the
// maximum becomes the maximum, otherwise a value below the minimum becomes the minimum. With the
// minimum above the maximum a value between them therefore lands on the maximum.
constexpr int ClampToRange(int value, int minimum, int maximum) {
  if (value > maximum) return maximum;
  if (value < minimum) return minimum;
  return value;
}

// The minimum, maximum and value of a range control. Each setter reports whether it changed
// anything, so that the control repaints (and raises its change event) only then. Moving an end
// of the range pulls the value along silently; MinValue <= MaxValue is not enforced.
class ValueRange {
 public:
  ValueRange(int minimum, int maximum, int value) : minimum_(minimum), maximum_(maximum), value_(value) {}

  int Minimum() const { return minimum_; }
  int Maximum() const { return maximum_; }
  int Value() const { return value_; }

  // A different minimum is stored and lifts a value below it.
  bool SetMinimum(int minimum) {
    if (minimum == minimum_) return false;
    minimum_ = minimum;
    if (value_ < minimum_) value_ = minimum_;
    return true;
  }
  // A different maximum is stored and lowers a value above it.
  bool SetMaximum(int maximum) {
    if (maximum == maximum_) return false;
    maximum_ = maximum;
    if (value_ > maximum_) value_ = maximum_;
    return true;
  }
  // The value clamped to the range; true when that differs from the stored one.
  bool SetValue(int value) {
    value = ClampToRange(value, minimum_, maximum_);
    if (value == value_) return false;
    value_ = value;
    return true;
  }
  // Span from the minimum to the value and to the maximum, in 64 bits.
  std::int64_t Reached() const { return std::int64_t{value_} - minimum_; }
  std::int64_t Span() const { return std::int64_t{maximum_} - minimum_; }

 private:
  int minimum_;
  int maximum_;
  int value_;
};

// A pixel position or length worked out in 64 bits, as a canvas coordinate: anything beyond the
// largest widget (Qt's QWIDGETSIZE_MAX) lies outside every control, so it is held there, and sums
// of a few such coordinates still fit in 32 bits.
constexpr int kCanvasLimit = (1 << 24) - 1;
constexpr int ClampToCanvas(std::int64_t v) {
  return static_cast<int>(v < -kCanvasLimit ? -kCanvasLimit : v > kCanvasLimit ? kCanvasLimit : v);
}

}  // namespace orvelle

#pragma once

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

// a * b / c rounded to the nearest integer, ties to even; 0 when c is 0. Computed in 64 bits,
// so a pixel length times a value range never overflows.
constexpr std::int64_t MulDivRoundEven(std::int64_t a, std::int64_t b, std::int64_t c) {
  if (c == 0) return 0;
  std::int64_t num = a * b;
  if (c < 0) {
    num = -num;
    c = -c;
  }
  std::int64_t quotient = num / c;
  std::int64_t remainder = num % c;
  if (remainder < 0) {  // floor division
    quotient -= 1;
    remainder += c;
  }
  const std::int64_t twice = 2 * remainder;
  if (twice > c || (twice == c && quotient % 2 != 0)) quotient += 1;
  return quotient;
}

}  // namespace orvelle

#pragma once

#include <cstdint>

namespace orvelle {

// a * b / c rounded to the nearest integer, halves to the even one; 0 when c is 0. Computed in
// 64 bits, so a pixel length times a value range never overflows.
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

// The scaling of pixel sizes by M/D and the percentages of colour channels: a * b / c rounded as
// MulDivRoundEven, and -1 when c is 0.
constexpr int MulDiv(int a, int b, int c) { return c == 0 ? -1 : static_cast<int>(MulDivRoundEven(a, b, c)); }

}  // namespace orvelle

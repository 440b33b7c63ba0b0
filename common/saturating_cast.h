// The one conversion from a floating value to an integer: truncation toward zero (as C does),
// saturating at the target's limits instead of the undefined behaviour of an out-of-range cast.
#pragma once

#include <cmath>
#include <concepts>
#include <limits>

namespace zorvik {

template <std::integral Int>
constexpr Int TruncSaturate(long double value) {
  static_assert(sizeof(Int) <= 4, "64-bit limits are not exact in every floating type");
  using Limits = std::numeric_limits<Int>;
  if (std::isnan(value)) return 0;
  if (value <= static_cast<long double>(Limits::min())) return Limits::min();
  if (value >= static_cast<long double>(Limits::max())) return Limits::max();
  return static_cast<Int>(value);
}

}  // namespace zorvik

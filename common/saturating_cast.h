// The one conversion from a floating value to an integer: truncation toward zero (as C does),
// saturating at the target's limits instead of the undefined behaviour of an out-of-range cast.
#pragma once

#include <concepts>
#include <limits>

namespace zorvik {

// Limits of types up to 32 bits convert to float, double and long double without overflow; a
// float limit may round up (2^31), which the >= comparison still saturates correctly.
template <std::integral Int, std::floating_point Float>
constexpr Int TruncSaturate(Float value) {
  static_assert(sizeof(Int) <= 4, "64-bit limits are not exact in every floating type");
  using Limits = std::numeric_limits<Int>;
  if (value != value) return 0;  // NaN
  if (value <= static_cast<Float>(Limits::min())) return Limits::min();
  if (value >= static_cast<Float>(Limits::max())) return Limits::max();
  return static_cast<Int>(value);
}

}  // namespace zorvik

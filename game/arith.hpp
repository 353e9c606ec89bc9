// The game's two arithmetic rules in one place: integers are formed wide and
// stored by keeping their low 16 bits; real-valued steps are long double and
// round to nearest with ties to even (never std::round, which rounds ties
// away from zero).
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

// Two's-complement wrap into 16 bits (well defined since C++20).
constexpr int16_t Store16(int64_t v) { return static_cast<int16_t>(v); }
constexpr uint8_t Store8(uint64_t v) { return static_cast<uint8_t>(v); }

// Round to nearest, ties to even, under the default rounding mode (asserted at
// start-up). NaN gives 0; values beyond 64 bits saturate, so every caller gets
// a defined integer whatever a formula produced.
inline int64_t RoundEven(long double v) {
  if (std::isnan(v)) return 0;
  const long double r = std::nearbyintl(v);
  if (r >= 9223372036854775807.0L) return std::numeric_limits<int64_t>::max();
  if (r <= -9223372036854775808.0L) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(r);
}

// Checks once that the floating-point environment rounds to nearest.
bool RoundingModeIsNearest();

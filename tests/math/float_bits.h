// Bit-level comparison for the math tests: the library computes the same
// bits on every platform, the sign of zero included, so its tests compare
// bits rather than values.
#pragma once

#include <cstdint>
#include <cstring>

inline std::uint32_t floatBits(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

inline float floatFromBits(std::uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// Same bits: distinguishes -0.0 from +0.0 and matches NaN to NaN.
#define EXPECT_SAME_FLOAT(expected, actual) EXPECT_EQ(floatBits(expected), floatBits(actual))

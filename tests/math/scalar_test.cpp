#include "math/scalar.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/math/float_bits.h"

namespace {

const float kInf = std::numeric_limits<float>::infinity();

TEST(InvSqrt, MatchesTheOneNewtonStepApproximation) {
  EXPECT_SAME_FLOAT(0.99830717f, invSqrt(1.0f));
  EXPECT_SAME_FLOAT(0.49915358f, invSqrt(4.0f));
  EXPECT_SAME_FLOAT(1.9817754e19f, invSqrt(0.0f));
}

TEST(InvSqrt, StaysWithinItsErrorBoundOverPositiveFloats) {
  // Smallest subnormal, smallest normal, ordinary values, largest finite.
  for (float x : {1.0e-45f, 1.17549435e-38f, 0.001f, 2.0f, 3.0f, 1.0e6f, 3.4028235e38f}) {
    const double exact = 1.0 / std::sqrt(static_cast<double>(x));
    if (x >= 1.17549435e-38f) {
      EXPECT_NEAR(invSqrt(x) / exact, 1.0, 0.00176) << x;
    } else {
      EXPECT_TRUE(std::isfinite(invSqrt(x)) && invSqrt(x) > 0.0f) << x;
    }
  }
}

TEST(InvSqrt, OutOfDomainArguments) {
  EXPECT_TRUE(std::isnan(invSqrt(-1.0f)));
  EXPECT_TRUE(std::isnan(invSqrt(-kInf)));
  EXPECT_TRUE(std::isnan(invSqrt(std::numeric_limits<float>::quiet_NaN())));
  EXPECT_SAME_FLOAT(0.0f, invSqrt(kInf));
  // -0 compares equal to +0 and is treated as it.
  EXPECT_SAME_FLOAT(invSqrt(0.0f), invSqrt(-0.0f));
}

TEST(FastSin, ReadsTheTableEntryOfTheTruncatedWrappedAngle) {
  EXPECT_EQ(0.0, fastSin(0.0));
  EXPECT_EQ(0.47942554, fastSin(0.5));
  EXPECT_EQ(SineTable[50], fastSin(0.5));
  EXPECT_EQ(SineTable[50], fastSin(0.50999));
  // The period is the decimal 6.28318530718: that angle itself is not
  // wrapped and reads the last entry; one step past it wraps.
  EXPECT_EQ(-0.0031853018, fastSin(6.28318530718));
  EXPECT_EQ(0.0099998333, fastSin(6.3));
  // Negative angles are looked up at their wrapped positive equivalent.
  EXPECT_EQ(-0.48221847, fastSin(-0.5));
  EXPECT_EQ(SineTable[578], fastSin(-0.5));
  EXPECT_EQ(SineTable[0], fastSin(-0.0));
}

TEST(FastSin, NanWhereTheAngleHasNoWrappedValue) {
  // Wrapping, its bounds and the huge angles are wrapAngle's tests; NaN from
  // it must not reach the table index.
  EXPECT_TRUE(std::isnan(fastSin(std::numeric_limits<double>::quiet_NaN())));
  EXPECT_TRUE(std::isnan(fastSin(std::numeric_limits<double>::infinity())));
  EXPECT_TRUE(std::isnan(fastSin(-std::numeric_limits<double>::infinity())));
  EXPECT_TRUE(std::isnan(fastCos(std::numeric_limits<double>::infinity())));
  EXPECT_TRUE(std::isnan(fastSin(1.0e17)));
}

TEST(FastCos, IsFastSinOfTheQuarterTurnMinusTheAngle) {
  EXPECT_EQ(0.99999968, fastCos(0.0));
  EXPECT_EQ(SineTable[157], fastCos(0.0));
  EXPECT_EQ(0.8772005, fastCos(0.5));
  EXPECT_EQ(SineTable[107], fastCos(0.5));
  EXPECT_EQ(fastSin(1.5707963268 - 4.0), fastCos(4.0));
}

TEST(FastAbs, ClearsOnlyTheSignBit) {
  EXPECT_SAME_FLOAT(2.5f, fastAbs(-2.5f));
  EXPECT_SAME_FLOAT(2.5f, fastAbs(2.5f));
  EXPECT_SAME_FLOAT(0.0f, fastAbs(-0.0f));
  EXPECT_SAME_FLOAT(kInf, fastAbs(-kInf));
  EXPECT_EQ(0x3F800000u, fastAbsBits(0xBF800000u));
  EXPECT_EQ(0x7FC00001u, fastAbsBits(0xFFC00001u));  // NaN payload kept
  EXPECT_EQ(0x00000000u, fastAbsBits(0x80000000u));
  EXPECT_EQ(0x12345678u, fastAbsBits(0x12345678u));
}

}  // namespace

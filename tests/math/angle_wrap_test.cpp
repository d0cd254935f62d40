// wrapAngle and fastSin against the repeated subtraction and addition they
// stand for, run literally one turn at a time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "math/scalar.h"

namespace {

constexpr double kTurn = 6.28318530718;

std::uint64_t doubleBits(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// The wrap one turn per step. Every `stride` steps the angle reached is
// appended to `passed`: the loop from there takes the remaining steps of this
// one, so it ends where this one ends.
double literalWrap(double angle, std::vector<double>* passed = nullptr, std::int64_t stride = 1) {
  std::int64_t untilRecord = stride;
  while (kTurn < angle) {
    angle = angle - kTurn;
    if (passed != nullptr && --untilRecord == 0) {
      passed->push_back(angle);
      untilRecord = stride;
    }
  }
  while (angle < 0.0) {
    angle = angle + kTurn;
    if (passed != nullptr && --untilRecord == 0) {
      passed->push_back(angle);
      untilRecord = stride;
    }
  }
  return angle;
}

// Counts the angles where wrapAngle (to the bit) or fastSin (the entry) differ
// from where the literal wrap ends, reporting the first few.
class WrapComparison {
 public:
  void expect(double angle, double literal) {
    ++compared_;
    const double wrapped = wrapAngle(angle);
    const double sine = fastSin(angle);
    const double expectedSine = SineTable[static_cast<int>(literal * 100.0)];
    if (doubleBits(wrapped) == doubleBits(literal) && sine == expectedSine) {
      if (std::fabs(angle) >= 1.0e6 && std::fabs(angle) <= 1.0e9) ++agreeingFromMillionToBillion_;
      return;
    }
    if (++differing_ <= 5) {
      ADD_FAILURE() << std::hexfloat << "angle " << angle << ": wrapAngle " << wrapped
                    << ", the loop " << literal << "; fastSin " << sine << ", the loop's entry "
                    << expectedSine;
    }
  }
  // Compares `start` and about `count` of the angles its loop passes on the
  // way down, evenly spaced.
  void expectTrajectory(double start, std::int64_t count) {
    std::vector<double> passed;
    const double literal = literalWrap(
        start, &passed, static_cast<std::int64_t>(std::fabs(start) / kTurn) / count + 1);
    expect(start, literal);
    for (double angle : passed) expect(angle, literal);
  }
  long compared() const { return compared_; }
  long agreeing() const { return compared_ - differing_; }
  long agreeingFromMillionToBillion() const { return agreeingFromMillionToBillion_; }

 private:
  long compared_ = 0;
  long differing_ = 0;
  long agreeingFromMillionToBillion_ = 0;
};

// Magnitudes spread evenly over the decades from 10^lowDecade to 10^highDecade.
double logUniform(std::mt19937_64& random, double lowDecade, double highDecade) {
  return std::pow(10.0, std::uniform_real_distribution<double>(lowDecade, highDecade)(random));
}

TEST(WrapAngle, MatchesTheLiteralLoopOnRandomAngles) {
  WrapComparison comparison;
  std::mt19937_64 random(20261208);
  for (int i = 0; i < 4000; ++i) {
    const double magnitude = logUniform(random, -3.0, 5.0);
    const double angle = i % 2 == 0 ? magnitude : -magnitude;
    comparison.expect(angle, literalWrap(angle));
  }
  EXPECT_EQ(4000, comparison.agreeing());
}

TEST(WrapAngle, MatchesTheLiteralLoopAtBinadeEdges) {
  // Where a step leaves a binade, where the first step stays in it, and the
  // binade [16, 32), where the period is an odd number of half units and
  // each difference is a tie: an odd or even starting significand, a few
  // units either side.
  WrapComparison comparison;
  for (int exponent = -3; exponent <= 22; ++exponent) {
    const double edge = std::ldexp(1.0, exponent);
    for (double base : {edge, edge + kTurn, edge + 2.0 * kTurn, 1.5 * edge}) {
      double below = base, above = base;
      for (int units = 0; units <= 4; ++units) {
        for (double angle : {below, above, -below, -above}) {
          comparison.expect(angle, literalWrap(angle));
        }
        below = std::nextafter(below, 0.0);
        above = std::nextafter(above, 2.0 * base);
      }
    }
  }
  EXPECT_EQ(comparison.compared(), comparison.agreeing());
}

TEST(WrapAngle, MatchesTheLiteralLoopUpToABillion) {
  // Each loop also vouches for the angles it passes on its way down.
  WrapComparison comparison;
  std::mt19937_64 random(7);
  for (double start : {9.87654321e8, -logUniform(random, 8.5, 8.7), logUniform(random, 7.0, 8.0),
                       -logUniform(random, 6.0, 7.0), logUniform(random, 5.0, 6.0)}) {
    comparison.expectTrajectory(start, 2000);
  }
  EXPECT_GT(comparison.compared(), 9000);
  EXPECT_EQ(comparison.compared(), comparison.agreeing());
}

TEST(WrapAngle, OneTurnLessWrapsTheSameUpToWhereTheLoopNeverEnds) {
  // The loop's own recurrence: above one turn, the angle and the angle one
  // step down end in the same place; at most one turn, the angle is kept.
  std::mt19937_64 random(11);
  for (int i = 0; i < 20000; ++i) {
    const double angle = logUniform(random, 0.9, 16.85);
    ASSERT_LT(angle, std::ldexp(1.0, 56));
    const double wrapped = wrapAngle(angle);
    ASSERT_EQ(doubleBits(wrapAngle(angle - kTurn)), doubleBits(wrapped)) << std::hexfloat << angle;
    ASSERT_EQ(doubleBits(wrapAngle(-angle + kTurn)), doubleBits(wrapAngle(-angle)))
        << std::hexfloat << -angle;
    ASSERT_TRUE(0.0 <= wrapped && wrapped <= kTurn) << std::hexfloat << angle;
  }
  EXPECT_EQ(doubleBits(kTurn), doubleBits(wrapAngle(kTurn)));
  EXPECT_EQ(doubleBits(0.0), doubleBits(wrapAngle(0.0)));
  EXPECT_EQ(doubleBits(-0.0), doubleBits(wrapAngle(-0.0)));
  EXPECT_EQ(doubleBits(0.0), doubleBits(wrapAngle(-kTurn)));
}

TEST(WrapAngle, NanWhereTheLoopNeverEnds) {
  const double top = std::ldexp(1.0, 56);
  // 2^56 itself still steps down (its difference rounds on the finer grid
  // below); the next double up no longer moves.
  EXPECT_FALSE(std::isnan(wrapAngle(top)));
  EXPECT_FALSE(std::isnan(wrapAngle(-top)));
  EXPECT_FALSE(std::isnan(wrapAngle(std::nextafter(top, 0.0))));
  for (double angle :
       {std::nextafter(top, 1e300), 1.0e17, 1.0e300, std::numeric_limits<double>::max(),
        std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_TRUE(std::isnan(wrapAngle(angle))) << angle;
    EXPECT_TRUE(std::isnan(wrapAngle(-angle))) << -angle;
    EXPECT_TRUE(std::isnan(fastSin(angle))) << angle;
    EXPECT_TRUE(std::isnan(fastCos(-angle))) << -angle;
  }
}

// The literal wrap of many angles, 16 at a time side by side: the chains of
// subtractions are independent, so the processor overlaps them instead of
// waiting on each one. Each lane takes exactly literalWrap's steps. Angles
// sorted by magnitude keep the lanes of a batch about equally long.
std::vector<double> literalWrapSideBySide(std::vector<double> angles) {
  constexpr std::size_t kLanes = 16;
  for (std::size_t first = 0; first < angles.size(); first += kLanes) {
    double lane[kLanes] = {};
    const std::size_t used = std::min(kLanes, angles.size() - first);
    std::copy_n(angles.begin() + first, used, lane);
    for (bool stepped = true; stepped;) {
      stepped = false;
      for (double& angle : lane) {
        const bool step = kTurn < angle;
        angle = step ? angle - kTurn : angle;
        stepped |= step;
      }
    }
    for (bool stepped = true; stepped;) {
      stepped = false;
      for (double& angle : lane) {
        const bool step = angle < 0.0;
        angle = step ? angle + kTurn : angle;
        stepped |= step;
      }
    }
    std::copy_n(lane, used, angles.begin() + first);
  }
  return angles;
}

// Too long for every run (minutes): run it with
// --gtest_also_run_disabled_tests --gtest_filter='*LongCheck*'.
TEST(WrapAngleLongCheck, DISABLED_TenThousandAnglesFromAMillionToABillion) {
  // Ten thousand independent angles, their magnitudes spread evenly over the
  // decades from a million to a billion, half of them negative.
  std::mt19937_64 random(20261209);
  std::vector<double> angles;
  for (int i = 0; i < 10000; ++i) {
    const double magnitude = logUniform(random, 6.0, 9.0);
    angles.push_back(i % 2 == 0 ? magnitude : -magnitude);
  }
  std::sort(angles.begin(), angles.end(),
            [](double a, double b) { return std::fabs(a) < std::fabs(b); });
  const std::vector<double> literal = literalWrapSideBySide(angles);
  WrapComparison comparison;
  for (std::size_t i = 0; i < angles.size(); ++i) comparison.expect(angles[i], literal[i]);
  // And one loop from ten billion, with a thousand of the angles it passes.
  comparison.expectTrajectory(9.99999e9, 1000);
  std::printf(
      "%ld of %ld angles agree with the loop, %ld of them between 1e6 and 1e9 in magnitude\n",
      comparison.agreeing(), comparison.compared(), comparison.agreeingFromMillionToBillion());
  EXPECT_GE(comparison.agreeingFromMillionToBillion(), 10000);
  EXPECT_EQ(comparison.compared(), comparison.agreeing());
}

}  // namespace

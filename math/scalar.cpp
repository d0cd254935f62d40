#include "math/scalar.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

// The wrap period and the quarter turn are these decimals, not the doubles
// nearest to 2*pi and pi/2; the table lookup is defined against them.
constexpr double kTurn = 6.28318530718;
constexpr double kQuarterTurn = 1.5707963268;

// Up to this magnitude the angle is wrapped one turn per step, exactly as
// the lookup is defined (about 160,000 steps at most). Beyond it a step no
// longer moves the angle by a whole turn in the last bits (and at 2^53 not at
// all), so the remainder is taken at once instead.
constexpr double kSteppedWrapLimit = 1.0e6;

}  // namespace

float invSqrt(float x) {
  if (!(x >= 0.0f)) return std::numeric_limits<float>::quiet_NaN();
  if (x == std::numeric_limits<float>::infinity()) return 0.0f;
  const float half = static_cast<float>(static_cast<double>(x) * 0.5);
  std::uint32_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  // x is +0 or positive here, or -0, whose magnitude is +0: with the sign bit
  // clear the shift and subtraction stay within the positive int32 range.
  const std::int32_t i = static_cast<std::int32_t>(fastAbsBits(bits));
  const std::int32_t guessBits = 0x5F3759DF - (i >> 1);
  float y;
  std::memcpy(&y, &guessBits, sizeof y);
  const double yd = y;
  return static_cast<float>((1.5 - (static_cast<double>(half) * yd) * yd) * yd);
}

double fastSin(double angle) {
  if (!std::isfinite(angle)) return std::numeric_limits<double>::quiet_NaN();
  if (std::fabs(angle) > kSteppedWrapLimit) angle = std::fmod(angle, kTurn);
  while (kTurn < angle) angle = angle - kTurn;
  while (angle < 0.0) angle = angle + kTurn;
  const int index = static_cast<int>(angle * 100.0);
  return SineTable[index];
}

double fastCos(double angle) { return fastSin(kQuarterTurn - angle); }

float fastAbs(float x) {
  std::uint32_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  bits = fastAbsBits(bits);
  float result;
  std::memcpy(&result, &bits, sizeof result);
  return result;
}

std::uint32_t fastAbsBits(std::uint32_t bits) { return bits & 0x7FFFFFFFu; }

#include "math/scalar.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

// The wrap period and the quarter turn are these decimals, not the doubles
// nearest to 2*pi and pi/2; the table lookup is defined against them.
constexpr double kTurn = 6.28318530718;
constexpr double kQuarterTurn = 1.5707963268;

// Repeats `value = value - kTurn` while `limit < value` and returns where that
// ends, or NaN where it never would (a step that leaves the value unchanged:
// above 2^56 and at infinity). Bounded time: the steps are counted, not
// taken one by one.
//
// Within one binade [2^(e-1), 2^e) the doubles are the multiples of one unit.
// While value - kTurn stays inside the binade, each step rounds the same
// exact difference on the same grid, so it subtracts the same whole number of
// units: kTurn in units, rounded to nearest. The one tie (the binade where
// kTurn is an odd number of half units) rounds each difference to an even
// significand; after one literal step the significand is even, and from there
// every step subtracts kTurn rounded to the even neighbour, which is what
// nearbyint gives. So each pass takes one literal step, then all the steps
// that stay inside the binade at once; the few steps that cross into the next
// binade down are the literal steps of the following passes.
double subtractTurnsWhileAbove(double value, double limit) {
  while (limit < value) {
    const double stepped = value - kTurn;
    if (stepped == value) return std::numeric_limits<double>::quiet_NaN();
    value = stepped;
    if (!(limit < value)) break;
    int exponent;
    std::frexp(value, &exponent);
    const double binadeStart = std::ldexp(1.0, exponent - 1);
    // Here no step stays inside the binade: always so where the binade is
    // narrower than a turn (and its unit counts would overflow).
    if (value < binadeStart + kTurn) continue;
    const int unitExponent = exponent - 53;
    const std::int64_t units = static_cast<std::int64_t>(std::ldexp(value, -unitExponent));
    const double turnUnits = std::ldexp(kTurn, -unitExponent);
    const std::int64_t step = static_cast<std::int64_t>(std::nearbyint(turnUnits));
    // A step from `units` stays inside the binade exactly when
    // units - turnUnits >= 2^52, the binade's first significand.
    const std::int64_t lowestFull =
        (std::int64_t{1} << 52) + static_cast<std::int64_t>(std::ceil(turnUnits));
    if (units < lowestFull) continue;
    const std::int64_t count = (units - lowestFull) / step + 1;
    value = std::ldexp(static_cast<double>(units - count * step), unitExponent);
  }
  return value;
}

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

double wrapAngle(double angle) {
  angle = subtractTurnsWhileAbove(angle, kTurn);
  // Adding a turn to a negative value is subtracting one from its magnitude
  // (rounding to nearest is symmetric). 0.0 - x rather than -x: a sum that
  // comes out exactly zero is +0.
  if (angle < 0.0) angle = 0.0 - subtractTurnsWhileAbove(0.0 - angle, 0.0);
  return angle;
}

double fastSin(double angle) {
  angle = wrapAngle(angle);
  if (std::isnan(angle)) return angle;
  return SineTable[static_cast<int>(angle * 100.0)];
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

// Fast approximate scalar functions of the engine library. They trade
// accuracy for speed and are deliberately not the standard library's: every
// length and normalisation in the library goes through invSqrt.
#pragma once

#include <cstdint>

#include "math/exact_arithmetic.h"

// sin(i / 100) for i = 0..628, each to 8 significant digits; written out as
// literals by scripts/gen-sine-table.
extern const double SineTable[629];

// Approximately 1 / sqrt(x): the bit-level initial guess 0x5F3759DF and one
// Newton step, relative error at most about 0.18 % over positive floats.
// Outside the domain: a negative argument or NaN gives NaN, +infinity gives
// 0, and -0.0 is treated as +0.0 (giving 1.9817754e19).
float invSqrt(float x);

// The angle brought into [0, 6.28318530718] by subtracting that period while
// the angle exceeds it, then adding it while the angle is negative, one turn
// at a time in double precision: the result has exactly the bits those
// repeated roundings give, for every finite angle, yet costs a few dozen
// steps at most. NaN where the repetition would never end: a magnitude above
// 2^56 (about 7.2e16), where subtracting one turn no longer changes the value,
// and an infinite or NaN angle.
double wrapAngle(double angle);

// Sine by table lookup: SineTable at wrapAngle(angle) truncated down to a
// multiple of 0.01. Error up to about 0.01. NaN where wrapAngle gives NaN.
double fastSin(double angle);

// fastSin(1.5707963268 - angle).
double fastCos(double angle);

// The argument with its sign bit cleared; no comparison, no branch.
float fastAbs(float x);
std::uint32_t fastAbsBits(std::uint32_t bits);

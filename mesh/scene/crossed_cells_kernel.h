// The row kernel behind findCrossedCells*, written once over a GCC vector of
// doubles and compiled once per instruction set. Included only by the files
// that instantiate it (and by the extractor for the bounds); everything is in
// an unnamed namespace so that code compiled for AVX2 can never be picked by
// the linker for a caller that runs on a CPU without it.
#pragma once

#include <cstring>

#include "mesh/scene/crossed_cells.h"
#include "scene/scene.h"

namespace mcubes::internal {

namespace {

// With a = dA + 1 and b = dB + 1 (d: a corner's squared distance from a
// ball), the field s / a + s / b is below a positive iso level L exactly
// when (s / L) * (a + b) < a * b: the bounds compare products, no division.
// The corner values are rounded several times (sums, two quotients, their
// sum), each by at most one part in 2^53; a relative margin far above that
// and far below any real difference keeps the bounds conservative.
constexpr double BoundMargin = 1e-9;

// True (all lanes' bits set) where every corner is surely below the iso
// level: a and b are the least values of d + 1 over the corners of the two
// balls, formed with the sampler's order of additions, so that by the
// monotonicity of rounding no corner's d + 1 is smaller.
template <typename T>
auto surelyBelow(double strengthOverIso, T a, T b) {
  return a * b > strengthOverIso * (a + b) * (1.0 + BoundMargin);
}

// True where every corner is surely at or above the iso level; a and b are
// the largest values of d + 1 over the corners.
template <typename T>
auto surelyAbove(double strengthOverIso, T a, T b) {
  return strengthOverIso * (a + b) > a * b * (1.0 + BoundMargin);
}

template <typename Vec>
Vec loadVector(const double* from) {
  Vec v;
  std::memcpy(&v, from, sizeof v);
  return v;
}

// The eight corner values of cell k, computed lanes at a time in the
// sampler's operation order: (xy + z) + 1, s divided by it, ball A's
// quotient plus ball B's. Returns the case index (bit c: corner c below the
// iso level).
template <typename Vec>
int sampleCell(const RowInputs& row, const double (&xy)[2][8], std::int32_t k, double* values) {
  constexpr int lanes = sizeof(Vec) / sizeof(double);
  double z[2][8];
  for (int ball = 0; ball < 2; ++ball) {
    const double sides[2] = {row.balls[ball].z[0][k], row.balls[ball].z[1][k]};
    for (int corner = 0; corner < 8; ++corner) {
      z[ball][corner] = sides[CornerSide[corner][2]];
    }
  }
  const double strength = BallStrength;
  int caseIndex = 0;
  for (int first = 0; first < 8; first += lanes) {
    const Vec quotientA =
        strength / ((loadVector<Vec>(&xy[0][first]) + loadVector<Vec>(&z[0][first])) + 1.0);
    const Vec quotientB =
        strength / ((loadVector<Vec>(&xy[1][first]) + loadVector<Vec>(&z[1][first])) + 1.0);
    const Vec value = quotientA + quotientB;
    std::memcpy(values + first, &value, sizeof value);
    const auto below = value < row.isoLevel;
    for (int lane = 0; lane < lanes; ++lane) {
      if (below[lane]) caseIndex |= 1 << (first + lane);
    }
  }
  return caseIndex;
}

template <typename Vec>
std::int32_t findCrossedCells(const RowInputs& row, CrossedCell* out) {
  constexpr int lanes = sizeof(Vec) / sizeof(double);
  static_assert(RowBlock % lanes == 0, "blocks hold whole vectors");
  const RowBall& a = row.balls[0];
  const RowBall& b = row.balls[1];
  double xy[2][8];
  for (int ball = 0; ball < 2; ++ball) {
    for (int corner = 0; corner < 8; ++corner) {
      const int* side = CornerSide[corner];
      xy[ball][corner] = row.balls[ball].columnSquares[side[0] + 2 * side[1]];
    }
  }

  std::int32_t found = 0;
  for (std::int32_t first = 0; first < row.cells; first += RowBlock) {
    const std::int32_t block = first / RowBlock;
    if (surelyBelow(row.strengthOverIso, (a.columnLeast + a.zBlockLeast[block]) + 1.0,
                    (b.columnLeast + b.zBlockLeast[block]) + 1.0) ||
        surelyAbove(row.strengthOverIso, (a.columnMost + a.zBlockMost[block]) + 1.0,
                    (b.columnMost + b.zBlockMost[block]) + 1.0)) {
      continue;
    }
    for (std::int32_t k = first; k < first + RowBlock && k < row.cells; k += lanes) {
      const Vec leastA = (a.columnLeast + loadVector<Vec>(a.zLeast + k)) + 1.0;
      const Vec leastB = (b.columnLeast + loadVector<Vec>(b.zLeast + k)) + 1.0;
      const Vec mostA = (a.columnMost + loadVector<Vec>(a.zMost + k)) + 1.0;
      const Vec mostB = (b.columnMost + loadVector<Vec>(b.zMost + k)) + 1.0;
      const auto decided = surelyBelow(row.strengthOverIso, leastA, leastB) |
                           surelyAbove(row.strengthOverIso, mostA, mostB);
      for (int lane = 0; lane < lanes && k + lane < row.cells; ++lane) {
        if (decided[lane]) continue;
        CrossedCell& cell = out[found];
        const int caseIndex = sampleCell<Vec>(row, xy, k + lane, cell.values);
        if (caseIndex != 0 && caseIndex != 255) {
          cell.k = k + lane;
          ++found;
        }
      }
    }
  }
  return found;
}

}  // namespace

}  // namespace mcubes::internal

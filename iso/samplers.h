// Field samplers: each stores a cell's corner positions and adds its field to
// the corner values, so several fields can be summed in one cell. Defined
// inline (see iso/isosurface.h, which includes this file).
#pragma once

#include "iso/isosurface.h"
#include "math/exact_arithmetic.h"

namespace iso_internal {

// Corner i sits at the cell centre plus these multiples of the half edge
// (index 0: minus, 1: plus) along x, y and z.
inline constexpr int CornerSide[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1},
                                         {0, 1, 0}, {1, 1, 0}, {1, 1, 1}, {0, 1, 1}};

// Grid coordinates are world coordinates shifted by half the extent.
inline float worldCoordinate(float grid, float extent) {
  return static_cast<float>(static_cast<double>(grid) - static_cast<double>(extent) / 2.0);
}

inline float difference(float a, float b) {
  return static_cast<float>(static_cast<double>(a) - static_cast<double>(b));
}

// One axis of a cell: the two corner coordinates and, for the offset of the
// cell centre from the field's centre, the squares of the offset minus and
// plus the half edge. Every corner's sum draws on these, so they are
// computed once per axis; the values are the same as per corner.
struct Axis {
  float corner[2];
  double square[2];
};

inline Axis axis(float centre, float offset, float halfEdge) {
  const double below = static_cast<double>(offset) - halfEdge;
  const double above = static_cast<double>(offset) + halfEdge;
  return {{static_cast<float>(static_cast<double>(centre) - halfEdge),
           static_cast<float>(static_cast<double>(centre) + halfEdge)},
          {below * below, above * above}};
}

// Stores the corners and hands each corner's value, with the corner's
// squared distance from the field's centre, to addToValue.
template <typename AddToValue>
void sampleCorners(GridCell& cell, const Axis& x, const Axis& y, const Axis& z,
                   AddToValue&& addToValue) {
  for (int corner = 0; corner < 8; ++corner) {
    const int* side = CornerSide[corner];
    cell.points[corner] = {x.corner[side[0]], y.corner[side[1]], z.corner[side[2]]};
    addToValue(cell.values[corner], (x.square[side[0]] + y.square[side[1]]) + z.square[side[2]]);
  }
}

}  // namespace iso_internal

inline void clearGridCell(GridCell& cell) {
  for (int corner = 0; corner < 8; ++corner) {
    cell.points[corner] = {0.0f, 0.0f, 0.0f};
    cell.values[corner] = 0.0;
  }
}

inline void sampleMetaball(GridCell& cell, float extent, float halfEdge, float strength, float x,
                           float y, float z, float ballX, float ballY, float ballZ) {
  const float centreX = iso_internal::worldCoordinate(x, extent);
  const float centreY = iso_internal::worldCoordinate(y, extent);
  const float centreZ = iso_internal::worldCoordinate(z, extent);
  const double s = strength;
  iso_internal::sampleCorners(
      cell, iso_internal::axis(centreX, iso_internal::difference(centreX, ballX), halfEdge),
      iso_internal::axis(centreY, iso_internal::difference(centreY, ballY), halfEdge),
      iso_internal::axis(centreZ, iso_internal::difference(centreZ, ballZ), halfEdge),
      [s](double& value, double squaredDistance) { value += s / (squaredDistance + 1.0); });
}

inline void sampleSquaredDistance(GridCell& cell, float extent, float x, float y, float z,
                                  float centreX, float centreY) {
  const float worldX = iso_internal::worldCoordinate(x, extent);
  const float worldY = iso_internal::worldCoordinate(y, extent);
  const float worldZ = iso_internal::worldCoordinate(z, extent);
  // The centre lies in the plane z = 0, so the z offset is measured from 0.
  iso_internal::sampleCorners(
      cell, iso_internal::axis(worldX, iso_internal::difference(worldX, centreX), 0.5f),
      iso_internal::axis(worldY, iso_internal::difference(worldY, centreY), 0.5f),
      iso_internal::axis(worldZ, iso_internal::difference(worldZ, 0.0f), 0.5f),
      [](double& value, double squaredDistance) { value += squaredDistance; });
}

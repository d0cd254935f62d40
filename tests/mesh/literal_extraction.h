// The oracle for the extractor: the literal per-cell pipeline at any number
// of divisions and iso levels, as the demo's frame does it at 16 and 0.25. Every cell is cleared,
// both balls are sampled at its eight corners, and a copy is polygonised.
#pragma once

#include <cstdint>
#include <vector>

#include "iso/isosurface.h"
#include "mesh/scene/grid.h"
#include "scene/scene.h"

inline std::vector<Triangle> literalExtraction(const BallCentres& balls, std::int32_t divisions,
                                               double isoLevel = SceneIsoLevel) {
  const mcubes::internal::SceneGrid grid = mcubes::internal::sceneGrid(divisions);
  const float extent = static_cast<float>(GridExtent);
  std::vector<Triangle> triangles;
  GridCell cell;
  Triangle made[5];
  for (std::int32_t i = 0; i <= divisions; ++i) {
    for (std::int32_t j = 0; j <= divisions; ++j) {
      for (std::int32_t k = 0; k <= divisions; ++k) {
        const float gx = grid.coordinate(i), gy = grid.coordinate(j), gz = grid.coordinate(k);
        clearGridCell(cell);
        sampleMetaball(cell, extent, grid.halfEdge, BallStrength, gx, gy, gz, balls.a.x, balls.a.y,
                       balls.a.z);
        sampleMetaball(cell, extent, grid.halfEdge, BallStrength, gx, gy, gz, balls.b.x, balls.b.y,
                       balls.b.z);
        const int count = triangulateCell(cell, isoLevel, made);
        triangles.insert(triangles.end(), made, made + count);
      }
    }
  }
  return triangles;
}

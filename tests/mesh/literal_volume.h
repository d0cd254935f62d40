// The oracle for the volume extractor: the literal per-cell pipeline over
// the voxel lattice. Every cell in memory order (i fastest, then j, then k)
// becomes a GridCell of its eight voxels, each corner's world position
// formed in double as origin + i * a + j * b + k * c in that order and
// rounded to float once, and is polygonised; a value that is not finite
// enters as -infinity, below every level (the polygoniser puts the vertex of
// an edge to it on the edge's other end).
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "iso/isosurface.h"
#include "volume/volume.h"

inline std::vector<Triangle> literalVolumeExtraction(const VolumeGeometry& g, const double* values,
                                                     double isoLevel) {
  // Corner c's offset in (i, j, k), written out here apart from the library.
  constexpr int offsets[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1},
                                 {0, 1, 0}, {1, 1, 0}, {1, 1, 1}, {0, 1, 1}};
  const std::int64_t nx = g.dims[0], ny = g.dims[1], nz = g.dims[2];
  std::vector<Triangle> triangles;
  Triangle made[5];
  for (std::int64_t k = 0; k + 1 < nz; ++k) {
    for (std::int64_t j = 0; j + 1 < ny; ++j) {
      for (std::int64_t i = 0; i + 1 < nx; ++i) {
        GridCell cell;
        for (int c = 0; c < 8; ++c) {
          const std::int64_t at[3] = {i + offsets[c][0], j + offsets[c][1], k + offsets[c][2]};
          const double value = values[(at[2] * ny + at[1]) * nx + at[0]];
          cell.values[c] = std::isfinite(value) ? value : -INFINITY;
          float p[3];
          for (int d = 0; d < 3; ++d) {
            p[d] = static_cast<float>(((g.origin[d] + static_cast<double>(at[0]) * g.axes[0][d]) +
                                       static_cast<double>(at[1]) * g.axes[1][d]) +
                                      static_cast<double>(at[2]) * g.axes[2][d]);
          }
          cell.points[c] = {p[0], p[1], p[2]};
        }
        const int count = triangulateCell(cell, isoLevel, made);
        triangles.insert(triangles.end(), made, made + count);
      }
    }
  }
  return triangles;
}

#include "mesh/scene/scene_caps.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "iso/isosurface.h"

namespace mcubes::internal {

namespace {

// Lattice point p's cell and side along an axis of `corners` points.
struct CornerOf {
  std::int32_t cell;
  int side;
};

CornerOf cornerOf(std::int64_t p, std::int64_t corners) {
  const auto last = static_cast<std::int32_t>(corners - 2);
  return {std::min(static_cast<std::int32_t>(p), last), p > last ? 1 : 0};
}

float cellCentre(const SceneGrid& grid, std::int32_t cell) {
  return worldCoordinate(grid.coordinate(cell), static_cast<float>(GridExtent));
}

}  // namespace

VolumeGeometry gridBox(const SceneGrid& grid) {
  const std::int64_t corners = static_cast<std::int64_t>(grid.divisions) + 2;
  const float low = cellAxis(cellCentre(grid, 0), 0.0f, grid.halfEdge).corner[0];
  const float high = cellAxis(cellCentre(grid, grid.divisions), 0.0f, grid.halfEdge).corner[1];
  VolumeGeometry box{};
  const double step = (static_cast<double>(high) - low) / static_cast<double>(corners - 1);
  for (int a = 0; a < 3; ++a) {
    box.dims[a] = corners;
    box.origin[a] = low;
    box.axes[a][a] = step;
  }
  return box;
}

SceneBoundary sceneBoundary(const BallCentres& balls, const SceneGrid& grid) {
  const VolumeGeometry box = gridBox(grid);
  const std::int64_t corners = box.dims[0];
  // Per axis and lattice point: the coordinate, and each ball's square of
  // the offset, formed as the sampler forms them for that corner's cell.
  const float centres[3][2] = {
      {balls.a.x, balls.b.x}, {balls.a.y, balls.b.y}, {balls.a.z, balls.b.z}};
  std::vector<float> coordinates(static_cast<std::size_t>(corners));
  std::vector<double> squares[3][2];
  for (int a = 0; a < 3; ++a) {
    for (int ball = 0; ball < 2; ++ball) squares[a][ball].resize(coordinates.size());
  }
  for (std::int64_t p = 0; p < corners; ++p) {
    const CornerOf at = cornerOf(p, corners);
    const float centre = cellCentre(grid, at.cell);
    const auto n = static_cast<std::size_t>(p);
    coordinates[n] = cellAxis(centre, 0.0f, grid.halfEdge).corner[at.side];
    for (int a = 0; a < 3; ++a) {
      for (int ball = 0; ball < 2; ++ball) {
        squares[a][ball][n] =
            cellAxis(centre, floatDifference(centre, centres[a][ball]), grid.halfEdge)
                .square[at.side];
      }
    }
  }
  // The field at a corner in the sampler's order of operations.
  const double strength = BallStrength;
  const auto field = [&](std::size_t i, std::size_t j, std::size_t k) {
    double value = 0.0;
    for (int ball = 0; ball < 2; ++ball) {
      value +=
          strength / (((squares[0][ball][i] + squares[1][ball][j]) + squares[2][ball][k]) + 1.0);
    }
    return value;
  };
  SceneBoundary boundary{VolumeBoundary(box.dims), {}};
  const auto n = static_cast<std::size_t>(corners);
  std::vector<double> slice(n * n);
  for (std::size_t k = 0; k < n; ++k) {
    // Only the faces' voxels of a slice are read, all of the first and last.
    const bool whole = k == 0 || k == n - 1;
    for (std::size_t j = 0; j < n; ++j) {
      const bool edgeRow = whole || j == 0 || j == n - 1;
      for (std::size_t i = 0; i < n; i = edgeRow || i == n - 1 ? i + 1 : n - 1) {
        slice[j * n + i] = field(i, j, k);
      }
    }
    boundary.values.record(static_cast<std::int64_t>(k), slice.data());
  }
  // Points of the outer layer lie a step beyond the box; only the way out
  // (the caps' normals) is taken from them.
  const float step = grid.step;
  boundary.points = [coordinates = std::move(coordinates), step](const std::int64_t(&p)[3]) {
    float c[3];
    const auto last = static_cast<std::int64_t>(coordinates.size()) - 1;
    for (int a = 0; a < 3; ++a) {
      const std::int64_t at = std::clamp<std::int64_t>(p[a], 0, last);
      c[a] = coordinates[static_cast<std::size_t>(at)];
      if (p[a] < 0) c[a] -= step;
      if (p[a] > last) c[a] += step;
    }
    return Point3{c[0], c[1], c[2]};
  };
  return boundary;
}

}  // namespace mcubes::internal

#include "mesh/volume/volume_lattice.h"

#include <cmath>
#include <cstring>

namespace mcubes::internal {

namespace {

bool strictlyMonotone(const std::vector<float>& c) {
  bool rising = true, falling = true;
  for (std::size_t n = 1; n < c.size(); ++n) {
    rising = rising && c[n - 1] < c[n];
    falling = falling && c[n - 1] > c[n];
  }
  return rising || falling;
}

// A gradient g in index space is (a . G, b . G, c . G) for the world
// gradient G: G = M^-T g with M's columns the axes. Cofactors over the
// determinant; a singular mapping leaves the index-space gradient.
void invertTransposed(const double (&m)[3][3], double (&inverse)[3][3]) {
  double cof[3][3];
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      const int r1 = (r + 1) % 3, r2 = (r + 2) % 3, c1 = (c + 1) % 3, c2 = (c + 2) % 3;
      cof[r][c] = m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1];
    }
  }
  const double det = m[0][0] * cof[0][0] + m[0][1] * cof[0][1] + m[0][2] * cof[0][2];
  for (int coordinate = 0; coordinate < 3; ++coordinate) {
    for (int axis = 0; axis < 3; ++axis) {
      inverse[coordinate][axis] =
          det != 0.0 ? cof[axis][coordinate] / det : (coordinate == axis ? 1.0 : 0.0);
    }
  }
}

}  // namespace

Lattice makeLattice(const VolumeGeometry& geometry, const LatticeOptions& options) {
  Lattice l;
  for (int a = 0; a < 3; ++a) l.dims[a] = geometry.dims[a];
  l.negated = options.inside == Inside::Below;
  l.iso = l.negated ? -options.iso : options.iso;
  l.edgeKeys = options.edgeKeys;
  l.normals = options.normals;
  l.weld = options.weld;
  l.vectorUnit = options.vectorUnit;
  std::memcpy(l.axes, geometry.axes, sizeof l.axes);
  for (int d = 0; d < 3; ++d) {
    l.rowStart[d].resize(static_cast<std::size_t>(l.dims[0]));
    for (std::int64_t i = 0; i < l.dims[0]; ++i) {
      l.rowStart[d][static_cast<std::size_t>(i)] =
          geometry.origin[d] + static_cast<double>(i) * geometry.axes[0][d];
    }
  }
  l.separable = true;
  for (int d = 0; d < 3; ++d) {
    int along = -1, count = 0;
    for (int axis = 0; axis < 3; ++axis) {
      std::uint64_t bits;
      std::memcpy(&bits, &geometry.axes[axis][d], sizeof bits);
      if (bits != 0) {
        along = axis;
        ++count;
      }
    }
    if (count > 1) l.separable = false;
    l.coordinateAxis[d] = along < 0 ? 0 : along;
  }
  for (int d = 0; l.separable && d < 3; ++d) {
    // The whole sum with the other indices at 0: the same bits as with any.
    const int axis = l.coordinateAxis[d];
    for (std::int64_t n = 0; n < l.dims[axis]; ++n) {
      const std::int64_t index[3] = {axis == 0 ? n : 0, axis == 1 ? n : 0, axis == 2 ? n : 0};
      const Point3 p = latticePoint(geometry, index);
      const float c[3] = {p.x, p.y, p.z};
      l.coordinates[d].push_back(c[d]);
    }
  }
  // The edge vertices of aligned lattices keep the coordinates an edge's
  // ends share as they are, where the interpolation would turn -0 into +0.
  // The sums end in adding a +0 product, so no coordinate is -0; checked.
  l.aligned = l.separable;
  for (int a = 0; a < 3; ++a) l.indexCoordinate[a] = a;
  for (int d = 0; l.aligned && d < 3; ++d) {
    const int axis = l.coordinateAxis[d];
    l.aligned = l.coordinateAxis[(d + 1) % 3] != axis && l.coordinateAxis[(d + 2) % 3] != axis;
    l.indexCoordinate[axis] = d;
    for (const float c : l.coordinates[d]) l.aligned = l.aligned && !(c == 0.0f && std::signbit(c));
  }
  l.permuted = l.aligned && (l.coordinateAxis[0] != 0 || l.coordinateAxis[1] != 1);
  // Two vertices meet only at a lattice point where each index axis lies
  // along a world axis of its own (aligned, or permuted as numpy's index
  // order gives) and each coordinate is strictly monotone.
  l.distinctPoints = l.aligned;
  for (int d = 0; l.distinctPoints && d < 3; ++d) {
    l.distinctPoints = strictlyMonotone(l.coordinates[d]);
  }
  invertTransposed(geometry.axes, l.inverseTranspose);
  return l;
}

Point3 latticePoint(const VolumeGeometry& g, const std::int64_t (&p)[3]) {
  float c[3];
  for (int d = 0; d < 3; ++d) {
    c[d] = static_cast<float>(((g.origin[d] + static_cast<double>(p[0]) * g.axes[0][d]) +
                               static_cast<double>(p[1]) * g.axes[1][d]) +
                              static_cast<double>(p[2]) * g.axes[2][d]);
  }
  return {c[0], c[1], c[2]};
}

}  // namespace mcubes::internal

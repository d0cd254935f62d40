// Where a crossed lattice edge gets its vertex, as the volume sweeps place
// it: shared by the sweep of one level and the sweep of a label map's labels
// so that both put every vertex on the same bits.
#pragma once

#include <cmath>
#include <cstdint>

#include "mesh/surface/cell_rules.h"
#include "mesh/volume/volume_extract.h"
#include "mesh/volume/volume_lattice.h"

namespace mcubes::internal {

// An edge with an end whose value is the level exactly.
inline void countLevelOnVoxel(double iso, double va, double vb, VolumeFindings& findings) {
  if (va == iso || vb == iso) ++findings.levelOnVoxels;
}

// iso::interpolateVolumeEdgeVertex(iso, wa, wb, va, vb) on an edge along
// world coordinate `axis` of an aligned lattice, bit for bit: it takes the
// same branches, and where it interpolates, the coordinates the ends share
// come out as they are (it adds a zero difference times a factor in (0, 1],
// which changes nothing but -0, and aligned lattices have none), so only the
// one along the edge is interpolated, and moved off an end it rounds onto;
// an infinite end gives the other end, as there.
inline Point3 alignedEdgeVertex(double iso, int axis, const Point3& wa, const Point3& wb, double va,
                                double vb, VolumeFindings& findings) {
  if (iso == va || iso == vb || va == vb) {
    countLevelOnVoxel(iso, va, vb, findings);
    return iso::interpolateVolumeEdgeVertex(iso, wa, wb, va, vb);
  }
  if (!std::isfinite(vb - va)) {
    if (std::isinf(va)) return wb;
    if (std::isinf(vb)) return wa;
  }
  const double mu = iso::iso_internal::edgeFraction(iso, va, vb);
  Point3 p = wa;
  float* along = axis == 0 ? &p.x : axis == 1 ? &p.y : &p.z;
  const float from = axis == 0 ? wa.x : axis == 1 ? wa.y : wa.z;
  const float to = axis == 0 ? wb.x : axis == 1 ? wb.y : wb.z;
  *along = iso::interpolateCoordinate(from, to, mu);
  if (*along == from) {
    *along = iso::iso_internal::offTheEnd(from, to);
  } else if (*along == to) {
    *along = iso::iso_internal::offTheEnd(to, from);
  }
  return p;
}

// Lattice point (i, j, k)'s position as the sweeps take it: from the
// coordinate tables where each coordinate depends on one index, else summed
// from the row's start along j and k in double, rounded once.
inline Point3 sweptPoint(const Lattice& l, std::int64_t i, std::int64_t j, std::int64_t k) {
  const std::int64_t index[3] = {i, j, k};
  if (l.separable) {
    float p[3];
    for (int d = 0; d < 3; ++d) {
      p[d] = l.coordinates[d][static_cast<std::size_t>(index[l.coordinateAxis[d]])];
    }
    return {p[0], p[1], p[2]};
  }
  float p[3];
  for (int d = 0; d < 3; ++d) {
    p[d] = static_cast<float>(
        (l.rowStart[d][static_cast<std::size_t>(i)] + static_cast<double>(j) * l.axes[1][d]) +
        static_cast<double>(k) * l.axes[2][d]);
  }
  return {p[0], p[1], p[2]};
}

}  // namespace mcubes::internal

// A volume vertex's normal: the field's gradient from central differences
// at the voxels (one-sided at the volume's faces and beside voxels that are
// not finite), in world space, interpolated along the crossed edge as the
// vertex is, turned to point toward values below the iso level (above it
// where the inside lies below, Lattice::negated) and made unit length. Where
// it vanishes, the unit vector along the edge toward its lower end.
#pragma once

#include <cmath>
#include <cstdint>

#include "iso/cell_types.h"
#include "mesh/volume/volume_lattice.h"

namespace mcubes::internal {

// The gradient in index space at lattice point `p`, whose value is finite
// and whose neighbours' values the window holds. A function of the point
// alone: the sweep keeps it for the edges that share the point.
// Inline: the sweep's vertex loop calls it for most vertices.
// Values held narrower are taken as the doubles they stand for.
template <typename Value>
__attribute__((always_inline)) inline void pointGradient(const Lattice& l,
                                                         const SliceWindowOf<Value>& window,
                                                         const std::int64_t (&p)[3],
                                                         double (&g)[3]) {
  const std::int64_t offset = p[1] * l.dims[0] + p[0];
  const Value* at = window.slice(p[2]) + offset;
  // The neighbours along k, in the slices before and after (which need not
  // follow one another in memory).
  const Value* before = p[2] > 0 ? window.slice(p[2] - 1) + offset : nullptr;
  const Value* after = p[2] + 1 < l.dims[2] ? window.slice(p[2] + 1) + offset : nullptr;
  const std::int64_t step[2] = {1, l.dims[0]};
  const auto value = [](const Value* v) { return static_cast<double>(*v); };
  const auto lower = [&](int axis) { return value(axis == 2 ? before : at - step[axis]); };
  const auto higher = [&](int axis) { return value(axis == 2 ? after : at + step[axis]); };
  const auto inside = [&](int axis) { return p[axis] > 0 && p[axis] + 1 < l.dims[axis]; };
  if (inside(0) && inside(1) && inside(2)) {
    // Most points: both neighbours on every axis, all finite, as the
    // differences say (a value that is not finite makes its difference not
    // finite; so does one too large, where the general way below gives the
    // same).
    const double difference[3] = {higher(0) - lower(0), higher(1) - lower(1), higher(2) - lower(2)};
    if (std::isfinite(difference[0]) && std::isfinite(difference[1]) &&
        std::isfinite(difference[2])) {
      for (int axis = 0; axis < 3; ++axis) g[axis] = difference[axis] * 0.5;
      return;
    }
  }
  const double here = value(at);
  for (int axis = 0; axis < 3; ++axis) {
    int span = 0;
    double low = here, high = here;
    if (p[axis] > 0) {
      const double v = lower(axis);
      if (std::isfinite(v)) {
        low = v;
        ++span;
      }
    }
    if (p[axis] + 1 < l.dims[axis]) {
      const double v = higher(axis);
      if (std::isfinite(v)) {
        high = v;
        ++span;
      }
    }
    // Halving is exact, as the division by two it stands for.
    const double difference = high - low;
    g[axis] = span == 0 ? 0.0 : span == 1 ? difference : difference * 0.5;
  }
}

// The normal of the vertex on the edge from a lattice point (value va, world
// position wa, index-space gradient ga) to another (vb, wb, gb), the vertex
// a fraction t of the way (as the interpolation puts it); va and vb as the
// sweep takes them (negated where the lattice says, then through
// latticeValue: at most one -infinity). Only the finite end's gradient is
// read, and t not at all, where the other end is not finite (the vertex is
// then on the finite end). Inline: the sweep's vertex loop calls it for
// every vertex.
__attribute__((always_inline)) inline Point3 edgeNormal(const Lattice& l, const double (&ga)[3],
                                                        const double (&gb)[3], double va, double vb,
                                                        double t, const Point3& wa,
                                                        const Point3& wb) {
  double g[3], world[3] = {0, 0, 0};
  if (!std::isfinite(va) || !std::isfinite(vb)) {
    const double(&finite)[3] = std::isfinite(va) ? ga : gb;
    for (int axis = 0; axis < 3; ++axis) g[axis] = finite[axis];
  } else {
    for (int axis = 0; axis < 3; ++axis) g[axis] = ga[axis] + (gb[axis] - ga[axis]) * t;
  }
  // The gradient of the values as the sweep takes them (negated where the
  // inside lies below the level), so that the normal points out of the
  // object either way.
  if (l.negated) {
    for (double& component : g) component = -component;
  }
  for (int d = 0; d < 3; ++d) {
    for (int axis = 0; axis < 3; ++axis) world[d] -= l.inverseTranspose[d][axis] * g[axis];
  }
  double length = std::sqrt(world[0] * world[0] + world[1] * world[1] + world[2] * world[2]);
  if (!(length > 0.0) || !std::isfinite(length)) {
    // Toward the lower end of the edge.
    const double sign = va < vb ? -1.0 : 1.0;
    world[0] = sign * (static_cast<double>(wb.x) - wa.x);
    world[1] = sign * (static_cast<double>(wb.y) - wa.y);
    world[2] = sign * (static_cast<double>(wb.z) - wa.z);
    length = std::sqrt(world[0] * world[0] + world[1] * world[1] + world[2] * world[2]);
    if (!(length > 0.0)) return {0.0f, 0.0f, 0.0f};
  }
  return {static_cast<float>(world[0] / length), static_cast<float>(world[1] / length),
          static_cast<float>(world[2] / length)};
}

}  // namespace mcubes::internal

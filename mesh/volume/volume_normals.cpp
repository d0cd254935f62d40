#include "mesh/volume/volume_normals.h"

#include <cmath>

#include "mesh/surface/cell_rules.h"

namespace mcubes::internal {

Point3 edgeNormal(const Lattice& l, const double (&ga)[3], const double (&gb)[3], double va,
                  double vb, const Point3& wa, const Point3& wb) {
  // Where the vertex lies along the edge, as the interpolation puts it: on
  // the finite end where the other is not (-infinity, as latticeValue gives).
  double g[3], world[3] = {0, 0, 0};
  if (!std::isfinite(va) || !std::isfinite(vb)) {
    const double(&finite)[3] = std::isfinite(va) ? ga : gb;
    for (int axis = 0; axis < 3; ++axis) g[axis] = finite[axis];
  } else {
    // As interpolateVolumeEdgeVertex takes it (the nudge off an end it
    // rounds onto is below the normal's precision).
    const double t = l.iso == va   ? 0.0
                     : l.iso == vb ? 1.0
                     : va == vb    ? 0.0
                                   : iso::iso_internal::edgeFraction(l.iso, va, vb);
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

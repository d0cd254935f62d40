// Which faces of a volume's box the vertices of its surface lie on: the
// caps and rims where the surface was cut by the volume's bounds, which the
// finishing stages keep on those planes.
#pragma once

#include <cstdint>
#include <vector>

#include "iso/cell_types.h"
#include "mesh/surface/surface.h"
#include "volume/volume.h"

namespace mcubes::internal {

// How far from a face of the box, in voxels, a vertex still counts as on
// it: the caps' vertices lie on it up to the rounding of float coordinates.
constexpr double OnBoxFaceTolerance = 1e-3;

struct BoxFaces {
  // Index space from world space: index = toIndex * (world - origin), the
  // inverse of the matrix whose columns are the axes (sheared or mirrored
  // alike).
  double toIndex[3][3];
  // Per vertex, the faces it lies on: bit 2a where index a is 0, bit 2a + 1
  // where it is dims[a] - 1.
  std::vector<std::uint8_t> ofVertex;
};

BoxFaces boxFaces(const PointArray& vertices, const VolumeGeometry& box);

// The index-space coordinates of a world point.
void indexCoordinates(const BoxFaces& faces, const VolumeGeometry& box, const Point3& p,
                      double (&index)[3]);

}  // namespace mcubes::internal

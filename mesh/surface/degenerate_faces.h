// Faces without area in a welded mesh. Where the polygoniser snapped the
// vertices of several edges onto one cell corner, welding by edge leaves
// distinct vertices at one point, which the pipeline merges as readers that
// merge by position would (closeAndMerge, mesh/distributed/volume_piece.h), dropping the
// faces that collapse to lines and points. A face of three distinct
// vertices on one line has no area either; it stays, since dropping it
// would open the surface, and is counted for the user.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "mesh/surface/surface.h"

namespace mcubes::internal {

// Whether three corners span no area (their cross product is zero in
// double precision). Inline: counting the flat faces asks it of every face.
inline bool spansNoArea(const Point3& p, const Point3& q, const Point3& r) {
  const double u[3] = {static_cast<double>(q.x) - p.x, static_cast<double>(q.y) - p.y,
                       static_cast<double>(q.z) - p.z};
  const double v[3] = {static_cast<double>(r.x) - p.x, static_cast<double>(r.y) - p.y,
                       static_cast<double>(r.z) - p.z};
  return u[1] * v[2] - u[2] * v[1] == 0.0 && u[2] * v[0] - u[0] * v[2] == 0.0 &&
         u[0] * v[1] - u[1] * v[0] == 0.0;
}

// The faces whose three corners span no area.
std::size_t zeroAreaFaces(const IndexedMesh& mesh);

// Mends faces whose three distinct corners lie on one line (a fold), as
// decimation leaves on flat caps: such a face (a, b, c), c between a and
// b, and its neighbour (b, a, d) across the long edge become (a, d, c) and
// (d, b, c), which cover the neighbour's triangle exactly, so the surface
// keeps its shape, stays closed and wound as it was. Skipped where d lies
// on the line too, or c and d already share an edge. Returns the number
// of faces mended.
std::size_t flipCollinearFaces(IndexedMesh& mesh);

}  // namespace mcubes::internal

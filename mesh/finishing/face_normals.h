// Per-vertex normals from the faces: what a mesh whose vertices have moved
// (smoothed, decimated) can still have, where the field it came from no
// longer describes it.
#pragma once

#include <array>
#include <vector>

#include "mesh/surface/surface.h"

namespace mcubes::internal {

// Each vertex's unit normal: the sum of its faces' normals weighted by
// their areas (the cross product of two edges), so that slivers count for
// little; outward where the faces wind outward. A vertex whose faces'
// normals cancel, or that has none, gets +x.
PointArray faceAreaNormals(const IndexedMesh& mesh);

// The cross product of a face's edges b - a and c - a, in double: its
// normal by the right-hand rule, as long as twice its area.
std::array<double, 3> faceCross(const Point3& a, const Point3& b, const Point3& c);

// The face's unit normal; zero for a face of no area.
Point3 unitFaceNormal(const Point3& a, const Point3& b, const Point3& c);

}  // namespace mcubes::internal

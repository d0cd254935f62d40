// Per-vertex normals from the faces: what a mesh whose vertices have moved
// (smoothed, decimated) can still have, where the field it came from no
// longer describes it.
#pragma once

#include <array>
#include <cmath>
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
inline std::array<double, 3> faceCross(const Point3& a, const Point3& b, const Point3& c) {
  const double u[3] = {static_cast<double>(b.x) - a.x, static_cast<double>(b.y) - a.y,
                       static_cast<double>(b.z) - a.z};
  const double v[3] = {static_cast<double>(c.x) - a.x, static_cast<double>(c.y) - a.y,
                       static_cast<double>(c.z) - a.z};
  return {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
}

// The face's unit normal; zero for a face of no area. Inline: the STL
// writers ask it of every facet.
inline Point3 unitFaceNormal(const Point3& a, const Point3& b, const Point3& c) {
  const std::array<double, 3> n = faceCross(a, b, c);
  const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  if (length == 0.0) return {0.0f, 0.0f, 0.0f};
  return {static_cast<float>(n[0] / length), static_cast<float>(n[1] / length),
          static_cast<float>(n[2] / length)};
}

}  // namespace mcubes::internal

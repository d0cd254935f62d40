// The volume a closed mesh encloses, from its faces alone (the divergence
// theorem over the tetrahedra each face spans with the origin): what the
// finishing stages report before and after, and what tests check to see
// that faces wind outward.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "mesh/surface/surface.h"

namespace mcubes::internal {

// Six times the enclosed volume; positive when the faces wind outward. In
// double whatever the vertices hold, so that a mesh of millions of faces
// loses nothing to the sum.
template <typename Vertices, typename Faces>
double signedVolume6(const Vertices& vertices, const Faces& faces) {
  using Vertex = typename Vertices::value_type;
  double sum = 0;
  for (const auto& f : faces) {
    const Vertex &a = vertices[f[0]], &b = vertices[f[1]], &c = vertices[f[2]];
    sum += static_cast<double>(a.x) *
               (static_cast<double>(b.y) * c.z - static_cast<double>(b.z) * c.y) +
           static_cast<double>(a.y) *
               (static_cast<double>(b.z) * c.x - static_cast<double>(b.x) * c.z) +
           static_cast<double>(a.z) *
               (static_cast<double>(b.x) * c.y - static_cast<double>(b.y) * c.x);
  }
  return sum;
}

// The enclosed volume, in the mesh's units cubed (meaningless where the
// mesh is open).
inline double enclosedVolume(const IndexedMesh& mesh) {
  return signedVolume6(mesh.vertices, mesh.faces) / 6.0;
}

}  // namespace mcubes::internal

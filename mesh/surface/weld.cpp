#include "mesh/surface/weld.h"

#include <stdexcept>
#include <utility>

namespace mcubes::internal {

Triangle outwardFace(const Triangle& triangle) {
  return {{triangle.vertices[0], triangle.vertices[2], triangle.vertices[1]}};
}

IndexedMesh unweldedMesh(const ExtractedSurface& surface) {
  IndexedMesh mesh;
  const bool normals = !surface.normals.empty();
  mesh.vertices.reserve(3 * surface.triangles.size());
  mesh.faces.reserve(surface.triangles.size());
  for (std::size_t t = 0; t < surface.triangles.size(); ++t) {
    const Triangle face = outwardFace(surface.triangles[t]);
    const auto first = static_cast<std::uint32_t>(mesh.vertices.size());
    mesh.vertices.insert(mesh.vertices.end(), face.vertices, face.vertices + 3);
    if (normals) {
      const std::array<Point3, 3>& drawn = surface.normals[t];
      mesh.normals.insert(mesh.normals.end(), {drawn[0], drawn[2], drawn[1]});
    }
    mesh.faces.push_back({first, first + 1, first + 2});
  }
  return mesh;
}

void reverseFaces(IndexedMesh& mesh) {
  for (auto& f : mesh.faces) std::swap(f[1], f[2]);
}

}  // namespace mcubes::internal

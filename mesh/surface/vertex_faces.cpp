#include "mesh/surface/vertex_faces.h"

namespace mcubes::internal {

VertexFaces::VertexFaces(const IndexedMesh& mesh) : start(mesh.vertices.size() + 1, 0) {
  // Rows filled from their ends, faces in reverse: start[v] counts down to
  // the row's start, which then holds the faces in order.
  for (const auto& f : mesh.faces) {
    for (const std::uint32_t v : f) ++start[v];
  }
  for (std::size_t v = 1; v < start.size(); ++v) start[v] += start[v - 1];
  face.resize(3 * mesh.faces.size());
  for (std::size_t f = mesh.faces.size(); f-- > 0;) {
    for (const std::uint32_t v : mesh.faces[f]) face[--start[v]] = static_cast<std::uint32_t>(f);
  }
}

}  // namespace mcubes::internal

#include "mesh/finishing/face_normals.h"

#include <cmath>

namespace mcubes::internal {

PointArray faceAreaNormals(const IndexedMesh& mesh) {
  // Summed in double: a vertex of a fine mesh gathers faces of every
  // orientation whose areas are tiny beside its coordinates.
  std::vector<double> sum(3 * mesh.vertices.size(), 0.0);
  for (const auto& f : mesh.faces) {
    const std::array<double, 3> n =
        faceCross(mesh.vertices[f[0]], mesh.vertices[f[1]], mesh.vertices[f[2]]);
    for (const std::uint32_t i : f) {
      for (int k = 0; k < 3; ++k) sum[3 * i + k] += n[k];
    }
  }
  PointArray normals(mesh.vertices.size(), Point3{1, 0, 0});
  for (std::size_t i = 0; i < normals.size(); ++i) {
    const double* n = &sum[3 * i];
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (length > 0) {
      normals[i] = {static_cast<float>(n[0] / length), static_cast<float>(n[1] / length),
                    static_cast<float>(n[2] / length)};
    }
  }
  return normals;
}

}  // namespace mcubes::internal

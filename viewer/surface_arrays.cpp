#include "viewer/surface_arrays.h"

#include <algorithm>
#include <cmath>

namespace {

Point3 faceNormal(const Point3& a, const Point3& b, const Point3& c) {
  const double u[3] = {static_cast<double>(b.x) - a.x, static_cast<double>(b.y) - a.y,
                       static_cast<double>(b.z) - a.z};
  const double v[3] = {static_cast<double>(c.x) - a.x, static_cast<double>(c.y) - a.y,
                       static_cast<double>(c.z) - a.z};
  const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                       u[0] * v[1] - u[1] * v[0]};
  const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  if (length == 0.0) {
    return {0.0f, 0.0f, 0.0f};
  }
  return {static_cast<float>(n[0] / length), static_cast<float>(n[1] / length),
          static_cast<float>(n[2] / length)};
}

}  // namespace

void buildFlatArrays(const IndexedMesh& mesh, std::vector<Point3>& vertices,
                     std::vector<Point3>& normals) {
  vertices.clear();
  normals.clear();
  vertices.reserve(mesh.faces.size() * 3);
  normals.reserve(mesh.faces.size() * 3);
  for (const auto& face : mesh.faces) {
    const Point3& a = mesh.vertices[face[0]];
    const Point3& b = mesh.vertices[face[1]];
    const Point3& c = mesh.vertices[face[2]];
    const Point3 normal = faceNormal(a, b, c);
    vertices.insert(vertices.end(), {a, b, c});
    normals.insert(normals.end(), {normal, normal, normal});
  }
}

void buildEdgeList(const IndexedMesh& mesh, std::vector<std::uint32_t>& edges) {
  // Each edge as one 64-bit key, lower index high, so that sorting brings
  // the copies of an edge together.
  std::vector<std::uint64_t> keys;
  keys.reserve(mesh.faces.size() * 3);
  for (const auto& face : mesh.faces) {
    for (int corner = 0; corner < 3; ++corner) {
      const std::uint32_t a = face[corner];
      const std::uint32_t b = face[(corner + 1) % 3];
      keys.push_back(a < b ? (std::uint64_t{a} << 32) | b : (std::uint64_t{b} << 32) | a);
    }
  }
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  edges.clear();
  edges.reserve(keys.size() * 2);
  for (const std::uint64_t key : keys) {
    edges.push_back(static_cast<std::uint32_t>(key >> 32));
    edges.push_back(static_cast<std::uint32_t>(key));
  }
}

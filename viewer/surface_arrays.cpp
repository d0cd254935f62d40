#include "viewer/surface_arrays.h"

#include <algorithm>
#include <cmath>

#include "mesh/finishing/face_normals.h"

using namespace mcubes::internal;

namespace {

// `count` indices into `vertices` vertices, stored as narrow as they fit.
void storeIndices(const std::uint32_t* first, std::size_t count, std::size_t vertices,
                  ElementIndices& indices) {
  indices.narrow.clear();
  indices.wide.clear();
  if (vertices <= 0x10000) {
    indices.narrow.assign(first, first + count);
  } else {
    indices.wide.assign(first, first + count);
  }
}

}  // namespace

void buildSmoothArray(const IndexedMesh& mesh, std::vector<ShadedVertex>& vertices) {
  vertices.resize(mesh.vertices.size());
  for (std::size_t i = 0; i < vertices.size(); ++i) {
    vertices[i] = {mesh.vertices[i], mesh.normals[i]};
  }
}

void buildFlatArray(const IndexedMesh& mesh, std::vector<ShadedVertex>& vertices) {
  vertices.clear();
  vertices.reserve(mesh.faces.size() * 3);
  for (const auto& face : mesh.faces) {
    const Point3& a = mesh.vertices[face[0]];
    const Point3& b = mesh.vertices[face[1]];
    const Point3& c = mesh.vertices[face[2]];
    const Point3 normal = unitFaceNormal(a, b, c);
    vertices.insert(vertices.end(), {{a, normal}, {b, normal}, {c, normal}});
  }
}

void buildFaceIndices(const IndexedMesh& mesh, ElementIndices& indices) {
  static_assert(sizeof(mesh.faces[0]) == 3 * sizeof(std::uint32_t), "faces are packed");
  storeIndices(mesh.faces.empty() ? nullptr : mesh.faces[0].data(), mesh.faces.size() * 3,
               mesh.vertices.size(), indices);
}

void buildEdgeIndices(const IndexedMesh& mesh, ElementIndices& indices) {
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
  std::vector<std::uint32_t> edges;
  edges.reserve(keys.size() * 2);
  for (const std::uint64_t key : keys) {
    edges.push_back(static_cast<std::uint32_t>(key >> 32));
    edges.push_back(static_cast<std::uint32_t>(key));
  }
  storeIndices(edges.data(), edges.size(), mesh.vertices.size(), indices);
}

#include "mesh/degenerate_faces.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

std::size_t mergeCoincidentVertices(IndexedMesh& mesh) {
  // Open addressing over the positions' bits, at most half full.
  std::size_t size = 16;
  while (size < 2 * mesh.vertices.size()) size *= 2;
  constexpr std::uint32_t Empty = 0xffffffffu;
  std::vector<std::uint32_t> slots(size, Empty);
  std::vector<std::uint32_t> same(mesh.vertices.size());
  bool merged = false;
  for (std::uint32_t v = 0; v < mesh.vertices.size(); ++v) {
    std::uint32_t bits[3];
    std::memcpy(bits, &mesh.vertices[v], sizeof bits);
    std::uint64_t h = bits[0];
    h = h * 0x9e3779b97f4a7c15ull ^ bits[1];
    h = h * 0x9e3779b97f4a7c15ull ^ bits[2];
    h *= 0x9e3779b97f4a7c15ull;
    std::size_t s = static_cast<std::size_t>(h >> 32) & (size - 1);
    while (slots[s] != Empty &&
           std::memcmp(&mesh.vertices[slots[s]], &mesh.vertices[v], sizeof bits) != 0) {
      s = (s + 1) & (size - 1);
    }
    if (slots[s] == Empty) slots[s] = v;
    same[v] = slots[s];
    merged = merged || same[v] != v;
  }
  return merged ? mergeVertices(mesh, same) : 0;
}

std::size_t mergeVertices(IndexedMesh& mesh, const std::vector<std::uint32_t>& same) {
  std::vector<std::uint32_t> to(mesh.vertices.size());
  std::uint32_t kept = 0;
  for (std::uint32_t v = 0; v < mesh.vertices.size(); ++v) {
    if (same[v] != v) {
      to[v] = to[same[v]];
      continue;
    }
    to[v] = kept;
    mesh.vertices[kept] = mesh.vertices[v];
    if (!mesh.normals.empty()) mesh.normals[kept] = mesh.normals[v];
    ++kept;
  }
  const std::size_t merged = mesh.vertices.size() - kept;
  mesh.vertices.resize(kept);
  if (!mesh.normals.empty()) mesh.normals.resize(kept);
  for (auto& f : mesh.faces) {
    for (std::uint32_t& v : f) v = to[v];
  }
  return merged;
}

std::size_t dropRepeatedVertexFaces(IndexedMesh& mesh) {
  const std::size_t before = mesh.faces.size();
  mesh.faces.erase(
      std::remove_if(mesh.faces.begin(), mesh.faces.end(),
                     [](const auto& f) { return f[0] == f[1] || f[1] == f[2] || f[2] == f[0]; }),
      mesh.faces.end());
  return before - mesh.faces.size();
}

std::size_t zeroAreaFaces(const IndexedMesh& mesh) {
  std::size_t count = 0;
  for (const auto& f : mesh.faces) {
    const Point3 &p = mesh.vertices[f[0]], &q = mesh.vertices[f[1]], &r = mesh.vertices[f[2]];
    const double u[3] = {static_cast<double>(q.x) - p.x, static_cast<double>(q.y) - p.y,
                         static_cast<double>(q.z) - p.z};
    const double v[3] = {static_cast<double>(r.x) - p.x, static_cast<double>(r.y) - p.y,
                         static_cast<double>(r.z) - p.z};
    if (u[1] * v[2] - u[2] * v[1] == 0.0 && u[2] * v[0] - u[0] * v[2] == 0.0 &&
        u[0] * v[1] - u[1] * v[0] == 0.0) {
      ++count;
    }
  }
  return count;
}

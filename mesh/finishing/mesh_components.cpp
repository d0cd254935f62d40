#include "mesh/finishing/mesh_components.h"

#include <numeric>

namespace mcubes::internal {

namespace {

// Union-find over vertices, by index with path halving: the smaller root
// becomes the parent, so the result does not depend on the order of unions.
struct VertexSets {
  std::vector<std::uint32_t> parent;

  explicit VertexSets(std::size_t count) : parent(count) {
    std::iota(parent.begin(), parent.end(), 0u);
  }

  std::uint32_t root(std::uint32_t v) {
    while (parent[v] != v) {
      parent[v] = parent[parent[v]];
      v = parent[v];
    }
    return v;
  }

  void join(std::uint32_t a, std::uint32_t b) {
    a = root(a);
    b = root(b);
    if (a < b) parent[b] = a;
    if (b < a) parent[a] = b;
  }
};

constexpr std::uint32_t None = ~0u;

}  // namespace

MeshComponents meshComponents(const IndexedMesh& mesh) {
  VertexSets sets(mesh.vertices.size());
  for (const auto& f : mesh.faces) {
    sets.join(f[0], f[1]);
    sets.join(f[0], f[2]);
  }
  MeshComponents parts;
  parts.ofFace.resize(mesh.faces.size());
  std::vector<std::uint32_t> partOfRoot(mesh.vertices.size(), None);
  for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
    std::uint32_t& part = partOfRoot[sets.root(mesh.faces[f][0])];
    if (part == None) {
      part = static_cast<std::uint32_t>(parts.faces.size());
      parts.faces.push_back(0);
    }
    parts.ofFace[f] = part;
    ++parts.faces[part];
  }
  return parts;
}

std::size_t keepFaces(IndexedMesh& mesh, const std::vector<bool>& keep) {
  std::size_t kept = 0;
  for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
    if (keep[f]) mesh.faces[kept++] = mesh.faces[f];
  }
  const std::size_t gone = mesh.faces.size() - kept;
  mesh.faces.resize(kept);
  removeUnusedVertices(mesh);
  return gone;
}

std::size_t removeUnusedVertices(IndexedMesh& mesh) {
  std::vector<std::uint32_t> number(mesh.vertices.size(), None);
  for (const auto& f : mesh.faces) {
    for (const std::uint32_t v : f) number[v] = 0;
  }
  std::uint32_t used = 0;
  const bool normals = !mesh.normals.empty();
  for (std::uint32_t v = 0; v < number.size(); ++v) {
    if (number[v] == None) continue;
    number[v] = used;
    mesh.vertices[used] = mesh.vertices[v];
    if (normals) mesh.normals[used] = mesh.normals[v];
    ++used;
  }
  const std::size_t gone = mesh.vertices.size() - used;
  if (gone == 0) return 0;
  mesh.vertices.resize(used);
  if (normals) mesh.normals.resize(used);
  for (auto& f : mesh.faces) {
    for (std::uint32_t& v : f) v = number[v];
  }
  return gone;
}

}  // namespace mcubes::internal

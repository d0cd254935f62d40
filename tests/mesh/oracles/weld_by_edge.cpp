#include "tests/mesh/oracles/weld_by_edge.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "mesh/surface/weld.h"

using namespace mcubes::internal;

namespace {

constexpr std::uint32_t None = 0xffffffffu;

// Vertex index by edge key, open-addressed, a power of two in size and at
// most half full.
class EdgeVertices {
 public:
  EdgeVertices() : slots_(1024) {}

  // The vertex of `key`, made from `position` if the edge has none yet.
  // The vertex of `key`, made by `add` if the edge has none yet.
  template <typename Add>
  std::uint32_t indexOf(EdgeKey key, std::uint32_t next, Add&& add) {
    Slot& slot = slots_[find(key)];
    if (slot.index != None) return slot.index;
    slot = {key, next};
    add();
    if (2 * (static_cast<std::size_t>(next) + 1) > slots_.size()) grow();
    return next;
  }

 private:
  struct Slot {
    EdgeKey key = 0;
    std::uint32_t index = None;
  };

  std::size_t find(EdgeKey key) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t s = static_cast<std::size_t>((key * 0x9e3779b97f4a7c15ull) >> 20) & mask;
    while (slots_[s].index != None && slots_[s].key != key) s = (s + 1) & mask;
    return s;
  }

  void grow() {
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    for (const Slot& slot : old) {
      if (slot.index != None) slots_[find(slot.key)] = slot;
    }
  }

  std::vector<Slot> slots_;
};

}  // namespace

IndexedMesh weldSurface(const ExtractedSurface& surface) {
  if (surface.edges.size() != surface.triangles.size()) {
    throw std::invalid_argument("welding needs an edge key for every triangle vertex");
  }
  const bool normals = !surface.normals.empty();
  if (normals && surface.normals.size() != surface.triangles.size()) {
    throw std::invalid_argument("welding needs a normal for every triangle vertex, or none");
  }
  IndexedMesh mesh;
  EdgeVertices edgeVertices;
  mesh.faces.reserve(surface.triangles.size());
  for (std::size_t t = 0; t < surface.triangles.size(); ++t) {
    const Triangle face = outwardFace(surface.triangles[t]);
    const std::array<EdgeKey, 3>& drawn = surface.edges[t];
    const int outward[3] = {0, 2, 1};
    std::array<std::uint32_t, 3> indices;
    for (int v = 0; v < 3; ++v) {
      const EdgeKey key = drawn[outward[v]];
      const auto next = static_cast<std::uint32_t>(mesh.vertices.size());
      indices[v] = edgeVertices.indexOf(key, next, [&] {
        mesh.vertices.push_back(face.vertices[v]);
        if (normals) mesh.normals.push_back(surface.normals[t][outward[v]]);
      });
    }
    mesh.faces.push_back(indices);
  }
  return mesh;
}

#include "mesh/volume_weld.h"

#include <algorithm>
#include <numeric>

#include "mesh/degenerate_faces.h"
#include "mesh/volume_lattice.h"

namespace {

constexpr std::uint32_t None = 0xffffffffu;

void sortByPlace(std::vector<std::pair<std::int64_t, std::uint32_t>>& entries) {
  std::sort(entries.begin(), entries.end());
}

}  // namespace

VolumeWeld::VolumeWeld(const VolumeGeometry& geometry, bool normals)
    : geometry_(geometry),
      normals_(normals),
      distinctPoints_(makeLattice(geometry, {}).distinctPoints) {}

void VolumeWeld::add(WeldedPart& part) {
  IndexedMesh& from = part.mesh;
  if (first_) {
    // The first part's numbering is the mesh's.
    first_ = false;
    std::swap(mesh_, from);
    for (const auto& [key, v] : part.faceEdges) faceEdges_.emplace(key, v);
    onPoints_ = part.onPoints;
    lastSlice_ = part.lastSlice;
    sortByPlace(lastSlice_);
    return;
  }
  numbers_.assign(from.vertices.size(), None);
  for (const auto& [place, v] : part.firstSlice) {
    const auto found = std::lower_bound(lastSlice_.begin(), lastSlice_.end(),
                                        std::make_pair(place, std::uint32_t{0}));
    if (found != lastSlice_.end() && found->first == place) numbers_[v] = found->second;
  }
  const auto shared = static_cast<std::uint32_t>(mesh_.vertices.size());
  makeRoom(mesh_.vertices, mesh_.vertices.size() + from.vertices.size());
  if (normals_) makeRoom(mesh_.normals, mesh_.normals.size() + from.normals.size());
  for (std::size_t v = 0; v < from.vertices.size(); ++v) {
    if (numbers_[v] != None) continue;
    numbers_[v] = static_cast<std::uint32_t>(mesh_.vertices.size());
    mesh_.vertices.push_back(from.vertices[v]);
    if (normals_) mesh_.normals.push_back(from.normals[v]);
  }
  makeRoom(mesh_.faces, mesh_.faces.size() + from.faces.size());
  for (const auto& f : from.faces)
    mesh_.faces.push_back({numbers_[f[0]], numbers_[f[1]], numbers_[f[2]]});
  for (const auto& [key, v] : part.faceEdges) faceEdges_.emplace(key, numbers_[v]);
  for (const auto& [point, v] : part.onPoints) {
    // A vertex shared with the part before was counted there.
    if (numbers_[v] >= shared) onPoints_.emplace_back(point, numbers_[v]);
  }
  lastSlice_.clear();
  for (const auto& [place, v] : part.lastSlice) lastSlice_.emplace_back(place, numbers_[v]);
  sortByPlace(lastSlice_);
}

std::uint32_t VolumeWeld::addVertex(const Point3& position, const Point3& normal,
                                    std::int64_t point) {
  const auto v = static_cast<std::uint32_t>(mesh_.vertices.size());
  mesh_.vertices.push_back(position);
  if (normals_) mesh_.normals.push_back(normal);
  if (distinctPoints_ && point >= 0) onPoints_.emplace_back(point, v);
  return v;
}

void VolumeWeld::close(const VolumeBoundary& boundary, double isoLevel) {
  const EdgeKey outerKeys = outerEdgeKeys(geometry_);
  // Edges that reach out of the volume are met by the caps alone.
  std::unordered_map<EdgeKey, std::uint32_t> outerEdges;
  forEachBoundaryTriangle(geometry_, boundary, isoLevel, [&](const CapTriangle& cap) {
    std::array<std::uint32_t, 3> face;
    const int outward[3] = {0, 2, 1};
    for (int v = 0; v < 3; ++v) {
      const int drawn = outward[v];
      const EdgeKey key = cap.keys[drawn];
      auto& edges = key < outerKeys ? faceEdges_ : outerEdges;
      const auto found = edges.find(key);
      if (found != edges.end()) {
        face[v] = found->second;
      } else {
        face[v] = addVertex(cap.triangle.vertices[drawn], cap.normals[drawn], cap.points[drawn]);
        edges.emplace(key, face[v]);
      }
    }
    mesh_.faces.push_back(face);
  });
}

std::size_t VolumeWeld::mergeCoincidentVertices() {
  if (!distinctPoints_) return ::mergeCoincidentVertices(mesh_);
  sortByPlace(onPoints_);
  std::vector<std::uint32_t> same;
  for (std::size_t n = 1; n < onPoints_.size(); ++n) {
    if (onPoints_[n].first != onPoints_[n - 1].first) continue;
    if (same.empty()) {
      same.resize(mesh_.vertices.size());
      std::iota(same.begin(), same.end(), 0u);
    }
    same[onPoints_[n].second] = same[onPoints_[n - 1].second];
  }
  onPoints_.clear();
  return same.empty() ? 0 : mergeVertices(mesh_, same);
}

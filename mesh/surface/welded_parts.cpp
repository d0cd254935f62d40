#include "mesh/surface/welded_parts.h"

#include <algorithm>

namespace mcubes::internal {

namespace {

constexpr std::uint32_t None = 0xffffffffu;

}  // namespace

void RoomForWhole::make(IndexedMesh& mesh, std::int64_t done, std::int64_t total) {
  if (done <= done_ || done >= total) return;
  const auto layers = static_cast<double>(done - done_);
  const auto toCome = static_cast<double>(total - done);
  const auto room = [&](auto& vector, int which) {
    const std::size_t size = vector.size();
    const std::size_t added = size > sizes_[which] ? size - sizes_[which] : 0;
    most_[which] = std::max(most_[which], static_cast<double>(added) / layers);
    sizes_[which] = size;
    // A quarter more than the most foretells.
    const double foretold = static_cast<double>(size) + 1.25 * most_[which] * toCome;
    makeRoom(vector, static_cast<std::size_t>(foretold));
  };
  room(mesh.vertices, 0);
  if (!mesh.normals.empty()) room(mesh.normals, 1);
  room(mesh.faces, 2);
  done_ = done;
}

void WeldedPart::clear() {
  mesh.vertices.clear();
  mesh.faces.clear();
  mesh.normals.clear();
  firstPlane.clear();
  lastPlane.clear();
  faceEdges.clear();
  onPoints.clear();
}

void JoinedParts::add(WeldedPart& part) {
  IndexedMesh& from = part.mesh;
  const bool normals = !from.normals.empty();
  if (first_) {
    // The first part's numbering is the mesh's.
    first_ = false;
    std::swap(mesh, from);
    for (const auto& [key, v] : part.faceEdges) addFaceEdge(key, v);
    onPoints = part.onPoints;
    firstPlane_ = part.firstPlane;
    lastPlane_ = part.lastPlane;
    std::sort(lastPlane_.begin(), lastPlane_.end());
    return;
  }
  numbers_.assign(from.vertices.size(), None);
  for (const auto& [place, v] : part.firstPlane) {
    const auto found = std::lower_bound(lastPlane_.begin(), lastPlane_.end(),
                                        std::make_pair(place, std::uint32_t{0}));
    if (found != lastPlane_.end() && found->first == place) numbers_[v] = found->second;
  }
  const auto shared = static_cast<std::uint32_t>(mesh.vertices.size());
  makeRoom(mesh.vertices, mesh.vertices.size() + from.vertices.size());
  if (normals) makeRoom(mesh.normals, mesh.normals.size() + from.normals.size());
  for (std::size_t v = 0; v < from.vertices.size(); ++v) {
    if (numbers_[v] != None) continue;
    numbers_[v] = static_cast<std::uint32_t>(mesh.vertices.size());
    mesh.vertices.push_back(from.vertices[v]);
    if (normals) mesh.normals.push_back(from.normals[v]);
  }
  makeRoom(mesh.faces, mesh.faces.size() + from.faces.size());
  for (const auto& f : from.faces) {
    mesh.faces.push_back({numbers_[f[0]], numbers_[f[1]], numbers_[f[2]]});
  }
  for (const auto& [key, v] : part.faceEdges) addFaceEdge(key, numbers_[v]);
  for (const auto& [point, v] : part.onPoints) {
    // A vertex shared with the part before was counted there.
    if (numbers_[v] >= shared) onPoints.emplace_back(point, numbers_[v]);
  }
  lastPlane_.clear();
  for (const auto& [place, v] : part.lastPlane) lastPlane_.emplace_back(place, numbers_[v]);
  std::sort(lastPlane_.begin(), lastPlane_.end());
}

WeldedPart JoinedParts::take() {
  WeldedPart part;
  std::swap(part.mesh, mesh);
  part.firstPlane.swap(firstPlane_);
  part.lastPlane.swap(lastPlane_);
  part.faceEdges.reserve(faceEdges.size());
  faceEdges.forEach([&](EdgeKey key, std::uint32_t v) { part.faceEdges.emplace_back(key, v); });
  faceEdges = {};
  part.onPoints.swap(onPoints);
  first_ = true;
  room_ = {};
  return part;
}

}  // namespace mcubes::internal

#include "mesh/volume/volume_weld.h"

#include <algorithm>
#include <numeric>

#include "mesh/surface/degenerate_faces.h"
#include "mesh/volume/volume_lattice.h"

VolumeWeld::VolumeWeld(const VolumeGeometry& geometry, bool normals)
    : geometry_(geometry),
      normals_(normals),
      distinctPoints_(makeLattice(geometry, {}).distinctPoints) {}

std::uint32_t VolumeWeld::addVertex(const Point3& position, const Point3& normal,
                                    std::int64_t point) {
  const auto v = static_cast<std::uint32_t>(joined_.mesh.vertices.size());
  joined_.mesh.vertices.push_back(position);
  if (normals_) joined_.mesh.normals.push_back(normal);
  if (distinctPoints_ && point >= 0) joined_.onPoints.emplace_back(point, v);
  return v;
}

void VolumeWeld::close(const VolumeBoundary& boundary, double isoLevel, Inside inside) {
  const EdgeKey outerKeys = outerEdgeKeys(geometry_);
  // Edges that reach out of the volume are met by the caps alone.
  std::unordered_map<EdgeKey, std::uint32_t> outerEdges;
  forEachBoundaryTriangle(geometry_, boundary, isoLevel, inside, [&](const CapTriangle& cap) {
    std::array<std::uint32_t, 3> face;
    const int outward[3] = {0, 2, 1};
    for (int v = 0; v < 3; ++v) {
      const int drawn = outward[v];
      const EdgeKey key = cap.keys[drawn];
      auto& edges = key < outerKeys ? joined_.faceEdges : outerEdges;
      const auto found = edges.find(key);
      if (found != edges.end()) {
        face[v] = found->second;
      } else {
        face[v] = addVertex(cap.triangle.vertices[drawn], cap.normals[drawn], cap.points[drawn]);
        edges.emplace(key, face[v]);
      }
    }
    joined_.mesh.faces.push_back(face);
  });
}

std::size_t VolumeWeld::mergeCoincidentVertices() {
  if (!distinctPoints_) return ::mergeCoincidentVertices(joined_.mesh);
  std::sort(joined_.onPoints.begin(), joined_.onPoints.end());
  std::vector<std::uint32_t> same;
  for (std::size_t n = 1; n < joined_.onPoints.size(); ++n) {
    if (joined_.onPoints[n].first != joined_.onPoints[n - 1].first) continue;
    if (same.empty()) {
      same.resize(joined_.mesh.vertices.size());
      std::iota(same.begin(), same.end(), 0u);
    }
    same[joined_.onPoints[n].second] = same[joined_.onPoints[n - 1].second];
  }
  joined_.onPoints.clear();
  return same.empty() ? 0 : mergeVertices(joined_.mesh, same);
}

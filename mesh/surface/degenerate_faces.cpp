#include "mesh/surface/degenerate_faces.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <vector>

#include "mesh/surface/vertex_faces.h"

namespace mcubes::internal {

std::size_t zeroAreaFaces(const IndexedMesh& mesh) {
  std::size_t count = 0;
  for (const auto& f : mesh.faces) {
    count += spansNoArea(mesh.vertices[f[0]], mesh.vertices[f[1]], mesh.vertices[f[2]]);
  }
  return count;
}

namespace {

double squaredDistance(const Point3& p, const Point3& q) {
  const double d[3] = {static_cast<double>(q.x) - p.x, static_cast<double>(q.y) - p.y,
                       static_cast<double>(q.z) - p.z};
  return d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
}

// The faces around each vertex as flips change them: the rows built once,
// faces a flip gave a vertex kept beside them, and every face checked for
// the vertex when read (a flip also takes faces away).
class FacesAround {
 public:
  explicit FacesAround(const IndexedMesh& mesh) : mesh_(mesh), rows_(mesh) {}

  void gained(std::uint32_t v, std::uint32_t f) { added_[v].push_back(f); }

  // Calls take(f) for each face f that has v now.
  template <typename Take>
  void forEach(std::uint32_t v, Take take) const {
    const auto has = [&](std::uint32_t f) {
      const auto& face = mesh_.faces[f];
      return face[0] == v || face[1] == v || face[2] == v;
    };
    for (std::uint32_t e = rows_.start[v]; e < rows_.start[v + 1]; ++e) {
      if (has(rows_.face[e])) take(rows_.face[e]);
    }
    const auto more = added_.find(v);
    if (more == added_.end()) return;
    for (const std::uint32_t f : more->second) {
      if (has(f)) take(f);
    }
  }

 private:
  const IndexedMesh& mesh_;
  VertexFaces rows_;
  std::map<std::uint32_t, std::vector<std::uint32_t>> added_;
};

// The face (a, b, c) turned so that c, its middle corner, comes last; false
// where two corners coincide.
bool middleLast(const IndexedMesh& mesh, std::array<std::uint32_t, 3>& f) {
  double longest = -1;
  int opposite = 0;
  for (int i = 0; i < 3; ++i) {
    const double d = squaredDistance(mesh.vertices[f[(i + 1) % 3]], mesh.vertices[f[(i + 2) % 3]]);
    if (d == 0) return false;
    if (d > longest) {
      longest = d;
      opposite = i;
    }
  }
  f = {f[(opposite + 1) % 3], f[(opposite + 2) % 3], f[opposite]};
  return true;
}

}  // namespace

std::size_t flipCollinearFaces(IndexedMesh& mesh) {
  const auto flat = [&](const std::array<std::uint32_t, 3>& f) {
    return spansNoArea(mesh.vertices[f[0]], mesh.vertices[f[1]], mesh.vertices[f[2]]);
  };
  std::vector<std::uint32_t> waiting;
  for (std::uint32_t f = 0; f < mesh.faces.size(); ++f) {
    if (flat(mesh.faces[f])) waiting.push_back(f);
  }
  if (waiting.empty()) return 0;
  FacesAround around(mesh);
  // Faces on one line come in fans along a box edge, where a face's
  // neighbour across its long edge is on the line too until the neighbour
  // itself is mended: sweeps until one mends nothing. Each flip mends a
  // face and makes none, so this ends.
  std::size_t flipped = 0;
  for (bool progress = true; progress && !waiting.empty();) {
    progress = false;
    std::vector<std::uint32_t> left;
    for (const std::uint32_t f : waiting) {
      std::array<std::uint32_t, 3> t = mesh.faces[f];
      if (!flat(t)) continue;
      if (!middleLast(mesh, t)) continue;  // two corners coincide: not a fold
      const std::uint32_t a = t[0], b = t[1], c = t[2];
      // The neighbour across a -> b runs b -> a.
      std::uint32_t g = ~0u, d = 0;
      around.forEach(a, [&](std::uint32_t e) {
        const auto& u = mesh.faces[e];
        for (int i = 0; i < 3; ++i) {
          if (u[i] == b && u[(i + 1) % 3] == a) {
            g = e;
            d = u[(i + 2) % 3];
          }
        }
      });
      if (g == ~0u || d == c) continue;
      bool joined = false;
      around.forEach(c, [&](std::uint32_t e) {
        for (const std::uint32_t v : mesh.faces[e]) joined = joined || v == d;
      });
      const std::array<std::uint32_t, 3> first = {a, d, c}, second = {d, b, c};
      if (joined || flat(first) || flat(second)) {
        left.push_back(f);
        continue;
      }
      mesh.faces[f] = first;
      mesh.faces[g] = second;
      around.gained(d, f);
      around.gained(c, g);
      ++flipped;
      progress = true;
    }
    waiting.swap(left);
  }
  return flipped;
}

}  // namespace mcubes::internal

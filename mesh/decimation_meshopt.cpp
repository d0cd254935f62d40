// Decimation by meshoptimizer (Debian's libmeshoptimizer-dev, 0.18).
//
// Its simplifier refuses collapses that flip a face, and with
// meshopt_SimplifyLockBorder keeps every open rim where it is; but it does
// not test the link condition, so on a closed mesh a collapse now and then
// pinches the surface: most often a fin (two faces on the same corners,
// wound against each other), now and then two sheets sharing an edge. A few
// dozen such faces in a million are usual. So the result is checked
// (tallyEdges) and mended:
// - fins are removed, pair by pair: their edges then have the two faces
//   they had before the fold;
// - where other pinches remain, the original faces around them are locked
//   (kept as they are) and the rest decimated again from the original, the
//   rim against the locked faces held by meshopt_SimplifyLockBorder; a round
//   or two settles it;
// - where pinches keep coming (a fraction the surface's handles cannot
//   reach), the fraction is doubled and all starts again; at 1 nothing is
//   collapsed.
// Collapses within a flat cap can also leave a face's corners on one line
// (along an edge of the box); flipCollinearFaces mends those exactly. The
// mesh stays closed and outward.
#include <meshoptimizer.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "mesh/decimation.h"
#include "mesh/degenerate_faces.h"
#include "mesh/edge_tally.h"
#include "mesh/mesh_components.h"
#include "mesh/vertex_faces.h"

static_assert(sizeof(Point3) == 3 * sizeof(float), "meshoptimizer reads positions as floats");
static_assert(sizeof(std::array<std::uint32_t, 3>) == 3 * sizeof(unsigned int),
              "meshoptimizer reads faces as an index buffer");

namespace {

// Rounds of locking and decimating again before giving up on the pinches
// that remain at this fraction.
constexpr int MaxRounds = 6;

// Locks the original faces within `rings` rings of faces of the corners of
// `pinched` (faces of the decimated mesh, whose corners are original
// vertices); returns how many were newly locked.
std::size_t lockAround(const IndexedMesh& mesh, const VertexFaces& around,
                       const std::vector<std::array<std::uint32_t, 3>>& pinched, int rings,
                       std::vector<bool>& locked) {
  std::vector<bool> reached(mesh.vertices.size(), false);
  std::vector<std::uint32_t> front;
  for (const auto& f : pinched) {
    for (const std::uint32_t v : f) {
      if (!reached[v]) front.push_back(v);
      reached[v] = true;
    }
  }
  std::size_t newly = 0;
  for (int ring = 0; ring < rings && !front.empty(); ++ring) {
    std::vector<std::uint32_t> next;
    for (const std::uint32_t v : front) {
      for (std::uint32_t e = around.start[v]; e < around.start[v + 1]; ++e) {
        const std::uint32_t f = around.face[e];
        if (!locked[f]) ++newly;
        locked[f] = true;
        for (const std::uint32_t w : mesh.faces[f]) {
          if (!reached[w]) next.push_back(w);
          reached[w] = true;
        }
      }
    }
    front.swap(next);
  }
  return newly;
}

// Removes the fins among `pinched` (faces of `faces`): pairs of faces on the
// same three corners wound against each other, a sliver of no volume that
// a collapse folded out of the surface. Without the pair each of its edges
// keeps the two faces it had before the fold, so the mesh is closed there
// again. Returns the faces removed.
std::size_t removeFins(std::vector<std::array<std::uint32_t, 3>>& faces,
                       const std::vector<std::uint32_t>& pinched) {
  // The pinched faces by their corners in order, and whether turned (odd).
  std::vector<std::pair<std::array<std::uint32_t, 3>, std::uint32_t>> byCorners;
  for (const std::uint32_t f : pinched) {
    std::array<std::uint32_t, 3> key = faces[f];
    std::sort(key.begin(), key.end());
    byCorners.push_back({key, f});
  }
  std::sort(byCorners.begin(), byCorners.end());
  // A face and one turned the other way: some rotation of one reverses
  // the other.
  const auto against = [&](std::uint32_t f, std::uint32_t g) {
    const auto& a = faces[f];
    const auto& b = faces[g];
    for (int r = 0; r < 3; ++r) {
      if (a[0] == b[r] && a[1] == b[(r + 2) % 3] && a[2] == b[(r + 1) % 3]) return true;
    }
    return false;
  };
  std::vector<bool> gone(faces.size(), false);
  std::size_t removed = 0;
  for (std::size_t i = 0; i + 1 < byCorners.size(); ++i) {
    for (std::size_t j = i + 1; j < byCorners.size() && byCorners[j].first == byCorners[i].first;
         ++j) {
      const std::uint32_t f = byCorners[i].second, g = byCorners[j].second;
      if (gone[f] || gone[g] || !against(f, g)) continue;
      gone[f] = gone[g] = true;
      removed += 2;
    }
  }
  if (removed == 0) return 0;
  std::size_t kept = 0;
  for (std::size_t f = 0; f < faces.size(); ++f) {
    if (!gone[f]) faces[kept++] = faces[f];
  }
  faces.resize(kept);
  return removed;
}

// One decimation of the faces not locked, at `fraction` of them, with the
// locked ones as they are.
struct Attempt {
  std::vector<std::array<std::uint32_t, 3>> faces;
  float error = 0;
};

void decimateFree(const IndexedMesh& mesh, const std::vector<bool>& locked, double fraction,
                  std::vector<std::uint32_t>& indices, Attempt& attempt) {
  indices.clear();
  attempt.faces.clear();
  for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
    if (locked[f]) {
      attempt.faces.push_back(mesh.faces[f]);
    } else {
      indices.insert(indices.end(), mesh.faces[f].begin(), mesh.faces[f].end());
    }
  }
  const auto target = 3 * static_cast<std::size_t>(
                              std::llround(fraction * static_cast<double>(indices.size() / 3)));
  // No bound on the error: the fraction decides where to stop.
  const std::size_t kept =
      meshopt_simplify(indices.data(), indices.data(), indices.size(),
                       reinterpret_cast<const float*>(mesh.vertices.data()), mesh.vertices.size(),
                       sizeof(Point3), target, 1.0f, meshopt_SimplifyLockBorder, &attempt.error);
  for (std::size_t i = 0; i < kept; i += 3) {
    attempt.faces.push_back({indices[i], indices[i + 1], indices[i + 2]});
  }
}

}  // namespace

bool decimationAvailable() { return true; }

DecimationResult decimateMesh(IndexedMesh& mesh, double fraction) {
  DecimationResult result;
  const std::size_t faces = mesh.faces.size();
  result.trianglesBefore = result.trianglesAfter = faces;
  // Only a closed mesh is checked and mended: on an open one its rims
  // would count as defects from the start.
  const bool closed = result.closed = tallyEdges(mesh).closed();
  if (faces == 0 || !(fraction < 1.0)) return result;

  std::vector<bool> locked(faces, false);
  std::size_t lockedCount = 0;
  std::unique_ptr<VertexFaces> around;
  std::vector<std::uint32_t> indices;
  Attempt attempt;
  for (int round = 0;; ++round) {
    decimateFree(mesh, locked, fraction, indices, attempt);
    if (!closed) break;
    std::vector<std::uint32_t> pinched = facesOnDefectiveEdges(attempt.faces, mesh.vertices.size());
    const std::size_t fins = pinched.empty() ? 0 : removeFins(attempt.faces, pinched);
    if (fins > 0) pinched = facesOnDefectiveEdges(attempt.faces, mesh.vertices.size());
    result.finFaces = fins;
    if (pinched.empty()) break;
    if (round == MaxRounds) {
      // Pinches keep coming: the fraction asks for fewer faces than the
      // surface's topology (its handles) can keep. Start again at twice
      // the fraction: at 1 nothing is collapsed at all.
      fraction = std::min(1.0, 2 * fraction);
      ++result.relaxed;
      std::fill(locked.begin(), locked.end(), false);
      lockedCount = 0;
      round = -1;
      continue;
    }
    if (!around) around = std::make_unique<VertexFaces>(mesh);
    std::vector<std::array<std::uint32_t, 3>> pinchedFaces;
    for (const std::uint32_t f : pinched) pinchedFaces.push_back(attempt.faces[f]);
    // A ring more every few rounds where pinches recur.
    lockedCount += lockAround(mesh, *around, pinchedFaces, 1 + round / 3, locked);
  }
  result.repairedFaces = lockedCount;
  result.error = attempt.error;
  result.worldError =
      attempt.error * meshopt_simplifyScale(reinterpret_cast<const float*>(mesh.vertices.data()),
                                            mesh.vertices.size(), sizeof(Point3));
  mesh.faces.swap(attempt.faces);
  // Collapses within a flat cap can leave three corners on one line (along
  // an edge of the box): no flip to meshoptimizer, a fold to everyone else.
  result.flippedFaces = flipCollinearFaces(mesh);
  removeUnusedVertices(mesh);
  result.trianglesAfter = mesh.faces.size();
  return result;
}

// A surface welded as the sweep goes, made in parts (slabs of the scene,
// chunks of a volume's layers) on several threads and joined in order. A
// part numbers its vertices in the order its faces first use them, faces
// wound outward in the drawing order of their triangles: the numbering that
// welding the whole soup by edge key gives, once the parts are joined.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "mesh/surface/key_table.h"
#include "mesh/surface/surface.h"

namespace mcubes::internal {

// (place or index, vertex number) pairs.
using NumberedVertices = std::vector<std::pair<std::int64_t, std::uint32_t>>;

struct WeldedPart {
  IndexedMesh mesh;
  // The vertices on the edges of the part's first and last plane of lattice
  // points, which it shares with the parts before and after, by their
  // place in the plane (any numbering the part before and after share).
  NumberedVertices firstPlane, lastPlane;
  // Vertices on edges in the faces of the lattice's box, by the edge's key
  // (kept where caps need them).
  std::vector<std::pair<EdgeKey, std::uint32_t>> faceEdges;
  // Vertices exactly on a lattice point, by the point's index (kept where
  // lattice points are distinct).
  NumberedVertices onPoints;

  void clear();
};

// Room in a mesh for the whole of it, of which it holds the share `done`
// of `total` (layers swept, say), with some to spare. A mesh grown by
// doubling is copied into fresh pages at each step, which costs about as
// much as making it; room that is never filled costs only address space.
// Surfaces are seldom spread evenly over the layers (a ball's or a torus's
// grow toward the middle), so the layers to come are foretold at the most
// that any run of layers so far added a layer, not at their average.
class RoomForWhole {
 public:
  void make(IndexedMesh& mesh, std::int64_t done, std::int64_t total);

 private:
  std::int64_t done_ = 0;
  std::size_t sizes_[3] = {};  // vertices, normals, faces at `done_`
  double most_[3] = {};        // the most of each a layer added
};

// Parts joined in order: the vertices a part shares with the part before
// become that part's, the rest are numbered on after the mesh's.
class JoinedParts {
 public:
  void add(WeldedPart& part);
  // Says that the parts joined so far are the share `done` of `total`.
  void expect(std::int64_t done, std::int64_t total) { room_.make(mesh, done, total); }

  // What was joined as one part, to be joined in turn with others (the
  // shares of several processes); empties this.
  WeldedPart take();

  IndexedMesh mesh;
  KeyTable<std::uint32_t> faceEdges;
  NumberedVertices onPoints;

 private:
  // The edge's first vertex is kept.
  void addFaceEdge(EdgeKey key, std::uint32_t v) {
    const auto [held, made] = faceEdges.tryEmplace(key);
    if (made) *held = v;
  }

  bool first_ = true;
  RoomForWhole room_;
  NumberedVertices firstPlane_;         // the first part's
  NumberedVertices lastPlane_;          // in the mesh's numbering, by place
  std::vector<std::uint32_t> numbers_;  // a part's vertex numbers in the mesh
};

}  // namespace mcubes::internal

// The surface types that the extractors produce and the pipeline's stages,
// writers and viewer consume: the triangle soup as extracted, and the
// indexed mesh it is welded into.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "iso/cell_types.h"
#include "mesh/surface/huge_pages.h"
#include "mesh/surface/packed_vector.h"

namespace mcubes::internal {

// A lattice edge: neighbouring cells compute the vertex on an edge they
// share from their own corner values, which can differ in the last bits, so
// only the edge says reliably that two vertices are one.
using EdgeKey = std::uint64_t;

// Triangles as the polygoniser draws them, each with three vertices of its
// own.
struct ExtractedSurface {
  std::vector<Triangle> triangles;
  // Per triangle, the edge of each vertex; empty unless asked for.
  std::vector<std::array<EdgeKey, 3>> edges;
  // Per triangle, the unit normal at each vertex; empty unless asked for
  // (volumes only: the scene's normals come from its field, mesh/scene/normals.h).
  std::vector<std::array<Point3, 3>> normals;

  void clear() {
    triangles.clear();
    edges.clear();
    normals.clear();
  }
};

// Shared vertices and faces that index them. Per-vertex attributes are
// either empty or one per vertex; stages that add one (a label, a scalar)
// add a vector beside `normals` and keep it in step where vertices are
// merged or renumbered.
using Face = std::array<std::uint32_t, 3>;
// Held as plain vectors of their numbers (mesh/surface/packed_vector.h).
using PointArray = PackedVector<Point3, float>;
using FaceArray = PackedVector<Face, std::uint32_t>;

struct IndexedMesh {
  PointArray vertices;
  FaceArray faces;     // zero-based, outward winding
  PointArray normals;  // empty, or one unit normal per vertex
};

// Room for `total` elements of a vector (std::vector, PackedVector),
// growing geometrically: callers add batch after batch to the same vectors.
// A new block is prepared before anything is written to it, the elements
// it already holds included: a large one goes on huge pages, a small one
// has its pages brought in at once (mesh/surface/huge_pages.h).
template <typename Vector>
void makeRoom(Vector& v, std::size_t total) {
  if (total <= v.capacity()) return;
  Vector grown;
  grown.reserve(std::max(total, 2 * v.capacity()));
  prepareBlock(grown.data(), grown.capacity() * sizeof(typename Vector::value_type));
  grown.insert(grown.end(), v.begin(), v.end());
  v.swap(grown);
}

// Adds an element made of `args`, growing the vector as makeRoom does.
template <typename Vector, typename... Args>
void emplaceGrown(Vector& v, Args&&... args) {
  makeRoom(v, v.size() + 1);
  v.emplace_back(std::forward<Args>(args)...);
}

// `count` elements, each `value`, in a vector grown as makeRoom does.
template <typename Vector, typename Value>
void assignGrown(Vector& v, std::size_t count, const Value& value) {
  makeRoom(v, count);
  v.assign(count, value);
}

}  // namespace mcubes::internal

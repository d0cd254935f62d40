// Whether a mesh is closed and consistently wound, counted in linear time:
// every edge shared by exactly two faces that run it in opposite
// directions. The finishing stages check their result with it (decimation
// can pinch a surface), and report whether a volume means anything.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "mesh/surface/surface.h"

namespace mcubes::internal {

struct EdgeTally {
  std::size_t edges = 0;  // directed edges: three per face
  // Directed edges that no face runs backwards: the rims of holes.
  std::size_t open = 0;
  // Directed edges that two faces run the same way, or whose reverse two
  // faces run: edges of more than two faces, or faces wound against their
  // neighbours.
  std::size_t defective = 0;
  bool closed() const { return open == 0 && defective == 0; }
};

// `vertexCount`: one more than the largest index the faces use, or more.
EdgeTally tallyEdges(const FaceArray& faces, std::size_t vertexCount);
inline EdgeTally tallyEdges(const IndexedMesh& mesh) {
  return tallyEdges(mesh.faces, mesh.vertices.size());
}

// The faces with an edge that tallyEdges counts as defective.
std::vector<std::uint32_t> facesOnDefectiveEdges(const FaceArray& faces, std::size_t vertexCount);

}  // namespace mcubes::internal

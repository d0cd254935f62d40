// The faces around each vertex of a mesh, in compressed rows: what the
// stages that walk a surface locally (decimation's mending, the flips of
// faces without area) look up.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/surface/surface.h"

namespace mcubes::internal {

struct VertexFaces {
  // The faces of vertex v are face[start[v]] ... face[start[v + 1] - 1], in
  // the order of the mesh's faces.
  std::vector<std::uint32_t> start;
  std::vector<std::uint32_t> face;

  explicit VertexFaces(const IndexedMesh& mesh);
};

}  // namespace mcubes::internal

// The connected parts of a mesh, and removing some of them: what scans
// need before anything else (a CT's table, noise specks, a bone's
// neighbours). Faces are connected where they share a vertex, so parts that
// only touch at a point are one (the surface of one solid).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "mesh/surface/surface.h"

namespace mcubes::internal {

struct MeshComponents {
  // Per face, its part, numbered in the order of each part's first face.
  std::vector<std::uint32_t> ofFace;
  // Per part, its number of faces.
  std::vector<std::size_t> faces;
};

MeshComponents meshComponents(const IndexedMesh& mesh);

// Keeps the faces with keep[f] true and the vertices they use, both in
// their order, normals in step; returns how many faces went.
std::size_t keepFaces(IndexedMesh& mesh, const std::vector<bool>& keep);

// Removes the vertices no face uses, keeping the order of the rest and
// their normals in step; returns how many went.
std::size_t removeUnusedVertices(IndexedMesh& mesh);

}  // namespace mcubes::internal

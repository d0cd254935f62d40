// Fewer triangles for the same shape: edge collapse under quadric error
// (mesh/finishing/decimation.cpp). A marching-cubes surface has several times the
// triangles its shape needs; printers, viewers and finite-element meshers
// want far fewer, and a printer a surface that stays closed, manifold and
// free of self-intersections.
#pragma once

#include <cstddef>

#include "mesh/surface/surface.h"
#include "volume/volume.h"

namespace mcubes::internal {

struct DecimationResult {
  // Whether the mesh given was closed (tallyEdges); if so, it still is.
  bool closed = false;
  std::size_t trianglesBefore = 0;
  std::size_t trianglesAsked = 0;  // the fraction of those before
  std::size_t trianglesAfter = 0;
  // The largest deviation of a merged vertex from the planes of the faces
  // it stands for (root mean square, weighted by their areas), in the
  // mesh's units, and relative to the mesh's extent.
  double worldError = 0;
  double error = 0;
};

// Collapses edges until `fraction` (0 < fraction <= 1) of the faces remain,
// or no collapse passes the checks (fewer faces than the topology allows,
// or every collapse left would cross the surface): trianglesAfter says how
// far it got. A closed, outward, manifold mesh stays closed, outward, edge-
// and vertex-manifold, of the same parts and handles, and gains no
// self-intersection; vertices on the faces of `box` (the caps) stay on
// them. The vertices no face uses any more are removed, the rest keep their
// order, normals in step (stale: recompute them).
DecimationResult decimateMesh(IndexedMesh& mesh, double fraction,
                              const VolumeGeometry* box = nullptr);

}  // namespace mcubes::internal

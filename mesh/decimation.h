// Fewer triangles for the same shape: meshoptimizer's edge-collapse
// simplifier (quadric error), where the build has it. A marching-cubes
// surface has several times the triangles its shape needs; printers,
// viewers and finite-element meshers want far fewer.
#pragma once

#include <cstddef>
#include <stdexcept>

#include "mesh/surface.h"

// Thrown by decimateMesh in a build without meshoptimizer (the Windows and
// browser builds); the message says so in one line.
class DecimationUnavailable : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct DecimationResult {
  // Whether the mesh given was closed (tallyEdges); if so, it still is.
  bool closed = false;
  std::size_t trianglesBefore = 0;
  std::size_t trianglesAfter = 0;
  // The largest deviation the collapses caused, relative to the mesh's
  // extent as meshoptimizer measures it, and the same in the mesh's units.
  double error = 0;
  double worldError = 0;
  // Faces removed in pairs where a collapse folded a fin out of the
  // surface, and original faces kept as they were because collapses around
  // them pinched it (see decimation_meshopt.cpp); a few in most meshes.
  std::size_t finFaces = 0;
  std::size_t repairedFaces = 0;
  // How many times the fraction was doubled because it asked for fewer
  // faces than the surface's topology can keep without pinching.
  int relaxed = 0;
  // Faces whose corners the collapses left on one line, mended by flipping
  // an edge (mesh/degenerate_faces.h).
  std::size_t flippedFaces = 0;
};

// Whether this build can decimate.
bool decimationAvailable();

// Collapses edges until about `fraction` (0 < fraction <= 1) of the faces
// remain, or no collapse keeps the topology; the vertices no face uses any
// more are removed, the rest keep their order, normals in step (stale:
// recompute them). A closed, outward mesh stays closed and outward.
DecimationResult decimateMesh(IndexedMesh& mesh, double fraction);

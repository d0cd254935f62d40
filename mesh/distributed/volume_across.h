// A volume meshed across several processes (mesh/distributed/communicator.h): every
// process meshes its share of the layers, reading only the slices it needs.
// Either each writes its piece of the mesh at its place in one file, none
// holding the whole (binary PLY or STL), or process 0 gathers the shares
// and goes on alone. Either way the bytes are those one process writes.
#pragma once

#include <string>

#include "mesh/distributed/communicator.h"
#include "mesh/distributed/volume_piece.h"
#include "mesh/pipeline/surface_pipeline.h"
#include "mesh/writers/mesh_writers.h"

namespace mcubes::internal {

// Process 0 joins the shares (the mesh of one process, bit for bit) and
// gets the mesh and the report; the others get nothing.
IndexedMesh volumeMeshGathered(Communicator& processes, VolumeReader& reader,
                               const SurfaceOptions& options, SurfaceReport& report,
                               const SurfaceProgress& progress);

// Whether the processes can make the mesh of the volume in pieces: a
// lattice whose points are distinct where the mesh is welded.
bool weldableInPieces(const VolumeGeometry& geometry, const SurfaceOptions& options);

// This process's piece of the mesh (mesh/distributed/volume_piece.h); every process
// gets the whole volume's findings.
MeshPiece volumeMeshPiece(Communicator& processes, VolumeReader& reader,
                          const SurfaceOptions& options, SurfaceReport& report,
                          const SurfaceProgress& progress);

// Writes every process's piece at its place in `path` (binary PLY or STL):
// the file one process writes of the whole mesh. `normals`: whether the
// mesh has them (a piece may have no vertices).
void writePieces(Communicator& processes, const std::string& path, MeshFormat format,
                 const std::string& comment, const MeshPiece& piece, bool normals);

}  // namespace mcubes::internal

// mcubes mesh --volume under mpirun: every process meshes its share of the
// layers, reading only the slices it needs. Where the mesh goes to a binary
// PLY or STL file the processes write it together, each its piece at its
// place, none holding the whole; otherwise process 0 gathers the shares and
// goes on alone (text formats, standard output, the finishing steps).
// Either way the bytes are those one process writes.
#pragma once

#include <string>

#include "mesh/distributed/volume_piece.h"
#include "mesh/pipeline/surface_pipeline.h"
#include "mesh/writers/mesh_writers.h"

// Process 0 joins the shares (the mesh of one process, bit for bit) and
// gets the mesh and the report; the others get nothing.
IndexedMesh volumeMeshGathered(VolumeReader& reader, const SurfaceOptions& options,
                               SurfaceReport& report, const SurfaceProgress& progress);

// Whether the processes can write the mesh of the volume to `path` in
// pieces: binary PLY or STL to a regular file (or none yet), from a lattice
// whose points are distinct where the mesh is welded.
bool writtenInPieces(const std::string& path, MeshFormat format, bool ascii,
                     const VolumeGeometry& geometry, const SurfaceOptions& options);

// This process's piece of the mesh (mesh/distributed/volume_piece.h); every process
// gets the whole volume's findings.
MeshPiece volumeMeshPiece(VolumeReader& reader, const SurfaceOptions& options,
                          SurfaceReport& report, const SurfaceProgress& progress);

// Writes every process's piece at its place in `path` (MPI-IO): the file
// one process writes of the whole mesh. `normals`: whether the mesh has
// them (a piece may have no vertices).
void writePieces(const std::string& path, MeshFormat format, const std::string& comment,
                 const MeshPiece& piece, bool normals);

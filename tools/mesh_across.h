// mcubes mesh --volume under mpirun: which way the processes write the mesh
// (mesh/distributed/volume_across.h).
#pragma once

#include <string>

#include "mesh/pipeline/surface_pipeline.h"
#include "mesh/writers/mesh_writers.h"

// Whether the processes can write the mesh of the volume to `path` in
// pieces: binary PLY or STL to a regular file (or none yet), from a lattice
// whose points are distinct where the mesh is welded. Otherwise process 0
// gathers the shares and goes on alone (text formats, standard output, the
// finishing steps).
bool writtenInPieces(const std::string& path, MeshFormat format, bool ascii,
                     const VolumeGeometry& geometry, const SurfaceOptions& options);

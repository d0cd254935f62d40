// Between the library's public types and the pipeline's own, and the
// checks of the public arguments.
#pragma once

#include <string>

#include "mcubes/mesh.h"
#include "mcubes/meshing.h"
#include "mcubes/surface.h"
#include "mcubes/volume.h"
#include "mesh/pipeline/surface_pipeline.h"
#include "mesh/surface/surface.h"
#include "volume/volume.h"

namespace mcubes {

VoxelType publicType(internal::VoxelType type);
internal::VoxelType internalType(VoxelType type);
Geometry publicGeometry(const internal::VolumeGeometry& geometry);
internal::VolumeGeometry internalGeometry(const Geometry& geometry);
internal::VolumeGeometry placedGeometry(const std::int64_t (&dims)[3], const Placement& placement);

// The arrays move over as they are, in either direction.
Mesh publicMesh(internal::IndexedMesh&& mesh);
// Throws ArgumentError where the arrays do not make a mesh.
internal::IndexedMesh internalMesh(Mesh mesh);

// The volume file the source names, opened; throws VolumeError.
std::unique_ptr<internal::VolumeReader> openFile(const FileSource& source);

// The reader of a volume none of whose slices were read, which the caller
// then reads whole: the pipeline reads a volume once, from its first slice.
// Throws ArgumentError for a volume already read from.
class VolumeAccess {
 public:
  static internal::VolumeReader& unreadReader(Volume& volume);
};

}  // namespace mcubes

#include "library/conversion.h"

#include <cmath>
#include <cstring>
#include <thread>
#include <utility>

#include "mcubes/error.h"

using namespace mcubes::internal;

namespace mcubes {

static_assert(static_cast<int>(VoxelType::Float64) ==
                      static_cast<int>(internal::VoxelType::Float64) &&
                  static_cast<int>(VoxelType::Uint8) ==
                      static_cast<int>(internal::VoxelType::Uint8),
              "the public voxel types are the readers' in the same order");

VoxelType publicType(internal::VoxelType type) { return static_cast<VoxelType>(type); }

internal::VoxelType internalType(VoxelType type) { return static_cast<internal::VoxelType>(type); }

Geometry publicGeometry(const VolumeGeometry& geometry) {
  Geometry result;
  std::memcpy(result.dims, geometry.dims, sizeof result.dims);
  std::memcpy(result.origin, geometry.origin, sizeof result.origin);
  std::memcpy(result.axes, geometry.axes, sizeof result.axes);
  return result;
}

VolumeGeometry internalGeometry(const Geometry& geometry) {
  VolumeGeometry result;
  std::memcpy(result.dims, geometry.dims, sizeof result.dims);
  std::memcpy(result.origin, geometry.origin, sizeof result.origin);
  std::memcpy(result.axes, geometry.axes, sizeof result.axes);
  return result;
}

VolumeGeometry placedGeometry(const std::int64_t (&dims)[3], const Placement& placement) {
  VolumeGeometry geometry{};
  for (int a = 0; a < 3; ++a) {
    if (dims[a] < 1) {
      throw ArgumentError("the volume has " + std::to_string(dims[a]) + " voxels along axis " +
                          std::to_string(a) + "; it needs at least one along every axis");
    }
    if (!std::isfinite(placement.spacing[a]) || placement.spacing[a] == 0.0 ||
        !std::isfinite(placement.origin[a])) {
      throw ArgumentError("spacing and origin must be finite numbers, the spacing nonzero");
    }
    geometry.dims[a] = dims[a];
    geometry.origin[a] = placement.origin[a];
    geometry.axes[a][a] = placement.spacing[a];
  }
  return geometry;
}

// The mesh's arrays are vectors of their numbers already
// (mesh/surface/packed_vector.h): they leave as they are, without a copy.
Mesh publicMesh(IndexedMesh&& mesh) {
  Mesh result;
  result.positions = std::move(mesh.vertices.numbers());
  result.normals = std::move(mesh.normals.numbers());
  result.indices = std::move(mesh.faces.numbers());
  mesh = {};
  return result;
}

IndexedMesh internalMesh(Mesh mesh) {
  const std::size_t vertices = mesh.positions.size() / 3;
  if (mesh.positions.size() % 3 != 0 || mesh.indices.size() % 3 != 0) {
    throw ArgumentError("positions and indices must hold three numbers per vertex and face");
  }
  if (!mesh.normals.empty() && mesh.normals.size() != mesh.positions.size()) {
    throw ArgumentError("normals must be empty or one per vertex (" + std::to_string(vertices) +
                        ")");
  }
  for (const std::uint32_t index : mesh.indices) {
    if (index >= vertices) {
      throw ArgumentError("a face names vertex " + std::to_string(index) + " of a mesh of " +
                          std::to_string(vertices) + " vertices");
    }
  }
  IndexedMesh result;
  result.vertices.numbers() = std::move(mesh.positions);
  result.normals.numbers() = std::move(mesh.normals);
  result.faces.numbers() = std::move(mesh.indices);
  return result;
}

}  // namespace mcubes

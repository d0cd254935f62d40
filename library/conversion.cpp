#include "library/conversion.h"

#include <cmath>
#include <cstring>
#include <thread>
#include <type_traits>

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

// The public mesh's arrays are new blocks the size of the mesh: made on
// huge pages (makeRoom) before they are filled, as the pipeline's own, they
// are faulted in 2 MB at a time instead of 4 KB.
Mesh publicMesh(IndexedMesh&& mesh) {
  static_assert(sizeof(Point3) == 3 * sizeof(float), "a point is three packed floats");
  static_assert(sizeof(mesh.faces[0]) == 3 * sizeof(std::uint32_t), "a face is three numbers");
  const auto flat = [](auto& items, auto& result) {
    using Number = typename std::remove_reference_t<decltype(result)>::value_type;
    const auto* first = reinterpret_cast<const Number*>(items.data());
    const std::size_t count = items.size() * 3;
    internal::makeRoom(result, count);
    result.assign(first, first + count);
    std::remove_reference_t<decltype(items)>().swap(items);
  };
  Mesh result;
  flat(mesh.vertices, result.positions);
  flat(mesh.normals, result.normals);
  flat(mesh.faces, result.indices);
  return result;
}

IndexedMesh internalMesh(const Mesh& mesh) {
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
  result.vertices.resize(vertices);
  result.normals.resize(mesh.normals.size() / 3);
  result.faces.resize(mesh.indices.size() / 3);
  if (vertices > 0) std::memcpy(result.vertices.data(), mesh.positions.data(), vertices * 12);
  if (!mesh.normals.empty()) std::memcpy(result.normals.data(), mesh.normals.data(), vertices * 12);
  if (!mesh.indices.empty()) {
    std::memcpy(result.faces.data(), mesh.indices.data(), mesh.indices.size() * 4);
  }
  return result;
}

}  // namespace mcubes

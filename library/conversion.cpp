#include "library/conversion.h"

#include <cmath>
#include <cstring>
#include <thread>

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

Mesh publicMesh(IndexedMesh&& mesh) {
  static_assert(sizeof(Point3) == 3 * sizeof(float), "a point is three packed floats");
  const auto floats = [](std::vector<Point3>& points) {
    std::vector<float> result(points.size() * 3);
    if (!points.empty()) std::memcpy(result.data(), points.data(), result.size() * sizeof(float));
    std::vector<Point3>().swap(points);
    return result;
  };
  Mesh result;
  result.positions = floats(mesh.vertices);
  result.normals = floats(mesh.normals);
  result.indices.resize(mesh.faces.size() * 3);
  if (!mesh.faces.empty()) {
    std::memcpy(result.indices.data(), mesh.faces.data(),
                result.indices.size() * sizeof(std::uint32_t));
  }
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

// Checks shared by every format: sizes that make a volume, and an
// index-to-world mapping of finite numbers whose axes span space.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "volume/volume.h"

namespace mcubes::internal {

// The bytes that voxels of `bytesPerVoxel` need for a lattice of `sizes`
// (every axis, past the third too). Fails, naming `file`, unless there are
// at least three axes, each at least 1, and the bytes fit in 63 bits.
std::int64_t latticeBytes(const std::string& file, const std::vector<std::int64_t>& sizes,
                          int bytesPerVoxel);

// How far the axes are from lying in one plane: |det| of the unit vectors
// along them, 1 where they are square to each other, 0 where one has length
// 0 or they are parallel or coplanar; NaN where one is not finite.
double axesSpread(const VolumeGeometry& geometry);

// Below this spread the lattice is taken as flat: its surfaces would have
// no volume (the axes lie within a millionth of a radian of one plane).
constexpr double FlatSpread = 1e-6;

// Fails, naming `file` and the header's field that gave the axes or the
// origin as its format spells it (`axesField`: "'space directions' field",
// "TransformMatrix", "sform (srow_x, srow_y, srow_z)"; `originField`),
// unless origin and axes are finite and the axes span space (no axis of
// length 0, no two parallel, not all three in one plane). Every reader of a
// header checks its geometry here.
void checkGeometry(const std::string& file, const VolumeGeometry& geometry,
                   const std::string& axesField, const std::string& originField);

// A lattice's stored bytes (of every volume) and how many volumes the axes
// past the third hold.
struct LatticeSize {
  std::int64_t bytes;
  std::int64_t volumes;
};

// The first volume of a lattice of `sizes` (every axis) of voxels of
// `volume.type`: its dims are the first three sizes, and its notice says that
// the first is meshed where there are more. Fails as latticeBytes does.
LatticeSize firstVolume(const std::string& file, const std::vector<std::int64_t>& sizes,
                        VolumeHeader& volume);

// The geometry of a lattice of `dims` placed by `placement`, for a file that
// states none. Fails, naming `file`, unless every number is finite and no
// spacing is 0.
VolumeGeometry placedGeometry(const std::string& file, const std::int64_t (&dims)[3],
                              const VoxelPlacement& placement);

}  // namespace mcubes::internal

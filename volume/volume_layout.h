// Checks shared by every format: sizes that make a volume, and an
// index-to-world mapping of finite numbers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "volume/volume.h"

// The bytes that voxels of `bytesPerVoxel` need for a lattice of `sizes`
// (every axis, past the third too). Fails, naming `file`, unless there are
// at least three axes, each at least 1, and the bytes fit in 63 bits.
std::int64_t latticeBytes(const std::string& file, const std::vector<std::int64_t>& sizes,
                          int bytesPerVoxel);

// Fails, naming `file`, unless origin and axes are finite.
void checkGeometry(const std::string& file, const VolumeGeometry& geometry);

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

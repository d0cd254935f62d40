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

// The notice for a file with more than one volume (`volumes` of them).
std::string firstVolumeNotice(const std::string& file, std::int64_t volumes);

// A volume in its owner's memory (a numpy array, a C++ user's buffer), read
// in place: each slice is converted to values as the extraction asks for
// it, so the voxels are never copied whole.
#pragma once

#include <cstdint>
#include <vector>

#include "volume/volume.h"

namespace mcubes::internal {

// Where voxel (i, j, k) lies: data + i * strides[0] + j * strides[1] + k *
// strides[2] bytes, strides of either sign (a C-ordered array, a Fortran-
// ordered one, a reversed or sliced view), in the machine's byte order.
// A slab of the volume (one piece's slices) holds slices from `firstSlice`
// on: its voxel (i, j, k) lies at k - firstSlice, and the slices before
// it are skipped, never read.
struct VoxelArray {
  const void* data;
  VoxelType type;
  std::int64_t strides[3];
  std::int64_t firstSlice = 0;
};

class ArrayVolume : public VolumeReader {
 public:
  ArrayVolume(const VolumeGeometry& geometry, const VoxelArray& array);
  const VolumeHeader& header() const override { return header_; }
  void readSlices(std::int64_t count, double* out) override;
  void skipSlices(std::int64_t count) override;

 private:
  VolumeHeader header_;
  VoxelArray array_;
  std::int64_t nextSlice_ = 0;
  std::vector<unsigned char> row_;  // a row gathered where its voxels are apart
};

}  // namespace mcubes::internal

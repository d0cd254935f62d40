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
// A slab of the volume (one piece's slices) holds `slices` slices from
// `firstSlice` on (0: to the volume's last): its voxel (i, j, k) lies at
// k - firstSlice, and the slices outside it are never read.
struct VoxelArray {
  const void* data;
  VoxelType type;
  std::int64_t strides[3];
  std::int64_t firstSlice = 0;
  std::int64_t slices = 0;
};

// Where k is nearer in memory than i (a Fortran-ordered array), a row's
// voxels lie far apart: slices are then gathered a block at a time, each
// voxel's run along k read at once, so that memory is read in runs. The
// values, and so the mesh, do not depend on the layout.
class ArrayVolume : public VolumeReader {
 public:
  ArrayVolume(const VolumeGeometry& geometry, const VoxelArray& array);
  const VolumeHeader& header() const override { return header_; }
  void readSlices(std::int64_t count, double* out) override;
  ValueForm valueForm() const override;
  void skipSlices(std::int64_t count) override;

 private:
  void readNarrowSlices(std::int64_t count, float* out) override;
  void readNarrowSlices(std::int64_t count, std::uint8_t* out) override;
  template <typename Value>
  void read(std::int64_t count, Value* out);

  // Gathers slices [first, first + count) into block_, packed, i fastest.
  void gatherBlock(std::int64_t first, std::int64_t count);

  VolumeHeader header_;
  VoxelArray array_;
  std::int64_t nextSlice_ = 0;
  std::vector<unsigned char> row_;  // a row gathered where its voxels are apart
  // Slices gathered from a layout with k nearest: from blockFirst_ on.
  std::vector<unsigned char> block_;
  std::int64_t blockFirst_ = 0, blockSlices_ = 0;
};

}  // namespace mcubes::internal

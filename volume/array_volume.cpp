#include "volume/array_volume.h"

#include <cstring>
#include <stdexcept>

#include "volume/read_failure.h"
#include "volume/voxel_decoding.h"

namespace mcubes::internal {

namespace {

constexpr bool BigEndianMachine = __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__;

}  // namespace

ArrayVolume::ArrayVolume(const VolumeGeometry& geometry, const VoxelArray& array) : array_(array) {
  header_.geometry = geometry;
  header_.type = array.type;
}

void ArrayVolume::readSlices(std::int64_t count, double* out) {
  const std::int64_t* dims = header_.geometry.dims;
  checkSlicesLeft(count, nextSlice_, dims[2]);
  if (count > 0 && nextSlice_ < array_.firstSlice) {
    throw std::logic_error("a slab of a volume was asked for a slice before its first");
  }
  const std::int64_t bytes = voxelBytes(array_.type);
  const bool packedRows = array_.strides[0] == bytes;
  if (!packedRows) row_.resize(static_cast<std::size_t>(dims[0] * bytes));
  const auto* data = static_cast<const unsigned char*>(array_.data);
  for (std::int64_t k = nextSlice_; k < nextSlice_ + count; ++k) {
    for (std::int64_t j = 0; j < dims[1]; ++j) {
      const unsigned char* row =
          data + j * array_.strides[1] + (k - array_.firstSlice) * array_.strides[2];
      if (!packedRows) {
        for (std::int64_t i = 0; i < dims[0]; ++i) {
          std::memcpy(row_.data() + i * bytes, row + i * array_.strides[0],
                      static_cast<std::size_t>(bytes));
        }
        row = row_.data();
      }
      decodeVoxels(array_.type, BigEndianMachine, row, static_cast<std::size_t>(dims[0]), out);
      out += dims[0];
    }
  }
  nextSlice_ += count;
}

void ArrayVolume::skipSlices(std::int64_t count) {
  checkSlicesLeft(count, nextSlice_, header_.geometry.dims[2]);
  nextSlice_ += count;
}

}  // namespace mcubes::internal

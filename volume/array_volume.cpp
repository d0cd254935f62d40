#include "volume/array_volume.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "volume/read_failure.h"
#include "volume/voxel_decoding.h"

namespace mcubes::internal {

namespace {

constexpr bool BigEndianMachine = __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__;

// Bytes of voxels gathered at a time where k is nearest in memory: enough
// slices that each run along k spans a good part of a cache line, few
// enough to stay in the cache.
constexpr std::int64_t BlockBytes = std::int64_t{4} << 20;
constexpr std::int64_t MaxBlockSlices = 64;

std::int64_t magnitude(std::int64_t stride) { return stride < 0 ? -stride : stride; }

// The voxels of `count` slices from `data` (slice 0's voxel (0, 0)), each
// `Bytes` bytes, read a run along k at a time, into packed slices, i
// fastest.
template <std::size_t Bytes>
void gatherRuns(const unsigned char* data, const std::int64_t (&strides)[3],
                const std::int64_t (&dims)[3], std::int64_t count, unsigned char* block) {
  const std::int64_t slice = dims[0] * dims[1] * static_cast<std::int64_t>(Bytes);
  for (std::int64_t j = 0; j < dims[1]; ++j) {
    for (std::int64_t i = 0; i < dims[0]; ++i) {
      const unsigned char* run = data + i * strides[0] + j * strides[1];
      unsigned char* to = block + (j * dims[0] + i) * static_cast<std::int64_t>(Bytes);
      for (std::int64_t k = 0; k < count; ++k) {
        std::memcpy(to + k * slice, run + k * strides[2], Bytes);
      }
    }
  }
}

}  // namespace

ArrayVolume::ArrayVolume(const VolumeGeometry& geometry, const VoxelArray& array) : array_(array) {
  header_.geometry = geometry;
  header_.type = array.type;
  if (array_.slices == 0) array_.slices = geometry.dims[2] - array_.firstSlice;
}

void ArrayVolume::gatherBlock(std::int64_t first, std::int64_t count) {
  const std::int64_t(&dims)[3] = header_.geometry.dims;
  const std::int64_t bytes = voxelBytes(array_.type);
  block_.resize(static_cast<std::size_t>(count * dims[0] * dims[1] * bytes));
  const auto* data = static_cast<const unsigned char*>(array_.data) +
                     (first - array_.firstSlice) * array_.strides[2];
  switch (bytes) {
    case 1:
      gatherRuns<1>(data, array_.strides, dims, count, block_.data());
      break;
    case 2:
      gatherRuns<2>(data, array_.strides, dims, count, block_.data());
      break;
    case 4:
      gatherRuns<4>(data, array_.strides, dims, count, block_.data());
      break;
    default:
      gatherRuns<8>(data, array_.strides, dims, count, block_.data());
      break;
  }
  blockFirst_ = first;
  blockSlices_ = count;
}

template <typename Value>
void ArrayVolume::read(std::int64_t count, Value* out) {
  const std::int64_t* dims = header_.geometry.dims;
  checkSlicesLeft(count, nextSlice_, dims[2]);
  if (count > 0 &&
      (nextSlice_ < array_.firstSlice || nextSlice_ + count > array_.firstSlice + array_.slices)) {
    throw std::logic_error("a slab of a volume was asked for slices it does not hold");
  }
  const std::int64_t bytes = voxelBytes(array_.type);
  const bool packedRows = array_.strides[0] == bytes;
  const bool kNearest = !packedRows && magnitude(array_.strides[2]) < magnitude(array_.strides[0]);
  if (!packedRows && !kNearest) row_.resize(static_cast<std::size_t>(dims[0] * bytes));
  const auto* data = static_cast<const unsigned char*>(array_.data);
  for (std::int64_t k = nextSlice_; k < nextSlice_ + count; ++k) {
    if (kNearest && (k < blockFirst_ || k >= blockFirst_ + blockSlices_)) {
      const std::int64_t fit = std::clamp<std::int64_t>(
          BlockBytes / std::max<std::int64_t>(dims[0] * dims[1] * bytes, 1), 1, MaxBlockSlices);
      gatherBlock(k, std::min(fit, array_.firstSlice + array_.slices - k));
    }
    for (std::int64_t j = 0; j < dims[1]; ++j) {
      const unsigned char* row =
          data + j * array_.strides[1] + (k - array_.firstSlice) * array_.strides[2];
      if (kNearest) {
        row = block_.data() + ((k - blockFirst_) * dims[1] + j) * dims[0] * bytes;
      } else if (!packedRows) {
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

void ArrayVolume::readSlices(std::int64_t count, double* out) { read(count, out); }

ValueForm ArrayVolume::valueForm() const { return exactValueForm(array_.type); }

void ArrayVolume::readNarrowSlices(std::int64_t count, float* out) { read(count, out); }

void ArrayVolume::readNarrowSlices(std::int64_t count, std::uint8_t* out) { read(count, out); }

void ArrayVolume::skipSlices(std::int64_t count) {
  checkSlicesLeft(count, nextSlice_, header_.geometry.dims[2]);
  nextSlice_ += count;
}

}  // namespace mcubes::internal

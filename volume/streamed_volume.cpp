#include "volume/streamed_volume.h"

#include <algorithm>

#include "volume/read_failure.h"
#include "volume/voxel_decoding.h"

namespace mcubes::internal {

namespace {

// Voxels decoded per read of stored bytes: 512 KiB of float64.
constexpr std::int64_t WindowVoxels = 1 << 16;

}  // namespace

StreamedVolume::StreamedVolume(const VolumeHeader& header, bool bigEndian, DataLayout layout)
    : header_(header), bigEndian_(bigEndian), data_(std::move(layout)) {}

void StreamedVolume::readSlices(std::int64_t count, double* out) {
  const VolumeGeometry& g = header_.geometry;
  checkSlicesLeft(count, nextSlice_, g.dims[2]);
  nextSlice_ += count;
  const int bytes = voxelBytes(header_.type);
  const bool scaled = header_.slope != 1.0 || header_.offset != 0.0;
  std::int64_t left = g.dims[0] * g.dims[1] * count;
  while (left > 0) {
    const std::int64_t voxels = std::min(left, WindowVoxels);
    stored_.resize(static_cast<std::size_t>(voxels * bytes));
    data_.read(stored_.data(), stored_.size());
    decodeVoxels(header_.type, bigEndian_, stored_.data(), static_cast<std::size_t>(voxels), out);
    if (scaled) {
      for (std::int64_t n = 0; n < voxels; ++n) out[n] = out[n] * header_.slope + header_.offset;
    }
    out += voxels;
    left -= voxels;
  }
}

void StreamedVolume::skipSlices(std::int64_t count) {
  const VolumeGeometry& g = header_.geometry;
  checkSlicesLeft(count, nextSlice_, g.dims[2]);
  nextSlice_ += count;
  data_.skip(g.dims[0] * g.dims[1] * count * voxelBytes(header_.type));
}

}  // namespace mcubes::internal

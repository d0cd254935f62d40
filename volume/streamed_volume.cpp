#include "volume/streamed_volume.h"

#include <algorithm>
#include <type_traits>

#include "volume/read_failure.h"
#include "volume/voxel_decoding.h"

namespace mcubes::internal {

namespace {

// Voxels decoded per read of stored bytes: 512 KiB of float64.
constexpr std::int64_t WindowVoxels = 1 << 16;

}  // namespace

StreamedVolume::StreamedVolume(const VolumeHeader& header, bool bigEndian, DataLayout layout)
    : header_(header), bigEndian_(bigEndian), data_(std::move(layout)) {}

template <typename Value>
void StreamedVolume::read(std::int64_t count, Value* out) {
  const VolumeGeometry& g = header_.geometry;
  checkSlicesLeft(count, nextSlice_, g.dims[2]);
  nextSlice_ += count;
  const int bytes = voxelBytes(header_.type);
  std::int64_t left = g.dims[0] * g.dims[1] * count;
  while (left > 0) {
    const std::int64_t voxels = std::min(left, WindowVoxels);
    stored_.resize(static_cast<std::size_t>(voxels * bytes));
    data_.read(stored_.data(), stored_.size());
    decodeVoxels(header_.type, bigEndian_, stored_.data(), static_cast<std::size_t>(voxels), out);
    if constexpr (std::is_same_v<Value, double>) {
      if (scaled()) {
        for (std::int64_t n = 0; n < voxels; ++n) out[n] = out[n] * header_.slope + header_.offset;
      }
    }
    out += voxels;
    left -= voxels;
  }
}

void StreamedVolume::readSlices(std::int64_t count, double* out) { read(count, out); }

ValueForm StreamedVolume::valueForm() const { return exactValueForm(header_.type, scaled()); }

void StreamedVolume::readFloatSlices(std::int64_t count, float* out) {
  if (valueForm() != ValueForm::Floats) VolumeReader::readFloatSlices(count, out);
  read(count, out);
}

void StreamedVolume::readByteSlices(std::int64_t count, std::uint8_t* out) {
  if (valueForm() != ValueForm::Bytes) VolumeReader::readByteSlices(count, out);
  read(count, out);
}

void StreamedVolume::skipSlices(std::int64_t count) {
  const VolumeGeometry& g = header_.geometry;
  checkSlicesLeft(count, nextSlice_, g.dims[2]);
  nextSlice_ += count;
  data_.skip(g.dims[0] * g.dims[1] * count * voxelBytes(header_.type));
}

}  // namespace mcubes::internal

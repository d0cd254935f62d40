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

template <typename Value>
void StreamedVolume::read(std::int64_t count, Value* out) {
  const VolumeGeometry& g = header_.geometry;
  checkSlicesLeft(count, nextSlice_, g.dims[2]);
  nextSlice_ += count;
  const int bytes = voxelBytes(header_.type);
  const double slope = header_.slope, offset = header_.offset;
  const bool scaled = slope != 1.0 || offset != 0.0;
  std::int64_t left = g.dims[0] * g.dims[1] * count;
  while (left > 0) {
    const std::int64_t voxels = std::min(left, WindowVoxels);
    stored_.resize(static_cast<std::size_t>(voxels * bytes));
    data_.read(stored_.data(), stored_.size());
    decodeVoxels(header_.type, bigEndian_, stored_.data(), static_cast<std::size_t>(voxels), out);
    // In double arithmetic, whatever the form: where that is floats, the
    // values are integers that floats hold.
    for (std::int64_t n = 0; scaled && n < voxels; ++n) {
      out[n] = static_cast<Value>(static_cast<double>(out[n]) * slope + offset);
    }
    out += voxels;
    left -= voxels;
  }
}

void StreamedVolume::readSlices(std::int64_t count, double* out) { read(count, out); }

ValueForm StreamedVolume::valueForm() const {
  return exactValueForm(header_.type, header_.slope, header_.offset);
}

void StreamedVolume::readNarrowSlices(std::int64_t count, float* out) { read(count, out); }

void StreamedVolume::readNarrowSlices(std::int64_t count, std::uint8_t* out) { read(count, out); }

void StreamedVolume::skipSlices(std::int64_t count) {
  const VolumeGeometry& g = header_.geometry;
  checkSlicesLeft(count, nextSlice_, g.dims[2]);
  nextSlice_ += count;
  data_.skip(g.dims[0] * g.dims[1] * count * voxelBytes(header_.type));
}

}  // namespace mcubes::internal

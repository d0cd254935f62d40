#include <algorithm>
#include <cstring>
#include <vector>

#include "library/conversion.h"
#include "mcubes/error.h"
#include "mcubes/volume.h"
#include "volume/data_files.h"
#include "volume/voxel_decoding.h"

using namespace mcubes::internal;

namespace mcubes {

namespace {

template <typename T>
void convert(const double* values, std::size_t count, void* out) {
  T* to = static_cast<T*>(out);
  for (std::size_t n = 0; n < count; ++n) to[n] = static_cast<T>(values[n]);
}

// `count` values as `type`.
void convertValues(const double* values, std::size_t count, VoxelType type, void* out) {
  switch (type) {
    case VoxelType::Uint8:
      return convert<std::uint8_t>(values, count, out);
    case VoxelType::Int8:
      return convert<std::int8_t>(values, count, out);
    case VoxelType::Uint16:
      return convert<std::uint16_t>(values, count, out);
    case VoxelType::Int16:
      return convert<std::int16_t>(values, count, out);
    case VoxelType::Uint32:
      return convert<std::uint32_t>(values, count, out);
    case VoxelType::Int32:
      return convert<std::int32_t>(values, count, out);
    case VoxelType::Float32:
      return convert<float>(values, count, out);
    case VoxelType::Float64:
      std::memcpy(out, values, count * sizeof(double));
      return;
  }
}

}  // namespace

ArrayView packedArray(const void* data, VoxelType type, const std::int64_t (&dims)[3]) {
  const std::int64_t bytes = voxelBytes(internalType(type));
  return {
      data, type, {dims[0], dims[1], dims[2]}, {bytes, bytes * dims[0], bytes * dims[0] * dims[1]}};
}

std::unique_ptr<VolumeReader> openFile(const FileSource& source) {
  std::optional<internal::RawLayout> layout;
  internal::VoxelPlacement place;
  std::copy(source.placement.spacing, source.placement.spacing + 3, place.spacing);
  std::copy(source.placement.origin, source.placement.origin + 3, place.origin);
  place.spacingGiven = source.spacingGiven;
  if (source.raw) {
    const RawLayout& raw = *source.raw;
    layout = internal::RawLayout{
        {raw.dims[0], raw.dims[1], raw.dims[2]}, internalType(raw.type), raw.bigEndian, place};
  }
  allowOutsideReferences(source.outsideReferences);
  return openVolume(source.path, layout, place, source.series);
}

Volume::Volume(const std::string& path, const std::optional<RawLayout>& raw,
               const Placement& placement) {
  try {
    FileSource source;
    source.path = path;
    source.raw = raw;
    source.placement = placement;
    reader_ = openFile(source);
  } catch (const VolumeError& error) {
    throw FileError(error.what(), error.file());
  }
  geometry_ = publicGeometry(reader_->header().geometry);
}

VolumeReader& VolumeAccess::unreadReader(Volume& volume) {
  if (volume.nextSlice_ > 0) {
    throw ArgumentError("the volume has been read from; open it again to mesh it");
  }
  volume.nextSlice_ = volume.geometry_.dims[2];
  return *volume.reader_;
}

Volume::~Volume() = default;
Volume::Volume(Volume&&) noexcept = default;
Volume& Volume::operator=(Volume&&) noexcept = default;

VoxelType Volume::storedType() const { return publicType(reader_->header().type); }

bool Volume::scaled() const {
  const VolumeHeader& header = reader_->header();
  return header.slope != 1.0 || header.offset != 0.0;
}

const std::string& Volume::notice() const { return reader_->header().notice; }

void Volume::readSlices(std::int64_t count, double* out) {
  if (count < 0 || count > geometry_.dims[2] - nextSlice_) {
    throw ArgumentError("cannot read " + std::to_string(count) +
                        " slices: " + std::to_string(geometry_.dims[2] - nextSlice_) + " are left");
  }
  try {
    reader_->readSlices(count, out);
  } catch (const VolumeError& error) {
    throw FileError(error.what(), error.file());
  }
  nextSlice_ += count;
}

void Volume::readRest(VoxelType type, void* out) {
  const std::int64_t slice = geometry_.dims[0] * geometry_.dims[1];
  const std::int64_t bytes = voxelBytes(internalType(type));
  // Slabs of about 8 MiB of doubles, at least a slice.
  const std::int64_t slab = std::max<std::int64_t>(1, (std::int64_t{1} << 20) / slice);
  std::vector<double> values;
  auto* to = static_cast<unsigned char*>(out);
  while (nextSlice_ < geometry_.dims[2]) {
    const std::int64_t count = std::min(slab, geometry_.dims[2] - nextSlice_);
    values.resize(static_cast<std::size_t>(count * slice));
    readSlices(count, values.data());
    convertValues(values.data(), values.size(), type, to);
    to += count * slice * bytes;
  }
}

}  // namespace mcubes

// Temporary: openVolume for headerless raw files only, so that this branch
// builds and meshes raw volumes until the real readers (NRRD, NIfTI,
// MetaImage and raw) replace this file.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "volume/volume.h"

namespace {

int bytesOf(VoxelType type) {
  switch (type) {
    case VoxelType::Uint8:
    case VoxelType::Int8:
      return 1;
    case VoxelType::Uint16:
    case VoxelType::Int16:
      return 2;
    case VoxelType::Uint32:
    case VoxelType::Int32:
    case VoxelType::Float32:
      return 4;
    case VoxelType::Float64:
      return 8;
  }
  return 1;
}

template <typename T>
double valueAt(const unsigned char* bytes, int size, bool swap) {
  unsigned char ordered[8];
  for (int b = 0; b < size; ++b) ordered[b] = bytes[swap ? size - 1 - b : b];
  T value;
  std::memcpy(&value, ordered, sizeof value);
  return static_cast<double>(value);
}

class RawReader : public VolumeReader {
 public:
  RawReader(const std::string& path, std::FILE* file, const VolumeHeader& header, bool bigEndian)
      : path_(path), file_(file), header_(header) {
    const std::uint16_t probe = 1;
    unsigned char first;
    std::memcpy(&first, &probe, 1);
    swap_ = (first == 1) == bigEndian;
  }
  ~RawReader() override { std::fclose(file_); }
  const VolumeHeader& header() const override { return header_; }

  void readSlices(std::int64_t count, double* out) override {
    const int size = bytesOf(header_.type);
    const std::int64_t voxels = header_.geometry.dims[0] * header_.geometry.dims[1] * count;
    constexpr std::int64_t chunk = 1 << 16;
    buffer_.resize(static_cast<std::size_t>(chunk * size));
    for (std::int64_t done = 0; done < voxels; done += chunk) {
      const std::int64_t n = std::min(chunk, voxels - done);
      if (std::fread(buffer_.data(), static_cast<std::size_t>(size), static_cast<std::size_t>(n),
                     file_) != static_cast<std::size_t>(n)) {
        throw VolumeError(path_ + ": the data ends early or cannot be read (" +
                          std::strerror(errno) + "); check --dims and --type");
      }
      for (std::int64_t v = 0; v < n; ++v) out[done + v] = convert(&buffer_[v * size], size);
    }
  }

 private:
  double convert(const unsigned char* bytes, int size) const {
    switch (header_.type) {
      case VoxelType::Uint8:
        return valueAt<std::uint8_t>(bytes, size, swap_);
      case VoxelType::Int8:
        return valueAt<std::int8_t>(bytes, size, swap_);
      case VoxelType::Uint16:
        return valueAt<std::uint16_t>(bytes, size, swap_);
      case VoxelType::Int16:
        return valueAt<std::int16_t>(bytes, size, swap_);
      case VoxelType::Uint32:
        return valueAt<std::uint32_t>(bytes, size, swap_);
      case VoxelType::Int32:
        return valueAt<std::int32_t>(bytes, size, swap_);
      case VoxelType::Float32:
        return valueAt<float>(bytes, size, swap_);
      case VoxelType::Float64:
        return valueAt<double>(bytes, size, swap_);
    }
    return 0.0;
  }

  std::string path_;
  std::FILE* file_;
  VolumeHeader header_;
  bool swap_;
  std::vector<unsigned char> buffer_;
};

}  // namespace

std::unique_ptr<VolumeReader> openVolume(const std::string& path,
                                         const std::optional<RawLayout>& raw) {
  if (!raw) {
    throw VolumeError(path +
                      ": reading this format is not yet supported in this build; give the "
                      "raw layout (--dims, --type)");
  }
  VolumeHeader header{};
  std::int64_t voxels = 1;
  for (int a = 0; a < 3; ++a) {
    const std::int64_t d = raw->dims[a];
    if (d < 1 || voxels > std::numeric_limits<std::int64_t>::max() / 8 / d) {
      throw VolumeError(path +
                        ": --dims must be three whole numbers of 1 or more whose product "
                        "fits in memory addresses");
    }
    voxels *= d;
    header.geometry.dims[a] = d;
    header.geometry.origin[a] = raw->origin[a];
    for (int b = 0; b < 3; ++b) header.geometry.axes[a][b] = a == b ? raw->spacing[a] : 0.0;
  }
  header.type = raw->type;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) throw VolumeError(path + ": cannot open (" + std::strerror(errno) + ")");
  const std::int64_t expected = voxels * bytesOf(raw->type);
  if (std::fseek(file, 0, SEEK_END) != 0 || ftello(file) != expected ||
      std::fseek(file, 0, SEEK_SET) != 0) {
    const long long size = ftello(file);
    std::fclose(file);
    throw VolumeError(path + ": holds " + std::to_string(size) + " bytes, but --dims and --type " +
                      "describe " + std::to_string(expected) + "; check them");
  }
  return std::make_unique<RawReader>(path, file, header, raw->bigEndian);
}

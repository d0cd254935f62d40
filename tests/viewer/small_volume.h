// A small volume for the viewer's tests: the distance from a point inside a
// box of 10 x 9 x 8 voxels of unequal spacing, away from the origin, whose
// surfaces at levels from about 2 on leave the box and are capped.
#pragma once

#include <cmath>
#include <memory>

#include "volume/in_memory_volume.h"

inline std::shared_ptr<const mcubes::internal::InMemoryVolume> smallVolume(bool mirrored) {
  mcubes::internal::VolumeHeader header{};
  mcubes::internal::VolumeGeometry& geometry = header.geometry;
  const std::int64_t dims[3] = {10, 9, 8};
  const double spacing[3] = {1.0, 1.25, 1.5};
  for (int a = 0; a < 3; ++a) {
    geometry.dims[a] = dims[a];
    geometry.origin[a] = 10.0 * (a + 1);
    for (int b = 0; b < 3; ++b) geometry.axes[a][b] = a == b ? spacing[a] : 0.0;
  }
  if (mirrored) geometry.axes[0][0] = -1.0;
  header.type = mcubes::internal::VoxelType::Float64;
  auto values = std::make_unique<double[]>(10 * 9 * 8);
  for (int k = 0; k < 8; ++k) {
    for (int j = 0; j < 9; ++j) {
      for (int i = 0; i < 10; ++i) {
        const double x = i - 4.3, y = (j - 4.1) * 1.25, z = (k - 3.6) * 1.5;
        values[(k * 9 + j) * 10 + i] = std::sqrt(x * x + y * y + z * z);
      }
    }
  }
  return std::make_shared<const mcubes::internal::InMemoryVolume>(header, std::move(values));
}

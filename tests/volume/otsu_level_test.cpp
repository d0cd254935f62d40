// Otsu's level on small volumes whose answer is known, one case a row: read
// through readers (once for an exact histogram, twice for a binned one) and
// held in memory alike.
#include "volume/otsu_level.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "volume/in_memory_volume.h"

using namespace mcubes::internal;

namespace {

struct OtsuCase {
  const char* name;
  VoxelType type;
  std::vector<double> values;  // 4 x 3 x N, i fastest
  double level;                // NaN: no level splits the data
  std::int64_t below;          // finite voxels below the level
  bool exact;
  double slope = 1.0;
  double offset = 0.0;
};

// `count` voxels of each value, in turn.
std::vector<double> classes(const std::vector<std::pair<double, int>>& counts) {
  std::vector<double> values;
  for (const auto& [value, count] : counts) values.insert(values.end(), count, value);
  return values;
}

std::vector<OtsuCase> cases() {
  const double nan = std::nan("");
  return {
      // Two values: the level lies half a unit above the lower (integers)
      // or halfway between them.
      {"two bytes", VoxelType::Uint8, classes({{10, 16}, {200, 8}}), 10.5, 16, true},
      {"two 16-bit integers", VoxelType::Int16, classes({{-300, 12}, {-299, 4}, {1000, 8}}), -298.5,
       16, true},
      {"two 32-bit integers, binned", VoxelType::Int32, classes({{-70000, 8}, {70000, 16}}),
       -69999.5, 8, false},
      {"two floats", VoxelType::Float32, classes({{0.25, 12}, {0.75, 12}}), 0.5, 12, false},
      // Two spread classes: 0 to 2 and 8 to 10; nothing lies between.
      {"two spread classes", VoxelType::Uint16,
       classes({{0, 3}, {1, 6}, {2, 3}, {8, 3}, {9, 6}, {10, 3}}), 2.5, 12, true},
      // A small bright class beside a large dark one with a tail: Otsu puts
      // the level between the tail and the bright class (worked out by hand:
      // the between-class variance is largest there).
      {"dark with a tail, a small bright class", VoxelType::Uint8,
       classes({{0, 14}, {1, 2}, {2, 2}, {50, 1}, {52, 5}}), 2.5, 18, true},
      // NaN and infinities do not count.
      {"floats with NaN and infinities", VoxelType::Float64,
       classes({{nan, 3}, {-1.5, 9}, {INFINITY, 2}, {2.5, 7}, {-INFINITY, 3}}), 0.5, 9, false},
      // Scaled integers are not integers: halfway, binned.
      {"scaled bytes", VoxelType::Uint8, classes({{1.25, 12}, {101.25, 12}}), 51.25, 12, false, 0.5,
       1.0},
      // One value, or none: nothing to split.
      {"a constant volume", VoxelType::Uint8, classes({{7, 24}}), nan, 0, true},
      {"a constant float volume", VoxelType::Float32, classes({{-2.5, 24}}), nan, 0, false},
      {"no finite voxels", VoxelType::Float32, classes({{nan, 12}, {INFINITY, 12}}), nan, 0, false},
  };
}

VolumeHeader headerOf(const OtsuCase& c) {
  VolumeHeader header{};
  header.type = c.type;
  header.slope = c.slope;
  header.offset = c.offset;
  header.geometry.dims[0] = 4;
  header.geometry.dims[1] = 3;
  header.geometry.dims[2] = static_cast<std::int64_t>(c.values.size()) / 12;
  for (int a = 0; a < 3; ++a) header.geometry.axes[a][a] = 1.0;
  return header;
}

TEST(OtsuLevel, SplitsKnownVolumesBetweenTheirClasses) {
  for (const OtsuCase& c : cases()) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(c.values.size() % 12, 0u);
    const VolumeHeader header = headerOf(c);
    int opened = 0;
    const OtsuLevel read = otsuLevel([&] {
      ++opened;
      auto values = std::make_unique<double[]>(c.values.size());
      std::copy(c.values.begin(), c.values.end(), values.get());
      return std::make_unique<InMemoryVolume>(header, std::move(values));
    });
    const OtsuLevel held = otsuLevel(header, c.values.data());
    EXPECT_EQ(opened, c.exact ? 1 : 2);
    std::int64_t finite = 0;
    double least = INFINITY, most = -INFINITY;
    for (const double v : c.values) {
      if (!std::isfinite(v)) continue;
      ++finite;
      least = std::min(least, v);
      most = std::max(most, v);
    }
    for (const OtsuLevel& found : {read, held}) {
      EXPECT_EQ(found.exact, c.exact);
      EXPECT_EQ(found.bins, c.exact ? (c.type == VoxelType::Uint8 ? 256 : 65536)
                            : finite > 0 && least < most ? 4096
                                                         : 1);
      EXPECT_EQ(found.finiteVoxels, finite);
      if (finite > 0) {
        EXPECT_EQ(found.least, least);
        EXPECT_EQ(found.most, most);
      }
      if (std::isnan(c.level)) {
        EXPECT_TRUE(std::isnan(found.level)) << found.level;
        continue;
      }
      EXPECT_EQ(found.level, c.level);
      EXPECT_EQ(found.below, c.below);
      // No voxel has the level's value: the surface passes between voxels.
      EXPECT_EQ(std::count(c.values.begin(), c.values.end(), found.level), 0);
      double below = 0, above = 0;
      for (const double v : c.values) {
        if (!std::isfinite(v)) continue;
        (v < found.level ? below : above) += v;
      }
      // Binned means come back from places in the range: to rounding.
      const double tolerance = 1e-12 * std::max(std::fabs(least), std::fabs(most));
      EXPECT_NEAR(found.meanBelow, below / static_cast<double>(c.below), tolerance);
      EXPECT_NEAR(found.meanAbove, above / static_cast<double>(finite - c.below), tolerance);
    }
  }
}

}  // namespace

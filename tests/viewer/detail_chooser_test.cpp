// The level of detail that the viewer shows first, from given timings.
#include "viewer/detail_chooser.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

TEST(DetailChooser, TheFinestLevelThatItsTimingsSayFitsTheBudget) {
  const struct {
    const char* name;
    std::vector<std::pair<std::int32_t, double>> timings;  // stride, ms, in order
    std::int32_t finest;                                   // the state's level
    std::int32_t chosen;
  } cases[] = {
      {"nothing measured: the state's level", {}, 1, 1},
      {"nothing measured, at every 4th", {}, 4, 4},
      {"full detail fits", {{1, 40.0}}, 1, 1},
      {"exactly the budget fits", {{1, 50.0}}, 1, 1},
      {"full detail too slow: a quarter of the time per halving", {{1, 180.0}}, 1, 2},
      {"a quarter still too slow", {{1, 300.0}}, 1, 4},
      {"far too slow", {{1, 2000.0}}, 1, 8},
      {"slower than the coarsest can help", {{1, 1e6}}, 1, 16},
      {"a measured coarser level over the prediction", {{1, 300.0}, {2, 60.0}}, 1, 4},
      {"predicted from a coarser level: 64 ms at every voxel", {{4, 4.0}}, 1, 2},
      {"predicted from a coarser level: 48 ms at every voxel", {{4, 3.0}}, 1, 1},
      {"predicted from the nearest measurement", {{1, 1000.0}, {8, 0.05}}, 1, 4},
      {"the latest measurement counts", {{1, 300.0}, {1, 20.0}}, 1, 1},
      {"never finer than the state asks", {{1, 1.0}}, 8, 8},
      {"the state's coarse level too slow", {{2, 400.0}}, 2, 8},
  };
  for (const auto& c : cases) {
    DetailChooser chooser(16, 50.0);
    for (const auto& [stride, ms] : c.timings) chooser.record(stride, ms);
    EXPECT_EQ(chooser.choose(c.finest), c.chosen) << c.name;
  }
}

}  // namespace

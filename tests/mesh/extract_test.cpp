#include "mesh/scene/extract.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "mesh/scene/grid.h"
#include "tests/mesh/literal_extraction.h"
#include "tests/mesh/mesh_checks.h"

using namespace mcubes::internal;

namespace {

std::vector<VectorUnit> availableUnits() {
  std::vector<VectorUnit> units = {VectorUnit::Baseline};
  if (vectorUnitAvailable(VectorUnit::Avx2)) units.push_back(VectorUnit::Avx2);
  return units;
}

const std::int32_t Ticks[] = {0,
                              1,
                              25,
                              116,
                              157,
                              -7,
                              -1000,
                              100000,
                              std::numeric_limits<std::int32_t>::max(),
                              std::numeric_limits<std::int32_t>::min()};

}  // namespace

TEST(SceneGrid, SixteenDivisionsIsTheFramesGrid) {
  const SceneGrid grid = sceneGrid(GridDivisions);
  EXPECT_EQ(grid.step, GridStep);
  EXPECT_EQ(grid.halfEdge, GridHalfEdge);
  std::vector<float> frame;
  sweepGrid([&](float gx, float gy, float gz) {
    if (gy == 0.0f && gz == 0.0f) frame.push_back(gx);
  });
  ASSERT_EQ(frame.size(), 17u);
  for (std::int32_t i = 0; i <= GridDivisions; ++i) EXPECT_EQ(grid.coordinate(i), frame[i]);
}

TEST(SceneGrid, CoordinatesAreRoundedOnceAndEndAtTheExtent) {
  // 7 divisions: a float counter stepping by 16/7 drifts from i * 16 / 7.
  const SceneGrid grid = sceneGrid(7);
  EXPECT_EQ(grid.step, 16.0f / 7.0f);
  EXPECT_EQ(grid.halfEdge, grid.step / 2.0f);
  for (std::int32_t i = 0; i <= 7; ++i) {
    EXPECT_EQ(grid.coordinate(i), static_cast<float>(i * 16.0 / 7.0)) << i;
  }
  EXPECT_EQ(sceneGrid(MaxDivisions).coordinate(MaxDivisions), 16.0f);
}

TEST(ExtractSurface, AtSixteenDivisionsIsTheDemosFrame) {
  for (const std::int32_t ticks : Ticks) {
    for (const VectorUnit unit : availableUnits()) {
      ExtractionSettings settings;
      settings.vectorUnit = unit;
      EXPECT_TRUE(sameTriangles(sceneTriangles(ticks),
                                extractSurface(ballCentres(ticks), settings).triangles))
          << "tick " << ticks << ", unit " << static_cast<int>(unit);
    }
  }
}

TEST(ExtractSurface, MatchesTheLiteralPipelineBitForBitAtEveryResolution) {
  for (const std::int32_t divisions : {1, 2, 7, 16, 33, 64, 128}) {
    // Fewer ticks where the oracle is slow.
    const int tickCount = divisions > 64 ? 3 : static_cast<int>(std::size(Ticks));
    for (int t = 0; t < tickCount; ++t) {
      const BallCentres balls = ballCentres(Ticks[t]);
      const std::vector<Triangle> expected = literalExtraction(balls, divisions);
      if (divisions >= 16) {
        ASSERT_GT(expected.size(), 100u);
      }
      for (const VectorUnit unit : availableUnits()) {
        ExtractionSettings settings;
        settings.divisions = divisions;
        settings.vectorUnit = unit;
        EXPECT_TRUE(sameTriangles(expected, extractSurface(balls, settings).triangles))
            << divisions << " divisions, tick " << Ticks[t] << ", unit " << static_cast<int>(unit);
      }
    }
  }
}

TEST(ExtractSurface, MatchesTheLiteralPipelineAtAnyPositiveIsoLevel) {
  // From a level where the blobs fill the grid to one just below the
  // coinciding balls' peak of 4, where the surface shrinks to a few cells.
  for (const double iso : {0.02, 0.1, 0.2500001, 0.6, 1.5, 3.9, 3.9999}) {
    for (const std::int32_t divisions : {5, 16, 41}) {
      for (const std::int32_t ticks : {0, 39, 116}) {
        const BallCentres balls = ballCentres(ticks);
        ExtractionSettings settings;
        settings.divisions = divisions;
        settings.isoLevel = iso;
        EXPECT_TRUE(sameTriangles(literalExtraction(balls, divisions, iso),
                                  extractSurface(balls, settings).triangles))
            << "iso " << iso << ", " << divisions << " divisions, tick " << ticks;
      }
    }
  }
}

TEST(ExtractSurface, BallsTouchingOrOnTopOfEachOtherMatchTheLiteralPipeline) {
  // Coinciding balls (one field of twice the strength), balls on a cell
  // corner and balls at the grid's edge, where the bounds are tightest.
  const BallCentres cases[] = {{{0, 0, 0}, {0, 0, 0}},
                               {{1.5f, -2.5f, 0.5f}, {1.5f, -2.5f, 0.5f}},
                               {{8, 8, 8}, {-8, -8, -8}},
                               {{0.25f, 0, 0}, {-0.25f, 0, 0}}};
  for (const BallCentres& balls : cases) {
    for (const std::int32_t divisions : {3, 16, 40}) {
      ExtractionSettings settings;
      settings.divisions = divisions;
      EXPECT_TRUE(sameTriangles(literalExtraction(balls, divisions),
                                extractSurface(balls, settings).triangles))
          << divisions << " divisions, ball A at " << balls.a.x;
    }
  }
}

TEST(ExtractSurface, ThreadsChangeNothingAndProgressCountsEverySlab) {
  const BallCentres balls = ballCentres(25);
  ExtractionSettings settings;
  settings.divisions = 100;
  std::vector<std::int32_t> reported;
  settings.edgeKeys = true;
  const ExtractedSurface single =
      extractSurface(balls, settings, [&](std::int32_t done, std::int32_t total) {
        EXPECT_EQ(total, 101);
        reported.push_back(done);
      });
  ASSERT_EQ(single.edges.size(), single.triangles.size());
  ASSERT_EQ(reported.size(), 101u);
  for (std::size_t i = 0; i < reported.size(); ++i) EXPECT_EQ(reported[i], static_cast<int>(i + 1));

  for (const int threads : {2, 3, 8, 200}) {
    settings.threads = threads;
    reported.clear();
    const ExtractedSurface parallel = extractSurface(
        balls, settings, [&](std::int32_t done, std::int32_t) { reported.push_back(done); });
    EXPECT_TRUE(sameTriangles(single.triangles, parallel.triangles)) << threads << " threads";
    EXPECT_EQ(single.edges, parallel.edges) << threads << " threads";
    EXPECT_EQ(reported.size(), 101u);
    EXPECT_EQ(reported.back(), 101);
  }
}

TEST(ExtractSurface, RefusesSettingsOutsideTheirRange) {
  ExtractionSettings settings;
  for (const std::int32_t divisions : {0, -1, MaxDivisions + 1}) {
    settings.divisions = divisions;
    EXPECT_THROW(extractSurface(ballCentres(0), settings), std::invalid_argument) << divisions;
  }
  settings.divisions = 4;
  settings.threads = 0;
  EXPECT_THROW(extractSurface(ballCentres(0), settings), std::invalid_argument);
  settings.threads = 1;
  for (const double iso : {0.0, -0.25, std::nan(""), HUGE_VAL}) {
    settings.isoLevel = iso;
    EXPECT_THROW(extractSurface(ballCentres(0), settings), std::invalid_argument) << iso;
  }
}

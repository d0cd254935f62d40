#include "scene/scene.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace {

// The summed field of the two balls at a point, straight from its formula.
double field(const BallCentres& balls, double x, double y, double z) {
  double sum = 0;
  for (const Point3& c : {balls.a, balls.b}) {
    const double d2 = (x - c.x) * (x - c.x) + (y - c.y) * (y - c.y) + (z - c.z) * (z - c.z);
    sum += 2.0 / (1.0 + d2);
  }
  return sum;
}

}  // namespace

TEST(SweepGrid, Visits4913CellsGxOutermostGzInnermost) {
  std::vector<std::array<float, 3>> visited;
  sweepGrid([&](float gx, float gy, float gz) { visited.push_back({gx, gy, gz}); });
  ASSERT_EQ(visited.size(), 4913u);
  size_t i = 0;
  for (int x = 0; x <= 16; ++x) {
    for (int y = 0; y <= 16; ++y) {
      for (int z = 0; z <= 16; ++z, ++i) {
        EXPECT_EQ(visited[i], (std::array<float, 3>{float(x), float(y), float(z)})) << i;
      }
    }
  }
}

TEST(BallCentres, TicksZeroAndTwentyFive) {
  const BallCentres start = ballCentres(0);
  EXPECT_EQ(start.a.x, 5.5f);
  EXPECT_EQ(start.a.y, 0.0f);
  EXPECT_EQ(start.a.z, 0.0f);
  EXPECT_EQ(start.b.x, 0.0f);
  EXPECT_EQ(start.b.y, 0.0f);
  EXPECT_EQ(start.b.z, 0.0f);

  // t = 0.5: 5.5 cos t, 5 sin t and 5.5 sin t, worked out to 200 bits and
  // rounded to double for cos t and sin t, then for the product, then to
  // float.
  const BallCentres half = ballCentres(25);
  EXPECT_EQ(half.a.x, 4.82670403f);
  EXPECT_EQ(half.a.y, 2.39712763f);
  EXPECT_EQ(half.b.x, 2.63684034f);
  EXPECT_EQ(half.b.y, 2.39712763f);
  EXPECT_EQ(half.a.z, 0.0f);
  EXPECT_EQ(half.b.z, 0.0f);
}

TEST(BallCentres, ExtremeAndNegativeTicksUseTheSameFormulas) {
  // Cosine is even and sine odd, so a negative tick mirrors y (and B's x).
  const BallCentres forward = ballCentres(25), backward = ballCentres(-25);
  EXPECT_EQ(backward.a.x, forward.a.x);
  EXPECT_EQ(backward.a.y, -forward.a.y);
  EXPECT_EQ(backward.b.x, -forward.b.x);
  EXPECT_EQ(backward.b.y, -forward.b.y);

  // t = 42949672.94 and -42949672.96 (the quotients rounded to double),
  // worked out as at tick 25.
  const BallCentres last = ballCentres(std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(last.a.x, 0.089196533f);
  EXPECT_EQ(last.a.y, -4.99934244f);
  EXPECT_EQ(last.b.x, -5.49927664f);
  EXPECT_EQ(last.b.y, -4.99934244f);
  const BallCentres first = ballCentres(std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(first.a.x, 0.19915691f);
  EXPECT_EQ(first.a.y, 4.99672079f);
  EXPECT_EQ(first.b.x, 5.4963932f);
  EXPECT_EQ(first.b.y, 4.99672079f);
}

TEST(SweepScene, TrianglesComeCellByCellInSweepOrderOnTheSurface) {
  for (const std::int32_t ticks : {0, 25, -7, 2147483647}) {
    const BallCentres balls = ballCentres(ticks);
    std::vector<Triangle> triangles;
    sweepScene(balls, [&](const Triangle& t) { triangles.push_back(t); });
    ASSERT_GT(triangles.size(), 100u) << ticks;

    long previousCell = -1;
    for (const Triangle& t : triangles) {
      // The cell that holds a triangle is the one around its centroid.
      long cell = 0;
      for (int axis = 0; axis < 3; ++axis) {
        double centroid = 0;
        for (const Point3& v : t.vertices) centroid += (&v.x)[axis] / 3.0;
        cell = cell * 17 + static_cast<long>(std::floor(centroid + 8.5));
      }
      EXPECT_GE(cell, previousCell) << ticks;
      previousCell = cell;
      for (const Point3& v : t.vertices) {
        // On the iso-surface of the summed field, up to the error of linear
        // interpolation along a unit edge.
        EXPECT_NEAR(field(balls, v.x, v.y, v.z), SceneIsoLevel, 0.02) << ticks;
        EXPECT_LE(std::fabs(v.x), 8.5f);
        EXPECT_LE(std::fabs(v.y), 8.5f);
        EXPECT_LE(std::fabs(v.z), 8.5f);
      }
    }
  }
}

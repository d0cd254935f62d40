#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "iso/isosurface.h"
#include "tests/iso/cube_geometry.h"

namespace {

GridCell garbageCell() {
  GridCell cell;
  std::memset(&cell, 0xff, sizeof cell);  // NaNs everywhere
  return cell;
}

GridCell clearedCell() {
  GridCell cell = garbageCell();
  clearGridCell(cell);
  return cell;
}

void expectCorners(const GridCell& cell, float x, float y, float z, float h) {
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(cell.points[i].x, x + CornerSign[i][0] * h) << "corner " << i;
    EXPECT_EQ(cell.points[i].y, y + CornerSign[i][1] * h) << "corner " << i;
    EXPECT_EQ(cell.points[i].z, z + CornerSign[i][2] * h) << "corner " << i;
  }
}

}  // namespace

TEST(ClearGridCell, ZeroesEveryPointAndValue) {
  const GridCell cell = clearedCell();
  const GridCell zero = {};
  EXPECT_EQ(std::memcmp(&cell, &zero, sizeof cell), 0);  // +0.0 throughout
}

TEST(SampleMetaball, CentredBallGivesTheCubeCornersAndEqualValues) {
  GridCell cell = clearedCell();
  sampleMetaball(cell, 16.0f, 0.5f, 2.0f, 8.0f, 8.0f, 8.0f, 0.0f, 0.0f, 0.0f);
  expectCorners(cell, 0.0f, 0.0f, 0.0f, 0.5f);
  for (double v : cell.values) EXPECT_EQ(v, 2.0 / 1.75);
}

TEST(SampleMetaball, GridCoordinatesAreShiftedByHalfTheExtent) {
  GridCell cell = clearedCell();
  sampleMetaball(cell, 16.0f, 0.5f, 2.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f);
  expectCorners(cell, -8.0f, -8.0f, -8.0f, 0.5f);
  EXPECT_EQ(cell.points[0].x, -8.5f);
  EXPECT_EQ(cell.points[6].z, -7.5f);
  sampleMetaball(cell, 16.0f, 0.5f, 2.0f, 16.0f, 16.0f, 16.0f, 0.0f, 0.0f, 0.0f);
  EXPECT_EQ(cell.points[6].x, 8.5f);
  EXPECT_EQ(cell.points[6].y, 8.5f);
  EXPECT_EQ(cell.points[6].z, 8.5f);
  // Odd extents and half edges: the centre is x - extent / 2 rounded once.
  sampleMetaball(cell, 3.0f, 0.25f, 1.0f, 0.1f, 2.0f, 5.0f, 0.0f, 0.0f, 0.0f);
  expectCorners(cell, static_cast<float>(0.1f - 1.5), 0.5f, 3.5f, 0.25f);
}

TEST(SampleMetaball, OffsetAlongZCountsLikeXAndY) {
  GridCell cell = clearedCell();
  sampleMetaball(cell, 16.0f, 0.5f, 2.0f, 8.0f, 8.0f, 8.0f, 0.0f, 0.0f, 3.0f);
  for (int i : {2, 3, 6, 7}) EXPECT_EQ(cell.values[i], 2.0 / 7.75) << "corner " << i;
  for (int i : {0, 1, 4, 5}) EXPECT_EQ(cell.values[i], 2.0 / 13.75) << "corner " << i;
}

TEST(SampleMetaball, CornerOnTheBallGetsExactlyTheStrength) {
  GridCell cell = clearedCell();
  sampleMetaball(cell, 16.0f, 0.5f, 3.7f, 8.0f, 8.0f, 8.0f, 0.5f, 0.5f, 0.5f);
  EXPECT_EQ(cell.values[6], static_cast<double>(3.7f));
  EXPECT_LT(cell.values[0], cell.values[6]);
}

TEST(SampleMetaball, OffsetsAreNarrowedToFloatBeforeTheDoubleSum) {
  // Cell centre 0.3 and ball at -0.07 (as floats): the offset 0.37 must be
  // rounded to a float before the half edge is added in double precision.
  const float centre = static_cast<float>(8.3f - 8.0);
  const float ball = -0.07f;
  const double offset = static_cast<float>(static_cast<double>(centre) - ball);
  const double unrounded = static_cast<double>(centre) - ball;
  ASSERT_NE(offset, unrounded);
  GridCell cell = clearedCell();
  sampleMetaball(cell, 16.0f, 0.5f, 2.0f, 8.3f, 8.0f, 8.0f, ball, 0.0f, 0.0f);
  const double dx = offset - 0.5, dy = -0.5, dz = -0.5;
  EXPECT_EQ(cell.values[0], 0.0 + 2.0 / (((dx * dx + dy * dy) + dz * dz) + 1.0));
  const double ux = unrounded - 0.5;
  EXPECT_NE(cell.values[0], 0.0 + 2.0 / (((ux * ux + dy * dy) + dz * dz) + 1.0));
}

TEST(SampleMetaball, TwoBallsSumInEitherOrder) {
  const auto sample = [](GridCell& cell, float bx, float by, float bz) {
    sampleMetaball(cell, 16.0f, 0.5f, 2.0f, 9.0f, 6.0f, 8.0f, bx, by, bz);
  };
  GridCell first = clearedCell(), second = clearedCell(), a = clearedCell(), b = clearedCell();
  sample(first, 5.5f, 0.0f, 0.0f);
  sample(first, 0.3f, -1.2f, 0.0f);
  sample(second, 0.3f, -1.2f, 0.0f);
  sample(second, 5.5f, 0.0f, 0.0f);
  sample(a, 5.5f, 0.0f, 0.0f);
  sample(b, 0.3f, -1.2f, 0.0f);
  EXPECT_EQ(std::memcmp(&first, &second, sizeof first), 0);
  expectCorners(first, 1.0f, -2.0f, 0.0f, 0.5f);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(first.values[i], a.values[i] + b.values[i]);
}

TEST(SampleSquaredDistance, AddsTheSquaredDistanceAtEveryCall) {
  GridCell cell = clearedCell();
  sampleSquaredDistance(cell, 16.0f, 8.0f, 8.0f, 8.0f, 0.0f, 0.0f);
  expectCorners(cell, 0.0f, 0.0f, 0.0f, 0.5f);
  for (double v : cell.values) EXPECT_EQ(v, 0.75);
  sampleSquaredDistance(cell, 16.0f, 8.0f, 8.0f, 8.0f, 0.0f, 0.0f);
  for (double v : cell.values) EXPECT_EQ(v, 1.5);
}

TEST(SampleSquaredDistance, CentreLiesInThePlaneZEqualsZero) {
  // The z offset is measured from 0 and does not depend on the centre's y.
  GridCell cell = clearedCell();
  sampleSquaredDistance(cell, 16.0f, 8.0f, 8.0f, 10.0f, 1.0f, 3.0f);
  expectCorners(cell, 0.0f, 0.0f, 2.0f, 0.5f);
  for (int i = 0; i < 8; ++i) {
    const double dx = CornerSign[i][0] * 0.5 - 1.0;
    const double dy = CornerSign[i][1] * 0.5 - 3.0;
    const double dz = CornerSign[i][2] * 0.5 + 2.0;
    EXPECT_EQ(cell.values[i], dx * dx + dy * dy + dz * dz) << "corner " << i;
  }
}

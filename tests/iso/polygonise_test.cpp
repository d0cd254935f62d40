#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "iso/isosurface.h"
#include "tests/iso/cube_geometry.h"

namespace {

// A cell on the unit cube [0, 1]^3 in the library's corner order, with the
// corners of `belowCorners` at `low` and the others at `high`.
GridCell unitCell(int belowCorners, double low, double high) {
  GridCell cell;
  for (int i = 0; i < 8; ++i) {
    cell.points[i] = {(CornerSign[i][0] + 1) / 2.0f, (CornerSign[i][1] + 1) / 2.0f,
                      (CornerSign[i][2] + 1) / 2.0f};
    cell.values[i] = (belowCorners >> i) & 1 ? low : high;
  }
  return cell;
}

bool same(const Point3& a, const Point3& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Six triangles filled with a byte pattern, to see which ones were written.
struct Output {
  Triangle triangles[6];
  Output() { std::memset(triangles, 0xab, sizeof triangles); }
  bool untouchedFrom(int first) const {
    Output fresh;
    return std::memcmp(triangles + first, fresh.triangles + first,
                       sizeof(Triangle) * (6 - first)) == 0;
  }
};

}  // namespace

TEST(TriangulateCell, CasesWithoutCrossingsWriteNothing) {
  for (const GridCell& cell :
       {unitCell(0x00, 0.0, 1.0), unitCell(0xff, 0.0, 1.0), unitCell(0x00, 0.0, 0.25)}) {
    Output out;
    EXPECT_EQ(triangulateCell(cell, 0.25, out.triangles), 0);
    EXPECT_TRUE(out.untouchedFrom(0));
  }
}

TEST(TriangulateCell, OnlyValuesStrictlyBelowTheLevelCount) {
  Output out;
  GridCell cell = unitCell(0x00, 0.0, 1.0);
  cell.values[0] = 0.25;
  EXPECT_EQ(triangulateCell(cell, 0.25, out.triangles), 0);
  // The next double down is below the level even though it rounds to 0.25
  // as a float: the comparison is in double precision.
  cell.values[0] = std::nextafter(0.25, 0.0);
  EXPECT_EQ(triangulateCell(cell, 0.25, out.triangles), 1);
}

TEST(TriangulateCell, EveryCaseEmitsItsRowInTableOrderAndNothingMore) {
  for (int c = 0; c < 256; ++c) {
    Output out;
    const int n = triangulateCell(unitCell(c, 0.0, 1.0), 0.5, out.triangles);
    // polygoniseCell does the same and names the case it classified.
    Output again;
    const CellTriangles named = polygoniseCell(unitCell(c, 0.0, 1.0), 0.5, again.triangles);
    EXPECT_EQ(named.count, n) << "case " << c;
    EXPECT_EQ(named.caseIndex, c);
    EXPECT_EQ(std::memcmp(out.triangles, again.triangles, sizeof(Triangle) * n), 0) << c;
    std::vector<int> row;
    for (int i = 0; CaseTriangles[c][i] != -1; ++i) row.push_back(CaseTriangles[c][i]);
    ASSERT_EQ(n * 3, static_cast<int>(row.size())) << "case " << c;
    for (int i = 0; i < n * 3; ++i) {
      const auto m = edgeMidpoint(row[i]);
      const Point3 expected = {static_cast<float>((m[0] + 1) / 2),
                               static_cast<float>((m[1] + 1) / 2),
                               static_cast<float>((m[2] + 1) / 2)};
      EXPECT_TRUE(same(out.triangles[i / 3].vertices[i % 3], expected)) << "case " << c;
    }
    EXPECT_TRUE(out.untouchedFrom(n)) << "case " << c;
  }
  Output out;
  EXPECT_EQ(triangulateCell(unitCell(61, 0.0, 1.0), 0.5, out.triangles), 5);
}

TEST(TriangulateCell, EachEdgeSnapsToItsFirstCorner) {
  // Both ends of edge e within 0.00001 of the level, the second just below
  // it: the vertex is the first corner's point. Neighbouring cells name a
  // shared grid edge from opposite ends, so this order is visible.
  for (int e = 0; e < 12; ++e) {
    const int first = EdgeEnds[e][0], second = EdgeEnds[e][1];
    GridCell cell = unitCell(1 << second, 0.25 - 4e-6, 1.0);
    cell.values[first] = 0.25 + 4e-6;
    Output out;
    ASSERT_EQ(triangulateCell(cell, 0.25, out.triangles), 1) << "edge " << e;
    int slot = 0;
    while (CaseTriangles[1 << second][slot] != e) ++slot;
    EXPECT_TRUE(same(out.triangles[0].vertices[slot], cell.points[first])) << "edge " << e;
  }
}

TEST(TriangulateCell, ACornerAtTheLevelIsTheVertexOfAllItsEdges) {
  // Case 254: corner 0 at the level, the rest clearly below: edges 0, 3 and
  // 8 all snap to corner 0, and the degenerate triangle is still emitted.
  GridCell cell = unitCell(0xfe, 0.2, 0.25);
  cell.points[0] = {-1.1f, 2.3f, 0.7f};
  Output out;
  ASSERT_EQ(triangulateCell(cell, 0.25, out.triangles), 1);
  for (const Point3& v : out.triangles[0].vertices) EXPECT_TRUE(same(v, cell.points[0]));
}

TEST(InterpolateEdgeVertex, LinearInDoublePrecisionRoundedOnceToFloat) {
  const Point3 p = {0.1f, -3.3f, 7.7f}, q = {1.3f, 2.9f, -0.6f};
  // Values 0 and 1 at level 0.25 put the vertex a quarter of the way from
  // the first point; swapped, a quarter of the way from the second.
  const auto along = [&](double mu) {
    return Point3{
        static_cast<float>(static_cast<double>(p.x) + (static_cast<double>(q.x) - p.x) * mu),
        static_cast<float>(static_cast<double>(p.y) + (static_cast<double>(q.y) - p.y) * mu),
        static_cast<float>(static_cast<double>(p.z) + (static_cast<double>(q.z) - p.z) * mu)};
  };
  EXPECT_TRUE(same(interpolateEdgeVertex(0.25, p, q, 0.0, 1.0), along(0.25)));
  EXPECT_TRUE(same(interpolateEdgeVertex(0.25, p, q, 1.0, 0.0), along(0.75)));

  // With mu = 0.15 / 0.73 the double result differs from single-precision
  // arithmetic in x and y, so a float shortcut anywhere shows here.
  const double mu = (0.25 - 0.1) / (0.83 - 0.1);
  const Point3 v = interpolateEdgeVertex(0.25, p, q, 0.1, 0.83);
  EXPECT_TRUE(same(v, along(mu)));
  const float singleMu = static_cast<float>(mu);
  EXPECT_NE(v.x, p.x + (q.x - p.x) * singleMu);
  EXPECT_NE(v.y, p.y + (q.y - p.y) * singleMu);
}

TEST(InterpolateEdgeVertex, SnapTestsRunInOrderAndTheFirstThatHoldsDecides) {
  const Point3 p = {1.0f, 2.0f, 3.0f}, q = {4.0f, 5.0f, 6.0f};
  EXPECT_TRUE(same(interpolateEdgeVertex(0.25, p, q, 0.25, 0.0), p));
  EXPECT_TRUE(same(interpolateEdgeVertex(0.25, p, q, 0.0, 0.25), q));
  EXPECT_TRUE(same(interpolateEdgeVertex(0.25, p, q, 0.25, 0.25), p));
  // Both ends near the level: the first point wins though the second is
  // closer.
  EXPECT_TRUE(same(interpolateEdgeVertex(0.25, p, q, 0.25 + 9e-6, 0.25 - 1e-6), p));
  // Both values far from the level but nearly equal: the first point, and
  // no division by a vanishing difference.
  EXPECT_TRUE(same(interpolateEdgeVertex(0.25, p, q, 0.5, 0.5 + 5e-6), p));
}

TEST(InterpolateEdgeVertex, SnapCutOffIsTheDifferenceRoundedToFloat) {
  const Point3 p = {1.0f, 2.0f, 3.0f}, q = {4.0f, 5.0f, 6.0f};
  // At level 0 the difference level - value1 is exactly -value1. 0.00001
  // rounds to 9.99999975e-06 as a float and so snaps, as does anything up
  // to the midpoint to the next float, about 1.00000002e-05.
  EXPECT_TRUE(same(interpolateEdgeVertex(0.0, p, q, -0.00001, 1.0), p));
  EXPECT_TRUE(same(interpolateEdgeVertex(0.0, p, q, -1.00000001e-05, 1.0), p));
  EXPECT_FALSE(same(interpolateEdgeVertex(0.0, p, q, -1.0000001e-05, 1.0), p));
  EXPECT_TRUE(same(interpolateEdgeVertex(0.0, p, q, 1.0, 0.00001), q));
  EXPECT_FALSE(same(interpolateEdgeVertex(0.0, p, q, 1.0, 1.0000001e-05), q));
  // withinSnapTolerance is the same test, public.
  EXPECT_TRUE(withinSnapTolerance(0.0, -1.00000001e-05));
  EXPECT_FALSE(withinSnapTolerance(0.0, -1.0000001e-05));
  EXPECT_TRUE(withinSnapTolerance(5.0, 5.0));
}

// Found by fuzzing: values whose difference overflows a double made mu 0
// (the vertex jumped to the first point) or NaN (inf / inf).
TEST(InterpolateEdgeVertex, ValuesFarApartNearTheDoubleRangeStillInterpolate) {
  const Point3 p = {0.0f, 0.0f, 0.0f}, q = {1.0f, 2.0f, 4.0f};
  EXPECT_TRUE(same(interpolateEdgeVertex(0.0, p, q, -1e308, 1e308), Point3{0.5f, 1.0f, 2.0f}));
  // The level's own distance from the first value overflows too.
  const Point3 v = interpolateEdgeVertex(1e308, p, q, -1.5e308, 1.7e308);
  EXPECT_NEAR(v.x, 0.78125, 1e-6);
  EXPECT_NEAR(v.y, 2 * 0.78125, 1e-6);
  EXPECT_NEAR(v.z, 4 * 0.78125, 1e-6);
}

// A volume's NaN and infinite voxels reach the polygoniser as -infinity,
// below every level: the vertex of an edge to one lies on its other end,
// exactly, where the snap rules do not decide first.
TEST(InterpolateEdgeVertex, AnInfiniteEndPutsTheVertexOnTheOtherEnd) {
  const Point3 p = {0.0f, -0.0f, 3.0f}, q = {1.0f, 2.0f, -4.0f};
  for (const double level : {0.25, -1e300, 1e300}) {
    EXPECT_TRUE(same(interpolateEdgeVertex(level, p, q, -INFINITY, 2e300), q)) << level;
    EXPECT_TRUE(same(interpolateEdgeVertex(level, p, q, 2e300, -INFINITY), p)) << level;
    EXPECT_TRUE(same(interpolateEdgeVertex(level, p, q, INFINITY, -3e300), q)) << level;
  }
  EXPECT_TRUE(same(interpolateEdgeVertex(0.25, p, q, -INFINITY, 0.25), q));
  EXPECT_TRUE(same(interpolateEdgeVertex(0.25, p, q, 0.25, -INFINITY), p));
  // A cell with one corner at -infinity: its three edges' vertices lie on
  // their other ends.
  const GridCell cell = unitCell(1 << 6, -INFINITY, 1.0);
  Triangle made[5];
  ASSERT_EQ(triangulateCell(cell, 0.5, made), 1);
  for (const Point3& v : made[0].vertices) {
    const bool atANeighbour =
        same(v, cell.points[2]) || same(v, cell.points[5]) || same(v, cell.points[7]);
    EXPECT_TRUE(atANeighbour) << v.x << " " << v.y << " " << v.z;
  }
}

// Users' volumes: no tolerance. The vertex is an end only where the level
// is that end's value; any other difference, however small, is
// interpolated, the same bits at any power-of-two scale of the values and
// the level.
TEST(InterpolateVolumeEdgeVertex, AnEndOnlyWhereTheLevelIsItsValue) {
  const Point3 p = {1.0f, 2.0f, 3.0f}, q = {4.0f, 5.0f, 6.0f};
  EXPECT_TRUE(same(interpolateVolumeEdgeVertex(0.25, p, q, 0.25, 0.0), p));
  EXPECT_TRUE(same(interpolateVolumeEdgeVertex(0.25, p, q, 0.0, 0.25), q));
  // Where the demo's polygoniser snaps (a difference under 1e-5), this one
  // interpolates: a quarter of the way, at any scale.
  for (const double scale : {1e-6, 1e-30, 1e-300, 1.0, 1e300}) {
    const Point3 v = interpolateVolumeEdgeVertex(0.0, p, q, -1.0 * scale, 3.0 * scale);
    EXPECT_TRUE(same(v, Point3{1.75f, 2.75f, 3.75f})) << scale;
  }
  EXPECT_TRUE(same(interpolateEdgeVertex(0.0, p, q, -1e-6, 3e-6), p));
  // Powers of two change no bit, other factors only the rounding.
  const double values[][3] = {{0.1, 0.83, 0.25}, {-3.7, 1.9, 0.2}, {7.25, -2.5, 1.0 / 3.0}};
  for (const auto& v : values) {
    const Point3 plain = interpolateVolumeEdgeVertex(v[2], p, q, v[0], v[1]);
    for (const int power : {-1074 + 60, -500, -20, -1, 1, 30, 900}) {
      const double s = std::ldexp(1.0, power);
      EXPECT_TRUE(same(interpolateVolumeEdgeVertex(v[2] * s, p, q, v[0] * s, v[1] * s), plain))
          << power;
    }
    const Point3 thousandth =
        interpolateVolumeEdgeVertex(v[2] * 1e-3, p, q, v[0] * 1e-3, v[1] * 1e-3);
    EXPECT_NEAR(thousandth.x, plain.x, 1e-6);
  }
}

// Where the interpolated point rounds to an end's float (the level very
// near, not at, that end's value), the vertex is the next float toward the
// other end along every coordinate the ends do not share: vertices of
// different edges never meet but on a voxel whose value is the level.
TEST(InterpolateVolumeEdgeVertex, RoundedOntoAnEndItIsTheNextFloatInside) {
  const Point3 p = {1.0f, 2.0f, 3.0f}, q = {2.0f, 2.0f, 3.0f};
  const Point3 nearP = interpolateVolumeEdgeVertex(0.0, p, q, -1e-12, 1.0);
  EXPECT_TRUE(same(nearP, Point3{std::nextafter(1.0f, 2.0f), 2.0f, 3.0f}));
  const Point3 nearQ = interpolateVolumeEdgeVertex(0.0, p, q, 1.0, -1e-12);
  EXPECT_TRUE(same(nearQ, Point3{std::nextafter(2.0f, 1.0f), 2.0f, 3.0f}));
  // A diagonal edge moves along each coordinate it spans.
  const Point3 r = {0.0f, 5.0f, 3.0f};
  const Point3 diagonal = interpolateVolumeEdgeVertex(0.5, p, r, 0.5 - 1e-13, 7.0);
  EXPECT_TRUE(same(diagonal, Point3{std::nextafter(1.0f, 0.0f), std::nextafter(2.0f, 5.0f), 3.0f}));
  // An infinite end still gives the other end (the volume's non-finite
  // voxels are outside, like the layer around it).
  EXPECT_TRUE(same(interpolateVolumeEdgeVertex(0.25, p, q, -INFINITY, 2e300), q));
  EXPECT_TRUE(same(interpolateVolumeEdgeVertex(0.25, p, q, 2e300, -INFINITY), p));
  // Far apart near the double range: the halved values' quotient.
  const Point3 far = interpolateVolumeEdgeVertex(0.0, {0, 0, 0}, {1, 2, 4}, -1e308, 1e308);
  EXPECT_TRUE(same(far, Point3{0.5f, 1.0f, 2.0f}));
}

// polygoniseVolumeCell is the polygoniser with that placement: the same
// cases, the vertices interpolateVolumeEdgeVertex gives.
TEST(PolygoniseVolumeCell, TheSameCasesWithTheVolumesPlacement) {
  for (int c = 1; c < 255; c += 7) {
    GridCell cell = unitCell(c, 0.5 - 1e-7, 0.5 + 3e-6);
    Output scene, volume;
    const CellTriangles a = polygoniseCell(cell, 0.5, scene.triangles);
    const CellTriangles b = polygoniseVolumeCell(cell, 0.5, volume.triangles);
    ASSERT_EQ(a.count, b.count) << c;
    EXPECT_EQ(a.caseIndex, b.caseIndex) << c;
    for (int t = 0; t < b.count; ++t) {
      for (const Point3& v : volume.triangles[t].vertices) {
        bool onCorner = false;
        for (const Point3& corner : cell.points) onCorner = onCorner || same(v, corner);
        EXPECT_FALSE(onCorner) << c;
      }
    }
  }
}

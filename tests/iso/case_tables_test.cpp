#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "iso/isosurface.h"
#include "tests/iso/cube_geometry.h"

namespace {

std::vector<int> rowEntries(int c) {
  std::vector<int> entries;
  for (int i = 0; CaseTriangles[c][i] != -1; ++i) entries.push_back(CaseTriangles[c][i]);
  return entries;
}

std::vector<std::vector<int>> triangleList(const std::vector<int>& entries) {
  std::vector<std::vector<int>> triangles;
  for (size_t i = 0; i + 2 < entries.size(); i += 3) {
    triangles.push_back({entries[i], entries[i + 1], entries[i + 2]});
  }
  return triangles;
}

// A triangle as a rotation-independent key: starts at its smallest edge.
std::vector<int> canonical(std::vector<int> t) {
  std::rotate(t.begin(), std::min_element(t.begin(), t.end()), t.end());
  return t;
}

bool below(int c, int corner) { return (c >> corner) & 1; }

}  // namespace

TEST(CaseTables, EdgeMasksFollowFromTheCornerRule) {
  for (int c = 0; c < 256; ++c) {
    int expected = 0;
    for (int e = 0; e < 12; ++e) {
      if (below(c, EdgeEnds[e][0]) != below(c, EdgeEnds[e][1])) expected |= 1 << e;
    }
    EXPECT_EQ(CaseEdgeMasks[c], expected) << "case " << c;
    EXPECT_EQ(CaseEdgeMasks[c], CaseEdgeMasks[255 - c]) << "case " << c;
  }
  const std::int32_t start[8] = {0x000, 0x109, 0x203, 0x30a, 0x406, 0x50f, 0x605, 0x70c};
  EXPECT_TRUE(std::equal(start, start + 8, CaseEdgeMasks));
  EXPECT_EQ(CaseEdgeMasks[3], 0x30a);
}

TEST(CaseTables, RowsAreTerminatedAndNameExactlyTheCrossedEdges) {
  for (int c = 0; c < 256; ++c) {
    const std::vector<int> entries = rowEntries(c);
    ASSERT_LE(entries.size(), 15u) << "case " << c;
    EXPECT_EQ(entries.size() % 3, 0u) << "case " << c;
    for (size_t i = entries.size(); i < 16; ++i) EXPECT_EQ(CaseTriangles[c][i], -1) << "case " << c;
    std::set<int> named;
    for (int e : entries) {
      ASSERT_TRUE(e >= 0 && e < 12) << "case " << c;
      named.insert(e);
    }
    std::set<int> crossed;
    for (int e = 0; e < 12; ++e) {
      if (CaseEdgeMasks[c] & (1 << e)) crossed.insert(e);
    }
    EXPECT_EQ(named, crossed) << "case " << c;
  }
}

TEST(CaseTables, TriangleCountsAndTheFiveTriangleRows) {
  std::map<size_t, int> rowsWith;
  std::vector<int> fiveTriangleRows;
  size_t total = 0;
  for (int c = 0; c < 256; ++c) {
    const size_t n = rowEntries(c).size() / 3;
    ++rowsWith[n];
    total += n;
    if (n == 5) fiveTriangleRows.push_back(c);
  }
  EXPECT_EQ(rowsWith, (std::map<size_t, int>{{0, 2}, {1, 16}, {2, 50}, {3, 80}, {4, 76}, {5, 32}}));
  EXPECT_EQ(total, 820u);
  EXPECT_EQ(fiveTriangleRows,
            (std::vector<int>{61,  62,  87,  91,  93,  94,  107, 109, 117, 121, 122,
                              124, 151, 158, 167, 171, 173, 174, 181, 182, 186, 188,
                              199, 203, 211, 213, 214, 218, 227, 229, 233, 234}));
}

TEST(CaseTables, TellingRowsHoldTheirTrianglesInTableOrder) {
  const std::map<int, std::vector<int>> telling = {
      {0, {}},
      {1, {0, 8, 3}},
      {2, {0, 1, 9}},
      {3, {1, 8, 3, 9, 8, 1}},
      {4, {1, 2, 10}},
      {5, {0, 8, 3, 1, 2, 10}},
      {7, {2, 8, 3, 2, 10, 8, 10, 9, 8}},
      {8, {3, 11, 2}},
      {15, {9, 8, 10, 10, 8, 11}},
      {16, {4, 7, 8}},
      {23, {2, 10, 9, 2, 9, 7, 2, 7, 3, 7, 9, 4}},
      {32, {9, 5, 4}},
      {61, {5, 7, 0, 5, 0, 9, 7, 11, 0, 1, 0, 10, 11, 10, 0}},
      {64, {10, 6, 5}},
      {105, {0, 8, 2, 2, 8, 11, 4, 9, 10, 4, 10, 6}},
      {128, {7, 6, 11}},
      {165, {6, 11, 7, 1, 2, 10, 0, 8, 3, 4, 9, 5}},
      {229, {9, 7, 4, 9, 11, 7, 9, 1, 11, 2, 11, 1, 0, 8, 3}},
      {250, {2, 3, 8, 2, 8, 10, 0, 1, 8, 1, 10, 8}},
      {252, {1, 3, 8, 9, 1, 8}},
      {253, {0, 9, 1}},
      {254, {0, 3, 8}},
      {255, {}},
  };
  for (const auto& [c, triangles] : telling) EXPECT_EQ(rowEntries(c), triangles) << "case " << c;
  EXPECT_EQ(CaseTriangles[61][14], 0);
  EXPECT_EQ(CaseTriangles[61][15], -1);
}

// The normal of each triangle, by the right-hand rule in table order, must
// lean toward the corners at or above the level: summed over the triangle's
// three edges, it points from the end below the level to the end above.
TEST(CaseTables, WindingFacesTheCornersAtOrAboveTheLevel) {
  for (int c = 1; c < 255; ++c) {
    for (const auto& t : triangleList(rowEntries(c))) {
      const auto p = edgeMidpoint(t[0]), q = edgeMidpoint(t[1]), r = edgeMidpoint(t[2]);
      const double u[3] = {q[0] - p[0], q[1] - p[1], q[2] - p[2]};
      const double v[3] = {r[0] - p[0], r[1] - p[1], r[2] - p[2]};
      const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                           u[0] * v[1] - u[1] * v[0]};
      double toward = 0;
      for (int e : t) {
        const int a = EdgeEnds[e][0], b = EdgeEnds[e][1];
        const int above = below(c, a) ? b : a, under = below(c, a) ? a : b;
        for (int k = 0; k < 3; ++k) toward += n[k] * (CornerSign[above][k] - CornerSign[under][k]);
      }
      EXPECT_GT(toward, 0) << "case " << c << " triangle " << t[0] << " " << t[1] << " " << t[2];
    }
  }
}

// Two crossing points lie in one face of the cube when their edges border a
// common face: the side between them is then part of the surface's boundary
// on that face, owned by one triangle; any other side is internal to the
// cell's surface and must be run once each way.
TEST(CaseTables, FaceSidesAreUsedOnceAndInteriorSidesTwiceInOppositeDirections) {
  const auto sameFace = [](int a, int b) {
    const auto p = edgeMidpoint(a), q = edgeMidpoint(b);
    for (int k = 0; k < 3; ++k) {
      if (p[k] == q[k] && (p[k] == 1 || p[k] == -1)) return true;
    }
    return false;
  };
  for (int c = 1; c < 255; ++c) {
    std::map<std::pair<int, int>, int> runs;
    for (const auto& t : triangleList(rowEntries(c))) {
      for (int i = 0; i < 3; ++i) ++runs[{t[i], t[(i + 1) % 3]}];
    }
    for (const auto& [side, count] : runs) {
      EXPECT_EQ(count, 1) << "case " << c << " side " << side.first << "-" << side.second;
      const int reverse = runs.count({side.second, side.first});
      EXPECT_EQ(reverse, sameFace(side.first, side.second) ? 0 : 1)
          << "case " << c << " side " << side.first << "-" << side.second;
    }
  }
}

TEST(CaseTables, ExactlyOneHundredTwentyRowsAreNotTheirComplementReversed) {
  int asymmetric = 0;
  for (int c = 0; c < 256; ++c) {
    std::multiset<std::vector<int>> reversed, complement;
    for (const auto& t : triangleList(rowEntries(c)))
      reversed.insert(canonical({t[0], t[2], t[1]}));
    for (const auto& t : triangleList(rowEntries(255 - c))) complement.insert(canonical(t));
    if (reversed != complement) ++asymmetric;
  }
  EXPECT_EQ(asymmetric, 120);
}

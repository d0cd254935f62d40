// Checks shared by the mesh tests: triangles equal to the bit, closedness
// and orientation of an indexed mesh, and what a sweep at a tick produces.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "iso/isosurface.h"
#include "mesh/enclosed_volume.h"  // signedVolume6, shared with the library
#include "mesh/surface.h"

// A volume's values as a reader in memory takes them.
inline std::unique_ptr<double[]> copyOf(const std::vector<double>& values) {
  auto copy = std::make_unique<double[]>(values.size());
  std::copy(values.begin(), values.end(), copy.get());
  return copy;
}

// Same bits, same order; on a mismatch, the first differing triangle.
inline ::testing::AssertionResult sameTriangles(const std::vector<Triangle>& expected,
                                                const std::vector<Triangle>& actual) {
  if (expected.size() != actual.size()) {
    return ::testing::AssertionFailure()
           << expected.size() << " triangles expected, " << actual.size() << " extracted";
  }
  for (std::size_t t = 0; t < expected.size(); ++t) {
    if (std::memcmp(&expected[t], &actual[t], sizeof(Triangle)) != 0) {
      return ::testing::AssertionFailure() << "triangle " << t << " differs";
    }
  }
  return ::testing::AssertionSuccess();
}

// The same vertices and normals, bit for bit, and the same faces.
inline ::testing::AssertionResult sameMesh(const IndexedMesh& expected, const IndexedMesh& actual) {
  const auto sameBits = [](const std::vector<Point3>& a, const std::vector<Point3>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(Point3)) == 0);
  };
  if (!sameBits(expected.vertices, actual.vertices)) {
    return ::testing::AssertionFailure() << "vertices differ (" << expected.vertices.size()
                                         << " expected, " << actual.vertices.size() << ")";
  }
  if (expected.faces != actual.faces) return ::testing::AssertionFailure() << "faces differ";
  if (!sameBits(expected.normals, actual.normals)) {
    return ::testing::AssertionFailure() << "normals differ";
  }
  return ::testing::AssertionSuccess();
}

// True when every directed edge occurs once and its reverse once: each edge
// is shared by exactly two faces that run it in opposite directions.
inline bool closedAndConsistent(const std::vector<std::array<std::uint32_t, 3>>& faces) {
  std::map<std::pair<std::uint32_t, std::uint32_t>, int> directed;
  for (const auto& f : faces) {
    for (int i = 0; i < 3; ++i) ++directed[{f[i], f[(i + 1) % 3]}];
  }
  for (const auto& [edge, count] : directed) {
    if (count != 1) return false;
    const auto reverse = directed.find({edge.second, edge.first});
    if (reverse == directed.end() || reverse->second != 1) return false;
  }
  return true;
}

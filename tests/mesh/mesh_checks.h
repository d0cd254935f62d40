// Checks shared by the mesh tests: triangles equal to the bit, closedness
// and orientation of an indexed mesh, and what a sweep at a tick produces.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "iso/isosurface.h"
#include "mesh/finishing/enclosed_volume.h"  // signedVolume6, shared with the library
#include "mesh/surface/surface.h"

// A volume's values as a reader in memory takes them.
inline std::unique_ptr<double[]> copyOf(const std::vector<double>& values) {
  auto copy = std::make_unique<double[]>(values.size());
  std::copy(values.begin(), values.end(), copy.get());
  return copy;
}

// Vertices with the same bits made one (the first, with its normal), the
// rest in order, and the faces that then repeat a vertex dropped: what a
// reader that merges by position sees, by a map over every vertex.
inline mcubes::internal::IndexedMesh mergedByPosition(const mcubes::internal::IndexedMesh& mesh) {
  mcubes::internal::IndexedMesh merged;
  std::map<std::array<std::uint32_t, 3>, std::uint32_t> first;
  std::vector<std::uint32_t> to(mesh.vertices.size());
  for (std::size_t v = 0; v < mesh.vertices.size(); ++v) {
    std::array<std::uint32_t, 3> bits;
    std::memcpy(bits.data(), &mesh.vertices[v], sizeof bits);
    const auto [at, made] = first.emplace(bits, static_cast<std::uint32_t>(merged.vertices.size()));
    if (made) {
      merged.vertices.push_back(mesh.vertices[v]);
      if (!mesh.normals.empty()) merged.normals.push_back(mesh.normals[v]);
    }
    to[v] = at->second;
  }
  for (const auto& f : mesh.faces) {
    const std::array<std::uint32_t, 3> face = {to[f[0]], to[f[1]], to[f[2]]};
    if (face[0] != face[1] && face[1] != face[2] && face[2] != face[0]) {
      merged.faces.push_back(face);
    }
  }
  return merged;
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
inline ::testing::AssertionResult sameMesh(const mcubes::internal::IndexedMesh& expected,
                                           const mcubes::internal::IndexedMesh& actual) {
  const auto sameBits = [](const auto& a, const auto& b) {
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
// `Faces`: a mesh's FaceArray, or faces read back from a file.
template <typename Faces>
bool closedAndConsistent(const Faces& faces) {
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

// The vertices whose faces do not form one fan around them (a disk): where
// sheets of a surface are pinched together at a point. Each neighbour must
// end two of the edges opposite the vertex, and following them must go
// round once.
template <typename Faces>
std::size_t pinchedVertices(const Faces& faces, std::size_t vertexCount) {
  std::vector<std::vector<std::pair<std::uint32_t, std::uint32_t>>> fans(vertexCount);
  for (const auto& f : faces) {
    for (int i = 0; i < 3; ++i) fans[f[i]].emplace_back(f[(i + 1) % 3], f[(i + 2) % 3]);
  }
  std::size_t pinched = 0;
  for (auto& fan : fans) {
    if (fan.empty()) continue;
    std::map<std::uint32_t, std::uint32_t> next(fan.begin(), fan.end());
    bool one = next.size() == fan.size();
    std::uint32_t at = fan[0].first;
    std::size_t steps = 0;
    while (one) {
      const auto found = next.find(at);
      if (found == next.end()) {
        one = false;
        break;
      }
      at = found->second;
      ++steps;
      if (at == fan[0].first) break;
      if (steps > fan.size()) one = false;
    }
    pinched += !(one && steps == fan.size());
  }
  return pinched;
}

// Pairs of faces where an edge of one passes through the other (beyond the
// corner they share): the self-intersections a printer's slicer trips on.
// Candidates from a grid of cells two mean edges wide; faces that only
// touch, or lie in one plane (within float rounding), are not counted.
inline std::size_t selfIntersectingPairs(const mcubes::internal::IndexedMesh& mesh) {
  using V = std::array<double, 3>;
  const auto at = [&](std::uint32_t v) {
    const Point3& p = mesh.vertices[v];
    return V{p.x, p.y, p.z};
  };
  // The side of plane abc that d lies on; 0 within a few float steps of
  // the coordinates (points of one plane rounded to float lie that close).
  const auto orient = [](const V& a, const V& b, const V& c, const V& d) {
    const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const double v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    const double w[3] = {d[0] - a[0], d[1] - a[1], d[2] - a[2]};
    const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                         u[0] * v[1] - u[1] * v[0]};
    const double det = n[0] * w[0] + n[1] * w[1] + n[2] * w[2];
    double scale = 0;
    for (const V* p : {&a, &b, &c, &d}) {
      for (const double x : *p) scale = std::max(scale, std::fabs(x));
    }
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (std::fabs(det) <= 4 * 0x1p-23 * scale * length) return 0;
    return (det > 0) - (det < 0);
  };
  // Segment pq through triangle abc (touching does not count).
  const auto meets = [&](const V& p, const V& q, const V& a, const V& b, const V& c) {
    if (orient(a, b, c, p) * orient(a, b, c, q) >= 0) return false;
    const int s1 = orient(p, q, a, b), s2 = orient(p, q, b, c), s3 = orient(p, q, c, a);
    return (s1 > 0 && s2 > 0 && s3 > 0) || (s1 < 0 && s2 < 0 && s3 < 0);
  };
  double edges = 0;
  for (const auto& f : mesh.faces) {
    for (int i = 0; i < 3; ++i) {
      const V a = at(f[i]), b = at(f[(i + 1) % 3]);
      edges += std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                         (a[2] - b[2]) * (a[2] - b[2]));
    }
  }
  if (mesh.faces.empty()) return 0;
  const double cell = 2 * edges / (3.0 * static_cast<double>(mesh.faces.size()));
  std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> grid;
  const auto key = [](std::int64_t x, std::int64_t y, std::int64_t z) {
    const auto bits = [](std::int64_t c) { return static_cast<std::uint64_t>(c) & 0x1fffff; };
    return bits(x) | bits(y) << 21 | bits(z) << 42;
  };
  std::vector<std::array<V, 2>> boxes;
  for (std::uint32_t f = 0; f < mesh.faces.size(); ++f) {
    V low = at(mesh.faces[f][0]), high = low;
    for (int i = 1; i < 3; ++i) {
      const V p = at(mesh.faces[f][i]);
      for (int d = 0; d < 3; ++d) {
        low[d] = std::min(low[d], p[d]);
        high[d] = std::max(high[d], p[d]);
      }
    }
    boxes.push_back({low, high});
    std::array<std::int64_t, 3> from, to;
    for (int d = 0; d < 3; ++d) {
      from[d] = static_cast<std::int64_t>(std::floor(low[d] / cell));
      to[d] = static_cast<std::int64_t>(std::floor(high[d] / cell));
    }
    for (std::int64_t x = from[0]; x <= to[0]; ++x) {
      for (std::int64_t y = from[1]; y <= to[1]; ++y) {
        for (std::int64_t z = from[2]; z <= to[2]; ++z) grid[key(x, y, z)].push_back(f);
      }
    }
  }
  std::vector<std::pair<std::uint32_t, std::uint32_t>> crossing;
  for (const auto& [where, list] : grid) {
    for (std::size_t i = 0; i < list.size(); ++i) {
      for (std::size_t j = i + 1; j < list.size(); ++j) {
        const std::uint32_t f = std::min(list[i], list[j]), g = std::max(list[i], list[j]);
        bool apart = false;
        for (int d = 0; d < 3; ++d) {
          apart = apart || boxes[f][1][d] < boxes[g][0][d] || boxes[g][1][d] < boxes[f][0][d];
        }
        if (apart) continue;
        const auto& a = mesh.faces[f];
        const auto& b = mesh.faces[g];
        int shared = 0, ia = -1, ib = -1;
        for (int s = 0; s < 3; ++s) {
          for (int t = 0; t < 3; ++t) {
            if (a[s] == b[t]) {
              ++shared;
              ia = s;
              ib = t;
            }
          }
        }
        bool cross = false;
        if (shared == 1) {
          cross = meets(at(a[(ia + 1) % 3]), at(a[(ia + 2) % 3]), at(b[0]), at(b[1]), at(b[2])) ||
                  meets(at(b[(ib + 1) % 3]), at(b[(ib + 2) % 3]), at(a[0]), at(a[1]), at(a[2]));
        } else if (shared == 0) {
          for (int s = 0; s < 3 && !cross; ++s) {
            cross = meets(at(a[s]), at(a[(s + 1) % 3]), at(b[0]), at(b[1]), at(b[2])) ||
                    meets(at(b[s]), at(b[(s + 1) % 3]), at(a[0]), at(a[1]), at(a[2]));
          }
        }
        if (cross) crossing.emplace_back(f, g);
      }
    }
  }
  // A pair in several cells is one.
  std::sort(crossing.begin(), crossing.end());
  return static_cast<std::size_t>(std::unique(crossing.begin(), crossing.end()) - crossing.begin());
}

// The oracle for the volume extractor: the literal per-cell pipeline over
// the voxel lattice, written out here apart from the library's polygoniser
// (only the case tables are shared). Every cell in memory order (i fastest,
// then j, then k) becomes a cell of its eight voxels, each corner's world
// position formed in double as origin + i * a + j * b + k * c in that order
// and rounded to float once; a corner is below the level where its value
// is; each crossed edge's vertex is placed by the users' volumes' rule
// (literalVolumeVertex); the case's triangles are emitted. A value that is
// not finite enters as -infinity, below every level (the vertex of an edge
// to it lies on the edge's other end). The inside below the level is, by
// definition, the negated volume at the negated level.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "iso/isosurface.h"
#include "mesh/surface/inside.h"
#include "volume/volume.h"

// The vertex of the edge from p (value a) to q (value b) at `level`, one of
// them below it: an end only where the level is its value, or the other
// end's value is infinite; else the point a fraction (level - a) / (b - a)
// of the way (the halved values' quotient where b - a overflows), each
// coordinate formed in double and rounded to float once, and where that
// lands on an end, the float next to it toward the other end in every
// coordinate the ends differ in.
inline Point3 literalVolumeVertex(double level, Point3 p, Point3 q, double a, double b) {
  if (a == level) return p;
  if (b == level) return q;
  if (std::isinf(a)) return q;
  if (std::isinf(b)) return p;
  const double mu =
      std::isinf(b - a) ? (level / 2 - a / 2) / (b / 2 - a / 2) : (level - a) / (b - a);
  const float from[3] = {p.x, p.y, p.z}, to[3] = {q.x, q.y, q.z};
  float c[3];
  for (int d = 0; d < 3; ++d) {
    c[d] = static_cast<float>(static_cast<double>(from[d]) +
                              (static_cast<double>(to[d]) - static_cast<double>(from[d])) * mu);
  }
  for (const bool first : {true, false}) {
    const float* end = first ? from : to;
    const float* other = first ? to : from;
    if (c[0] == end[0] && c[1] == end[1] && c[2] == end[2]) {
      for (int d = 0; d < 3; ++d) c[d] = std::nextafter(end[d], other[d]);
      break;
    }
  }
  return {c[0], c[1], c[2]};
}

// A vertex's normal from its edge's ends in the order the vertex is formed
// from: their lattice points, values as they enter and world positions.
using LiteralNormal = std::function<Point3(const std::int64_t (&)[3], const std::int64_t (&)[3],
                                           double, double, Point3, Point3)>;

// With `normals`, each triangle's vertices' normals by `normal`, in order.
inline std::vector<Triangle> literalVolumeExtraction(
    const mcubes::internal::VolumeGeometry& g, const double* values, double isoLevel,
    mcubes::internal::Inside inside = mcubes::internal::Inside::Above,
    std::vector<std::array<Point3, 3>>* normals = nullptr, const LiteralNormal& normal = {}) {
  // Corner c's offset in (i, j, k), and each edge's corners in the order
  // the vertex is formed from, written out here apart from the library.
  constexpr int offsets[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1},
                                 {0, 1, 0}, {1, 1, 0}, {1, 1, 1}, {0, 1, 1}};
  constexpr int edges[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                                {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
  const double sign = inside == mcubes::internal::Inside::Below ? -1.0 : 1.0;
  const double level = sign * isoLevel;
  const std::int64_t nx = g.dims[0], ny = g.dims[1], nz = g.dims[2];
  std::vector<Triangle> triangles;
  for (std::int64_t k = 0; k + 1 < nz; ++k) {
    for (std::int64_t j = 0; j + 1 < ny; ++j) {
      for (std::int64_t i = 0; i + 1 < nx; ++i) {
        double value[8];
        Point3 point[8];
        std::int64_t at[8][3];
        int caseIndex = 0;
        for (int c = 0; c < 8; ++c) {
          for (int d = 0; d < 3; ++d) at[c][d] = (d == 0 ? i : d == 1 ? j : k) + offsets[c][d];
          const double v = sign * values[(at[c][2] * ny + at[c][1]) * nx + at[c][0]];
          value[c] = std::isfinite(v) ? v : -INFINITY;
          float p[3];
          for (int d = 0; d < 3; ++d) {
            p[d] =
                static_cast<float>(((g.origin[d] + static_cast<double>(at[c][0]) * g.axes[0][d]) +
                                    static_cast<double>(at[c][1]) * g.axes[1][d]) +
                                   static_cast<double>(at[c][2]) * g.axes[2][d]);
          }
          point[c] = {p[0], p[1], p[2]};
          if (value[c] < level) caseIndex |= 1 << c;
        }
        const std::int32_t* row = CaseTriangles[caseIndex];
        for (int t = 0; row[t] != -1; t += 3) {
          Triangle made;
          std::array<Point3, 3> madeNormals;
          for (int v = 0; v < 3; ++v) {
            const int a = edges[row[t + v]][0], b = edges[row[t + v]][1];
            made.vertices[v] = literalVolumeVertex(level, point[a], point[b], value[a], value[b]);
            if (normals) {
              madeNormals[v] = normal(at[a], at[b], value[a], value[b], point[a], point[b]);
            }
          }
          triangles.push_back(made);
          if (normals) normals->push_back(madeNormals);
        }
      }
    }
  }
  return triangles;
}

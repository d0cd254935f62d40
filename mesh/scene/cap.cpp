#include "mesh/scene/cap.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace {

using Edge = std::pair<std::uint32_t, std::uint32_t>;

// The grid's outermost corner coordinates, the same on every axis: the
// lower corner of the first cell and the upper corner of the last, formed as
// the sampler forms corners.
std::array<float, 2> outerCorners(const SceneGrid& grid) {
  const auto corner = [&](std::int32_t i, int side) {
    const float centre = worldCoordinate(grid.coordinate(i), static_cast<float>(GridExtent));
    return cellAxis(centre, 0.0f, grid.halfEdge).corner[side];
  };
  return {corner(0, 0), corner(grid.divisions, 1)};
}

unsigned gridFaces(const Point3& p, const std::array<float, 2>& outer) {
  unsigned faces = 0;
  const float c[3] = {p.x, p.y, p.z};
  for (int a = 0; a < 3; ++a) {
    if (c[a] == outer[0]) faces |= 1u << (2 * a);
    if (c[a] == outer[1]) faces |= 2u << (2 * a);
  }
  return faces;
}

double cross2(const double* o, const double* a, const double* b) {
  return (a[0] - o[0]) * (b[1] - o[1]) - (a[1] - o[1]) * (b[0] - o[0]);
}

using Coordinates = std::function<void(std::uint32_t, double (&)[3])>;

// Ear clipping of one rim, given in the order its cap must run. Points are
// projected onto the plane across the axis along which the rim is flattest.
void clipEars(const Coordinates& coordinates, std::vector<std::uint32_t> polygon,
              std::vector<std::array<std::uint32_t, 3>>& faces) {
  double low[3] = {INFINITY, INFINITY, INFINITY}, high[3] = {-INFINITY, -INFINITY, -INFINITY};
  for (const std::uint32_t v : polygon) {
    double c[3];
    coordinates(v, c);
    for (int a = 0; a < 3; ++a) {
      low[a] = std::min(low[a], c[a]);
      high[a] = std::max(high[a], c[a]);
    }
  }
  int flat = 0;
  for (int a = 1; a < 3; ++a) {
    if (high[a] - low[a] < high[flat] - low[flat]) flat = a;
  }
  const int u = (flat + 1) % 3, w = (flat + 2) % 3;
  const auto at = [&](std::uint32_t v, double* out) {
    double c[3];
    coordinates(v, c);
    out[0] = c[u];
    out[1] = c[w];
  };
  // The sign of the polygon's area says which turn is convex.
  double area = 0;
  for (std::size_t i = 0; i < polygon.size(); ++i) {
    double a[2], b[2];
    at(polygon[i], a);
    at(polygon[(i + 1) % polygon.size()], b);
    area += a[0] * b[1] - a[1] * b[0];
  }
  const double turn = area >= 0 ? 1.0 : -1.0;

  std::size_t i = 0, misses = 0;
  while (polygon.size() > 3) {
    const std::size_t n = polygon.size();
    const std::uint32_t prev = polygon[(i + n - 1) % n], here = polygon[i % n],
                        next = polygon[(i + 1) % n];
    double p[2], h[2], q[2];
    at(prev, p);
    at(here, h);
    at(next, q);
    bool ear = turn * cross2(p, h, q) >= 0;
    for (std::size_t j = 0; ear && j < n; ++j) {
      const std::uint32_t v = polygon[j];
      if (v == prev || v == here || v == next) continue;
      double r[2];
      at(v, r);
      ear =
          !(turn * cross2(p, h, r) > 0 && turn * cross2(h, q, r) > 0 && turn * cross2(q, p, r) > 0);
    }
    // A rim that rounding has made self-touching may offer no clean ear;
    // after a full round without one, clip anyway: the cap stays closed.
    if (ear || misses >= n) {
      faces.push_back({prev, here, next});
      polygon.erase(polygon.begin() + static_cast<std::ptrdiff_t>(i % n));
      misses = 0;
      i = i % polygon.size();
    } else {
      ++misses;
      i = (i + 1) % n;
    }
  }
  faces.push_back({polygon[0], polygon[1], polygon[2]});
}

}  // namespace

std::size_t capOpenRims(IndexedMesh& mesh, const std::function<unsigned(std::uint32_t)>& facesOf,
                        const Coordinates& coordinates, std::size_t* uncapped) {
  // Only an edge with both ends on the boundary can lie on a rim.
  std::vector<unsigned> boundary(mesh.vertices.size());
  for (std::uint32_t v = 0; v < boundary.size(); ++v) boundary[v] = facesOf(v);
  std::map<Edge, int> edges;
  for (const auto& f : mesh.faces) {
    for (int i = 0; i < 3; ++i) {
      const std::uint32_t a = f[i], b = f[(i + 1) % 3];
      if (boundary[a] && boundary[b]) ++edges[{a, b}];
    }
  }
  // An open edge is run one way only; the cap runs it the other way. From
  // each rim vertex the cap goes on along the reversed open edge.
  std::map<std::uint32_t, std::uint32_t> capNext;
  for (const auto& [edge, count] : edges) {
    if (count == 1 && edges.find({edge.second, edge.first}) == edges.end()) {
      capNext[edge.second] = edge.first;
    }
  }
  const std::size_t before = mesh.faces.size();
  while (!capNext.empty()) {
    std::vector<std::uint32_t> rim;
    auto step = capNext.begin();
    while (step != capNext.end()) {
      rim.push_back(step->first);
      const std::uint32_t next = step->second;
      capNext.erase(step);
      step = capNext.find(next);
    }
    unsigned common = ~0u;
    for (const std::uint32_t v : rim) common &= boundary[v];
    if (rim.size() >= 3 && common != 0) {
      clipEars(coordinates, rim, mesh.faces);
    } else if (uncapped) {
      ++*uncapped;
    }
  }
  return mesh.faces.size() - before;
}

std::size_t capGridBoundary(IndexedMesh& mesh, const SceneGrid& grid, std::size_t* uncapped) {
  const std::array<float, 2> outer = outerCorners(grid);
  return capOpenRims(
      mesh, [&](std::uint32_t v) { return gridFaces(mesh.vertices[v], outer); },
      [&](std::uint32_t v, double(&c)[3]) {
        const Point3& p = mesh.vertices[v];
        c[0] = p.x;
        c[1] = p.y;
        c[2] = p.z;
      },
      uncapped);
}

VolumeGeometry gridBox(const SceneGrid& grid) {
  const std::array<float, 2> outer = outerCorners(grid);
  VolumeGeometry box{};
  const std::int64_t corners = static_cast<std::int64_t>(grid.divisions) + 2;
  const double step = (static_cast<double>(outer[1]) - outer[0]) / static_cast<double>(corners - 1);
  for (int a = 0; a < 3; ++a) {
    box.dims[a] = corners;
    box.origin[a] = outer[0];
    box.axes[a][a] = step;
  }
  return box;
}

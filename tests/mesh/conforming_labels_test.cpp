// Conforming labels: the meshes of touching labels share their triangles,
// tile the volume without gap or overlap, and stay joined when smoothed
// together. Each expectation is counted from the voxels, not from the mesh.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "mesh/pipeline/surface_pipeline.h"
#include "mesh/volume/box_faces.h"
#include "tests/mesh/mesh_checks.h"
#include "volume/in_memory_volume.h"

using namespace mcubes::internal;

namespace {

struct Map {
  std::string name;
  VolumeHeader header;
  std::vector<double> values;

  double at(std::int64_t i, std::int64_t j, std::int64_t k) const {
    const auto& d = header.geometry.dims;
    return values[static_cast<std::size_t>((k * d[1] + j) * d[0] + i)];
  }
};

Map map(std::string name, std::int64_t nx, std::int64_t ny, std::int64_t nz,
        const std::function<double(std::int64_t, std::int64_t, std::int64_t)>& label,
        const double (&axes)[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}) {
  Map m{std::move(name), {}, {}};
  VolumeGeometry& g = m.header.geometry;
  g = {{nx, ny, nz}, {3, -2, 5}, {}};
  for (int a = 0; a < 3; ++a) {
    for (int b = 0; b < 3; ++b) g.axes[a][b] = axes[a][b];
  }
  m.header.type = VoxelType::Int16;
  for (std::int64_t k = 0; k < nz; ++k) {
    for (std::int64_t j = 0; j < ny; ++j) {
      for (std::int64_t i = 0; i < nx; ++i) m.values.push_back(label(i, j, k));
    }
  }
  return m;
}

std::vector<Map> maps() {
  std::mt19937 random(40);
  std::vector<double> noise(7 * 6 * 5);
  for (double& v : noise) v = static_cast<double>(random() % 4);
  const auto noisy = [noise](std::int64_t i, std::int64_t j, std::int64_t k) {
    return noise[static_cast<std::size_t>((k * 6 + j) * 7 + i)];
  };
  const auto in = [](std::int64_t v, std::int64_t low, std::int64_t high) {
    return v >= low && v < high;
  };
  const double sheared[3][3] = {{-1, 0, 0}, {0, 0.5, 0}, {0, 0.3, 2}};
  return {
      map("two touching boxes", 9, 7, 6,
          [&](auto i, auto j, auto k) {
            return in(i, 1, 8) && in(j, 1, 6) && in(k, 1, 5) ? (i < 4 ? 1.0 : 2.0) : 0.0;
          }),
      map("three labels along a line", 8, 8, 7,
          [&](auto i, auto j, auto k) {
            if (!(in(i, 1, 7) && in(j, 1, 7) && in(k, 1, 6))) return 0.0;
            return j >= 4 ? 3.0 : i < 4 ? 1.0 : 2.0;
          }),
      map("four labels at a point", 8, 8, 8,
          [&](auto i, auto j, auto k) {
            if (!(in(i, 1, 7) && in(j, 1, 7) && in(k, 1, 7))) return 0.0;
            return k >= 4 ? 4.0 : j >= 4 ? 3.0 : i < 4 ? 1.0 : 2.0;
          }),
      map("random labels", 7, 6, 5, noisy),
      map("random labels, mirrored and sheared", 7, 6, 5, noisy, sheared),
      map("labels on the volume's faces", 7, 6, 5,
          [&](auto i, auto j, auto k) {
            return i < 3 ? 5.0 : (in(j, 2, 4) && k < 2) ? 6.0 : (i == 5 && j == 5) ? 9.0 : 0.0;
          }),
      map("a label inside another", 9, 9, 9,
          [&](auto i, auto j, auto k) {
            if (in(i, 3, 6) && in(j, 3, 6) && in(k, 3, 6)) return 2.0;
            return in(i, 1, 8) && in(j, 1, 8) && in(k, 1, 8) ? 1.0 : 0.0;
          }),
  };
}

using Position = std::tuple<float, float, float>;
using Face = std::array<Position, 3>;

Position position(const Point3& p) { return {p.x, p.y, p.z}; }

// The face starting at its least corner, so that rotations compare equal.
Face face(const IndexedMesh& mesh, const std::array<std::uint32_t, 3>& f, bool reversed) {
  Face corners{position(mesh.vertices[f[0]]), position(mesh.vertices[f[reversed ? 2 : 1]]),
               position(mesh.vertices[f[reversed ? 1 : 2]])};
  while (!(corners[0] <= corners[1] && corners[0] <= corners[2])) {
    corners = {corners[1], corners[2], corners[0]};
  }
  return corners;
}

// The solid angle a mesh subtends at `p` over 4 pi: 1 inside a closed,
// outward mesh, 0 outside.
double winding(const IndexedMesh& mesh, const double (&p)[3]) {
  double sum = 0;
  for (const auto& f : mesh.faces) {
    double r[3][3], length[3];
    for (int c = 0; c < 3; ++c) {
      const Point3& v = mesh.vertices[f[static_cast<std::size_t>(c)]];
      r[c][0] = v.x - p[0], r[c][1] = v.y - p[1], r[c][2] = v.z - p[2];
      length[c] = std::sqrt(r[c][0] * r[c][0] + r[c][1] * r[c][1] + r[c][2] * r[c][2]);
    }
    const auto dot = [&](int a, int b) {
      return r[a][0] * r[b][0] + r[a][1] * r[b][1] + r[a][2] * r[b][2];
    };
    const double triple = r[0][0] * (r[1][1] * r[2][2] - r[1][2] * r[2][1]) -
                          r[0][1] * (r[1][0] * r[2][2] - r[1][2] * r[2][0]) +
                          r[0][2] * (r[1][0] * r[2][1] - r[1][1] * r[2][0]);
    sum += 2 * std::atan2(triple, length[0] * length[1] * length[2] + dot(0, 1) * length[2] +
                                      dot(1, 2) * length[0] + dot(2, 0) * length[1]);
  }
  return sum / (4 * 3.14159265358979323846);
}

// What the voxels say each label's mesh holds: per pair of labels, the
// faces between them (two triangles per pair of neighbouring voxels), and
// per label its caps on the volume's faces.
struct Counted {
  std::map<std::pair<double, double>, std::size_t> between;
  std::map<double, std::size_t> caps;
};

Counted counted(const Map& m) {
  Counted c;
  const auto& d = m.header.geometry.dims;
  for (std::int64_t k = 0; k < d[2]; ++k) {
    for (std::int64_t j = 0; j < d[1]; ++j) {
      for (std::int64_t i = 0; i < d[0]; ++i) {
        const double a = m.at(i, j, k);
        const std::int64_t at[3] = {i, j, k};
        for (int axis = 0; axis < 3; ++axis) {
          if (a != 0) c.caps[a] += 2 * ((at[axis] == 0) + (at[axis] == d[axis] - 1));
          if (at[axis] + 1 == d[axis]) continue;
          const double b = m.at(i + (axis == 0), j + (axis == 1), k + (axis == 2));
          if (a != b) c.between[{std::min(a, b), std::max(a, b)}] += 2;
        }
      }
    }
  }
  return c;
}

// Per surface and vertex, the position and the labels sharing it.
using Shared = std::map<Position, std::set<std::int64_t>>;

void checkTiling(const Map& m, const std::vector<LabelSurface>& surfaces,
                 const std::string& where) {
  const Counted expected = counted(m);
  // Every oriented face once in all meshes together.
  std::map<Face, std::int64_t> owner;
  for (const LabelSurface& s : surfaces) {
    EXPECT_GT(signedVolume6(s.mesh.vertices, s.mesh.faces), 0) << where << ", " << s.label;
    std::map<std::pair<Position, Position>, int> directed;
    for (const auto& f : s.mesh.faces) {
      const auto [at, added] = owner.emplace(face(s.mesh, f, false), s.label);
      EXPECT_TRUE(added) << where << ": a face of label " << s.label << " is also label "
                         << at->second << "'s";
      for (int c = 0; c < 3; ++c) {
        ++directed[{position(s.mesh.vertices[f[static_cast<std::size_t>(c)]]),
                    position(s.mesh.vertices[f[static_cast<std::size_t>((c + 1) % 3)]])}];
      }
    }
    // Closed and consistently wound: each edge run as often each way.
    for (const auto& [edge, times] : directed) {
      const auto back = directed.find({edge.second, edge.first});
      ASSERT_TRUE(back != directed.end() && back->second == times) << where << ", " << s.label;
    }
  }
  // Each face between labels a and b is a's and, reversed, b's; the others
  // face label 0 or the outside.
  std::map<std::pair<double, double>, std::size_t> between;
  std::map<double, std::size_t> alone;
  for (const LabelSurface& s : surfaces) {
    for (const auto& f : s.mesh.faces) {
      const auto other = owner.find(face(s.mesh, f, true));
      const double a = static_cast<double>(s.label);
      if (other == owner.end()) {
        ++alone[a];
      } else if (s.label < other->second) {
        between[{a, static_cast<double>(other->second)}] += 1;
      }
    }
  }
  for (const auto& [pair, faces] : expected.between) {
    if (pair.first != 0) {
      EXPECT_EQ(between[pair], faces) << where << ": " << pair.first << "|" << pair.second;
    }
  }
  EXPECT_EQ(between.size(), expected.between.size() - alone.size()) << where;
  for (const LabelSurface& s : surfaces) {
    const auto a = static_cast<double>(s.label);
    const auto toZero = expected.between.find({0.0, a});
    const auto caps = expected.caps.find(a);
    EXPECT_EQ(alone[a], (toZero == expected.between.end() ? 0 : toZero->second) +
                            (caps == expected.caps.end() ? 0 : caps->second))
        << where << ", " << s.label;
  }
  // No gap, no overlap: each voxel inside its label's mesh and no other.
  const VolumeGeometry& g = m.header.geometry;
  for (std::int64_t k = 1; k + 1 < g.dims[2]; ++k) {
    for (std::int64_t j = 1; j + 1 < g.dims[1]; ++j) {
      for (std::int64_t i = 1; i + 1 < g.dims[0]; ++i) {
        double p[3];
        for (int b = 0; b < 3; ++b)
          p[b] = g.origin[b] + i * g.axes[0][b] + j * g.axes[1][b] + k * g.axes[2][b];
        for (const LabelSurface& s : surfaces) {
          const double inside = static_cast<double>(s.label) == m.at(i, j, k) ? 1 : 0;
          ASSERT_NEAR(winding(s.mesh, p), inside, 1e-6)
              << where << ": voxel (" << i << ", " << j << ", " << k << "), label " << s.label;
        }
      }
    }
  }
}

std::vector<LabelSurface> conforming(const Map& m, int smooth, bool interfaces = false) {
  InMemoryVolume reader(m.header, copyOf(m.values));
  SurfaceReport report;
  return conformingLabelSurfaces(reader, {}, SurfaceOptions{}, smooth, 0.1, interfaces, report);
}

// One surface per pair of touching labels: as many faces as the voxels
// say, and together, per label, the label's own faces.
void checkInterfaces(const Map& m, const std::vector<LabelSurface>& labels,
                     const std::vector<LabelSurface>& interfaces) {
  const Counted expected = counted(m);
  std::map<std::int64_t, std::multiset<Face>> joined;
  ASSERT_EQ(interfaces.size(), expected.between.size()) << m.name;
  for (const LabelSurface& s : interfaces) {
    ASSERT_TRUE(s.beyond.has_value()) << m.name;
    const auto a = static_cast<double>(s.label), b = static_cast<double>(*s.beyond);
    const auto caps = expected.caps.find(a);
    EXPECT_EQ(s.mesh.faces.size(), expected.between.at({std::min(a, b), std::max(a, b)}) +
                                       (b == 0 && caps != expected.caps.end() ? caps->second : 0))
        << m.name << ": " << a << "|" << b;
    EXPECT_TRUE(b == 0 || a < b) << m.name;
    for (const auto& f : s.mesh.faces) {
      joined[s.label].insert(face(s.mesh, f, false));
      if (*s.beyond != 0) joined[*s.beyond].insert(face(s.mesh, f, true));
    }
  }
  for (const LabelSurface& s : labels) {
    std::multiset<Face> own;
    for (const auto& f : s.mesh.faces) own.insert(face(s.mesh, f, false));
    EXPECT_EQ(own, joined[s.label]) << m.name << ", label " << s.label;
  }
}

}  // namespace

TEST(ConformingLabels, InterfacesSharedAndJoinedWhenSmoothed) {
  for (const Map& m : maps()) {
    const std::vector<LabelSurface> raw = conforming(m, 0);
    checkTiling(m, raw, m.name);
    const std::vector<LabelSurface> smoothed = conforming(m, 20);
    checkTiling(m, smoothed, m.name + ", smoothed");
    checkInterfaces(m, raw, conforming(m, 0, true));
    checkInterfaces(m, smoothed, conforming(m, 20, true));
    ASSERT_EQ(raw.size(), smoothed.size());
    // Smoothing moves vertices, not faces: vertex v of a label is the same
    // one before and after. Those the labels shared they still share, those
    // on the volume's faces stay on them, and where four labels meet they
    // stay.
    const VolumeGeometry& g = m.header.geometry;
    const BoxFaces box = boxFaces({}, g);
    std::map<Position, Position> moved;
    Shared sharing;
    double furthest = 0;
    for (std::size_t s = 0; s < raw.size(); ++s) {
      ASSERT_EQ(raw[s].mesh.faces, smoothed[s].mesh.faces) << m.name;
      for (std::size_t v = 0; v < raw[s].mesh.vertices.size(); ++v) {
        const Point3 &from = raw[s].mesh.vertices[v], &to = smoothed[s].mesh.vertices[v];
        const auto [at, added] = moved.emplace(position(from), position(to));
        EXPECT_EQ(at->second, position(to)) << m.name << ": a shared vertex moved apart";
        sharing[position(from)].insert(raw[s].label);
        double a[3], b[3];
        indexCoordinates(box, g, from, a);
        indexCoordinates(box, g, to, b);
        furthest = std::max(
            furthest, std::fabs(a[0] - b[0]) + std::fabs(a[1] - b[1]) + std::fabs(a[2] - b[2]));
        for (int axis = 0; axis < 3; ++axis) {
          EXPECT_TRUE(a[axis] > -1e-4 && a[axis] < g.dims[axis] - 1 + 1e-4)
              << m.name << ": a vertex outside the volume";
          for (const double end : {0.0, static_cast<double>(g.dims[axis] - 1)}) {
            if (std::fabs(a[axis] - end) < 1e-4) {
              EXPECT_NEAR(b[axis], end, 1e-4) << m.name << ": a vertex left the volume's face";
            }
          }
        }
      }
    }
    for (const auto& [from, labels] : sharing) {
      if (labels.size() >= 4) {
        EXPECT_EQ(moved[from], from) << m.name << ": a corner moved";
      }
    }
    EXPECT_GT(furthest, 0.05) << m.name << ": smoothing moved nothing";
  }
}

#include "mesh/volume/volume_extract.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "mesh/distributed/volume_piece.h"
#include "mesh/pipeline/streamed_surface.h"
#include "mesh/pipeline/surface_pipeline.h"
#include "mesh/surface/weld.h"
#include "mesh/volume/volume_caps.h"
#include "mesh/volume/volume_lattice.h"
#include "mesh/volume/volume_normals.h"
#include "mesh/volume/volume_weld.h"
#include "tests/mesh/literal_volume.h"
#include "tests/mesh/mesh_checks.h"
#include "tests/mesh/oracles/boundary_cells.h"
#include "tests/mesh/oracles/weld_by_edge.h"
#include "volume/array_volume.h"
#include "volume/in_memory_volume.h"

using namespace mcubes::internal;

namespace {

struct TestVolume {
  std::string name;
  VolumeGeometry geometry;
  std::vector<double> values;
  double iso;
  Inside inside = Inside::Above;
};

VolumeGeometry box(std::int64_t nx, std::int64_t ny, std::int64_t nz) {
  VolumeGeometry g{};
  g.dims[0] = nx;
  g.dims[1] = ny;
  g.dims[2] = nz;
  for (int a = 0; a < 3; ++a) g.axes[a][a] = 1.0;
  return g;
}

TestVolume sampled(std::string name, VolumeGeometry g, double iso,
                   const std::function<double(double, double, double)>& f) {
  TestVolume v{std::move(name), g, {}, iso};
  for (std::int64_t k = 0; k < g.dims[2]; ++k) {
    for (std::int64_t j = 0; j < g.dims[1]; ++j) {
      for (std::int64_t i = 0; i < g.dims[0]; ++i) {
        v.values.push_back(
            f(static_cast<double>(i), static_cast<double>(j), static_cast<double>(k)));
      }
    }
  }
  return v;
}

// A bright ball: values fall from `peak` at the centre, below the iso level
// outside.
double brightBall(double x, double y, double z, double cx, double cy, double cz) {
  return 10.0 - std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy) + (z - cz) * (z - cz));
}

std::vector<TestVolume> volumes() {
  std::vector<TestVolume> all;
  // Spacing, origin and a ball that leaves the volume through two faces.
  VolumeGeometry spaced = box(23, 17, 13);
  spaced.origin[0] = -3.25;
  spaced.origin[1] = 100.125;
  spaced.origin[2] = 0.1;
  spaced.axes[0][0] = 0.7;
  spaced.axes[1][1] = 1.3;
  spaced.axes[2][2] = 0.3;
  all.push_back(sampled("ball", spaced, 4.5, [](double x, double y, double z) {
    return brightBall(x, y, z, 14.2, 8.5, 3.3);
  }));
  // Sheared axes with a negative determinant (a mirrored lattice).
  VolumeGeometry sheared = box(15, 16, 14);
  const double axes[3][3] = {{0.9, 0.2, -0.1}, {0.0, -1.1, 0.3}, {0.15, 0.05, 0.8}};
  std::memcpy(sheared.axes, axes, sizeof axes);
  sheared.origin[0] = 7.0;
  all.push_back(sampled("sheared waves", sheared, 0.1, [](double x, double y, double z) {
    return std::sin(0.7 * x) * std::cos(0.5 * y) + std::sin(0.4 * z + 0.3 * x);
  }));
  // Axes along the world's but permuted, one reversed: i along y, j along
  // z, k along -x.
  VolumeGeometry permuted = box(17, 12, 10);
  const double turned[3][3] = {{0, 0.5, 0}, {0, 0, 2}, {-1.5, 0, 0}};
  std::memcpy(permuted.axes, turned, sizeof turned);
  permuted.origin[1] = -4;
  all.push_back(sampled("permuted axes", permuted, 0.2, [](double x, double y, double z) {
    return std::sin(0.5 * x) * std::cos(0.8 * y) + std::cos(0.6 * z);
  }));
  // A wide ball: long rows wholly on one side, trimmed before the cases.
  all.push_back(sampled("wide ball", box(150, 9, 8), 2.0, [](double x, double y, double z) {
    return brightBall(x / 8, y, z, 9.1, 4.2, 3.6) - 3.5;
  }));
  // Noise: nearly every cell is crossed, every case occurs.
  std::uint64_t state = 12345;
  all.push_back(sampled("noise", box(19, 11, 9), 0.5, [&](double, double, double) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(state >> 11) / 9007199254740992.0;
  }));
  // Integers with the iso level on voxel values: the vertices of their
  // edges lie on those voxels.
  all.push_back(
      sampled("integers on the level", box(12, 13, 11), 3.0, [](double x, double y, double z) {
        return std::floor(std::fmod(x * 3 + y * 5 + z * 7, 7.0));
      }));
  // The same on permuted axes, as numpy's index order gives: vertices on
  // voxels merged by their lattice point there too.
  all.push_back(sampled("integers on the level, permuted axes", permuted, 3.0,
                        [](double x, double y, double z) {
                          return std::floor(std::fmod(x * 3 + y * 5 + z * 7, 7.0));
                        }));
  // Differences far below the demo's snap tolerance (1e-5): interpolated
  // all the same.
  all.push_back(sampled("tiny values", box(14, 9, 10), 2e-6, [](double x, double y, double z) {
    return 1e-5 * std::sin(0.9 * x + 0.4 * y) * std::cos(0.6 * z);
  }));
  // The inside below the level: a signed distance field (negative inside)
  // of a ball that leaves the volume through a face, closed by caps there;
  // and the sheared, mirrored waves.
  TestVolume distance = sampled(
      "signed distance, inside below", spaced, -0.75,
      [](double x, double y, double z) { return -brightBall(x, y, z, 15.5, 3.2, 6.1) + 4.0; });
  distance.inside = Inside::Below;
  all.push_back(distance);
  TestVolume belowWaves =
      sampled("sheared waves, inside below", sheared, 0.3, [](double x, double y, double z) {
        return std::sin(0.6 * x) * std::cos(0.45 * y) + std::sin(0.35 * z + 0.3 * x);
      });
  belowWaves.inside = Inside::Below;
  all.push_back(belowWaves);
  // Voxels that are not finite count as below every level, like the layer
  // outside the volume: in a ball each is closed off by a small surface of
  // its own. Every 97th voxel of a ball inside the volume, and of a ball
  // that leaves it through three faces every 23rd on a face or two voxels
  // or more inside: never two beside one voxel (two apart, or across the
  // diagonal of a lattice square), nor one next to a face, where the
  // surface can touch itself (it passes through the voxel between them from
  // both sides).
  const double bad[] = {std::nan(""), INFINITY, -INFINITY, std::nan("")};
  const auto spoil = [&](TestVolume volume, std::int64_t stride) {
    const auto& d = volume.geometry.dims;
    for (std::int64_t v = 0, n = 0; v < static_cast<std::int64_t>(volume.values.size());
         v += stride) {
      const std::int64_t at[3] = {v % d[0], v / d[0] % d[1], v / (d[0] * d[1])};
      bool nextToAFace = false;
      for (int a = 0; a < 3; ++a) nextToAFace = nextToAFace || at[a] == 1 || at[a] == d[a] - 2;
      if (!nextToAFace) volume.values[static_cast<std::size_t>(v)] = bad[n++ % 4];
    }
    return volume;
  };
  all.push_back(
      spoil(sampled("NaN and infinities", box(16, 15, 14), 4.0,
                    [](double x, double y, double z) { return brightBall(x, y, z, 7, 7, 7); }),
            97));
  all.push_back(spoil(
      sampled("NaN and infinities on the faces", box(13, 12, 11), 2.5,
              [](double x, double y, double z) { return brightBall(x, y, z, 2.2, 1.7, 9.4); }),
      23));
  // The smallest volume with a cell, and one with none.
  all.push_back(sampled("one cell", box(2, 2, 2), 0.5,
                        [](double x, double y, double z) { return x + 0.25 * y - 0.5 * z; }));
  all.push_back(sampled("flat", box(5, 4, 1), 0.5, [](double x, double, double) { return x; }));
  return all;
}

bool sameFindings(const VolumeFindings& a, const VolumeFindings& b) {
  return a.cells == b.cells && a.nonFiniteVoxels == b.nonFiniteVoxels && a.least == b.least &&
         a.most == b.most && a.levelOnVoxels == b.levelOnVoxels;
}

// The row classifiers this CPU can run.
std::vector<VectorUnit> availableUnits() {
  std::vector<VectorUnit> units = {VectorUnit::Baseline};
  if (vectorUnitAvailable(VectorUnit::Avx2)) units.push_back(VectorUnit::Avx2);
  return units;
}

// The volume's surface from its values in memory, or streamed through a
// reader of them.
ExtractedSurface extracted(const TestVolume& volume, const VolumeExtractionSettings& settings,
                           bool streamed, VolumeFindings& findings) {
  ExtractedSurface surface;
  if (streamed) {
    VolumeHeader header{};
    header.geometry = volume.geometry;
    InMemoryVolume reader(header, copyOf(volume.values));
    surface = extractVolume(reader, settings, findings);
  } else {
    extractVolumeInto(volume.geometry, volume.values.data(), settings, surface, findings);
  }
  return surface;
}

}  // namespace

TEST(ExtractVolume, MatchesTheLiteralPipelineInMemoryAndStreamedAtAnyThreadCount) {
  for (const TestVolume& volume : volumes()) {
    const std::vector<Triangle> expected =
        literalVolumeExtraction(volume.geometry, volume.values.data(), volume.iso, volume.inside);
    if (volume.geometry.dims[2] > 2) {
      EXPECT_GT(expected.size(), 50u) << volume.name;
    }
    VolumeExtractionSettings settings;
    settings.isoLevel = volume.iso;
    settings.inside = volume.inside;
    settings.edgeKeys = true;
    ExtractedSurface single;
    VolumeFindings found;
    for (const VectorUnit unit : availableUnits()) {
      settings.vectorUnit = unit;
      extractVolumeInto(volume.geometry, volume.values.data(), settings, single, found);
      EXPECT_TRUE(sameTriangles(expected, single.triangles))
          << volume.name << ", unit " << static_cast<int>(unit);
      EXPECT_EQ(single.edges.size(), single.triangles.size());
    }

    for (const int threads : {2, 3, 7}) {
      for (const bool streamed : {false, true}) {
        settings.threads = threads;
        // Slabs of one to a few layers, so that slices are kept and read
        // again across slabs.
        settings.sliceMemory = static_cast<std::int64_t>(sizeof(double)) * volume.geometry.dims[0] *
                               volume.geometry.dims[1] * (threads + 1);
        VolumeFindings findings;
        const ExtractedSurface surface = extracted(volume, settings, streamed, findings);
        const std::string context = volume.name + ", " + std::to_string(threads) +
                                    (streamed ? " threads, streamed" : " threads");
        EXPECT_TRUE(sameTriangles(expected, surface.triangles)) << context;
        EXPECT_EQ(single.edges, surface.edges) << context;
        EXPECT_TRUE(sameFindings(found, findings)) << context;
      }
    }
  }
}

TEST(ExtractVolume, FindsTheRangeTheNonFiniteVoxelsAndTheLevelOnVoxels) {
  for (const TestVolume& volume : volumes()) {
    VolumeFindings expected;
    const auto& d = volume.geometry.dims;
    expected.cells = (d[0] - 1) * (d[1] - 1) * (d[2] - 1);
    for (const double v : volume.values) {
      if (!std::isfinite(v)) {
        ++expected.nonFiniteVoxels;
        continue;
      }
      expected.least = std::min(expected.least, v);
      expected.most = std::max(expected.most, v);
    }
    VolumeExtractionSettings settings;
    settings.isoLevel = volume.iso;
    settings.inside = volume.inside;
    ExtractedSurface surface;
    VolumeFindings found;
    for (const VectorUnit unit : availableUnits()) {
      settings.vectorUnit = unit;
      extractVolumeInto(volume.geometry, volume.values.data(), settings, surface, found);
      const std::string context = volume.name + ", unit " + std::to_string(static_cast<int>(unit));
      EXPECT_EQ(found.cells, expected.cells) << context;
      if (expected.cells == 0) break;
      EXPECT_EQ(found.nonFiniteVoxels, expected.nonFiniteVoxels) << context;
      EXPECT_EQ(found.least, expected.least) << context;
      EXPECT_EQ(found.most, expected.most) << context;
    }
    if (expected.cells == 0) continue;
    // Every voxel on the level here ends a crossed edge.
    const bool onLevel =
        std::find(volume.values.begin(), volume.values.end(), volume.iso) != volume.values.end();
    EXPECT_EQ(found.levelOnVoxels > 0, onLevel) << volume.name;
  }
}

TEST(ExtractVolume, NormalsAreUnitPointTowardLowerValuesAndAgreeWithTheWinding) {
  // A bright ball in a plain and in a mirrored, sheared lattice: the normals
  // point away from the centre in world space.
  for (const bool mirrored : {false, true}) {
    VolumeGeometry g = box(24, 22, 20);
    if (mirrored) {
      const double axes[3][3] = {{0.9, 0.1, 0.0}, {0.0, -1.0, 0.2}, {0.1, 0.0, 1.1}};
      std::memcpy(g.axes, axes, sizeof axes);
    }
    const TestVolume volume = sampled("ball", g, 3.0, [](double x, double y, double z) {
      return brightBall(x, y, z, 11.5, 10.8, 9.6);
    });
    const auto world = [&](int d) {
      return g.origin[d] + 11.5 * g.axes[0][d] + 10.8 * g.axes[1][d] + 9.6 * g.axes[2][d];
    };
    VolumeExtractionSettings settings;
    settings.isoLevel = volume.iso;
    settings.inside = volume.inside;
    settings.normals = true;
    ExtractedSurface surface;
    VolumeFindings findings;
    extractVolumeInto(g, volume.values.data(), settings, surface, findings);
    ASSERT_EQ(surface.normals.size(), surface.triangles.size());
    ASSERT_GT(surface.triangles.size(), 100u);
    for (std::size_t t = 0; t < surface.triangles.size(); ++t) {
      const Triangle& tri = surface.triangles[t];
      // The drawn order is counter-clockwise seen from above the level, so
      // the face normal by the right-hand rule points inward, against the
      // vertex normals, unless the lattice is mirrored.
      const Point3 &p = tri.vertices[0], &q = tri.vertices[1], &r = tri.vertices[2];
      const double u[3] = {q.x - p.x, q.y - p.y, q.z - p.z};
      const double v[3] = {r.x - p.x, r.y - p.y, r.z - p.z};
      const double face[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                              u[0] * v[1] - u[1] * v[0]};
      for (int c = 0; c < 3; ++c) {
        const Point3& n = surface.normals[t][c];
        const Point3& at = tri.vertices[c];
        const double radial[3] = {at.x - world(0), at.y - world(1), at.z - world(2)};
        const double radialLength =
            std::sqrt(radial[0] * radial[0] + radial[1] * radial[1] + radial[2] * radial[2]);
        EXPECT_NEAR(std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z), 1.0, 1e-6);
        EXPECT_GT((n.x * radial[0] + n.y * radial[1] + n.z * radial[2]) / radialLength, 0.95)
            << t << (mirrored ? " mirrored" : "");
        const double agreement = n.x * face[0] + n.y * face[1] + n.z * face[2];
        EXPECT_TRUE(mirrored ? agreement > 0 : agreement < 0) << t;
      }
    }
    // The pipeline turns the faces outward in world space, welded or not:
    // by the right-hand rule they point the way their vertices' normals do.
    for (const bool welded : {true, false}) {
      SurfaceOptions options;
      options.isoLevel = volume.iso;
      options.inside = volume.inside;
      options.normals = true;
      options.welded = welded;
      SurfaceReport report;
      const IndexedMesh mesh = volumeSurface(g, volume.values.data(), options, report);
      ASSERT_GT(mesh.faces.size(), 100u);
      for (const auto& f : mesh.faces) {
        const Point3 &p = mesh.vertices[f[0]], &q = mesh.vertices[f[1]], &r = mesh.vertices[f[2]];
        const double u[3] = {q.x - p.x, q.y - p.y, q.z - p.z};
        const double v[3] = {r.x - p.x, r.y - p.y, r.z - p.z};
        const double face[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                                u[0] * v[1] - u[1] * v[0]};
        for (const std::uint32_t corner : f) {
          const Point3& n = mesh.normals[corner];
          EXPECT_GT(n.x * face[0] + n.y * face[1] + n.z * face[2], 0)
              << (welded ? "welded" : "unwelded") << (mirrored ? ", mirrored" : "");
        }
      }
    }
  }
}

// The faces' values come back as recorded, whether every one is a byte
// (held as bytes), or one is not but every one is a float, or one is not
// (held wider from then on, those before included), and travel to another
// boundary unchanged; -0 keeps its sign.
TEST(ExtractVolume, TheBoundaryHoldsTheFacesValuesExactly) {
  const std::int64_t dims[3] = {4, 3, 5};
  const double notFloat = 0.1, huge = 1e300, infinite = -std::numeric_limits<double>::infinity();
  for (const double odd : {255.0, 256.0, -1.0, -0.0, 2.5, notFloat, huge, infinite}) {
    SCOPED_TRACE(odd);
    const auto valueAt = [&](std::int64_t i, std::int64_t j, std::int64_t k) {
      // The odd value in the middle slice, after bytes.
      return i == 1 && j == 0 && k == 2 ? odd : static_cast<double>(i + 10 * j + 50 * k);
    };
    VolumeBoundary boundary(dims);
    for (std::int64_t k = 0; k < dims[2]; ++k) {
      std::vector<double> slice;
      for (std::int64_t j = 0; j < dims[1]; ++j) {
        for (std::int64_t i = 0; i < dims[0]; ++i) slice.push_back(valueAt(i, j, k));
      }
      boundary.record(k, slice.data());
    }
    VolumeBoundary copied(dims);
    copied.recordSlices(0, dims[2] - 1, boundary.slices(0, dims[2] - 1));
    for (std::int64_t k = 0; k < dims[2]; ++k) {
      for (std::int64_t j = 0; j < dims[1]; ++j) {
        for (std::int64_t i = 0; i < dims[0]; ++i) {
          const bool onFace = i == 0 || j == 0 || k == 0 || i == dims[0] - 1 || j == dims[1] - 1 ||
                              k == dims[2] - 1;
          if (!onFace) continue;
          for (const VolumeBoundary* held : {&boundary, &copied}) {
            const double value = held->value(i, j, k);
            EXPECT_EQ(value, valueAt(i, j, k)) << i << " " << j << " " << k;
            EXPECT_EQ(std::signbit(value), std::signbit(valueAt(i, j, k)));
          }
        }
      }
    }
    EXPECT_TRUE(boundary.holds(odd));
  }
}

// The normals the sweep keeps per lattice point are, bit for bit, those of
// each crossed edge's ends' gradients taken afresh (central differences
// written out here, one-sided at the faces and beside values that are not
// finite), in every test volume, in memory and streamed, on 1 to 3 threads.
TEST(ExtractVolume, NormalsAreThoseOfTheGradientsAtEachEdgesEnds) {
  for (const TestVolume& volume : volumes()) {
    const std::int64_t(&d)[3] = volume.geometry.dims;
    LatticeOptions options;
    options.iso = volume.iso;
    options.inside = volume.inside;
    options.normals = true;
    const Lattice lattice = makeLattice(volume.geometry, options);
    const auto value = [&](const std::int64_t(&p)[3]) {
      return volume.values[static_cast<std::size_t>((p[2] * d[1] + p[1]) * d[0] + p[0])];
    };
    const auto gradient = [&](const std::int64_t(&p)[3], double(&g)[3]) {
      for (int axis = 0; axis < 3; ++axis) {
        std::int64_t low[3] = {p[0], p[1], p[2]}, high[3] = {p[0], p[1], p[2]};
        --low[axis];
        ++high[axis];
        if (p[axis] == 0 || !std::isfinite(value(low))) ++low[axis];
        if (p[axis] + 1 == d[axis] || !std::isfinite(value(high))) --high[axis];
        const auto span = static_cast<double>(high[axis] - low[axis]);
        g[axis] = span > 0 ? (value(high) - value(low)) / span : 0.0;
      }
    };
    std::vector<std::array<Point3, 3>> expected;
    const std::vector<Triangle> triangles = literalVolumeExtraction(
        volume.geometry, volume.values.data(), volume.iso, volume.inside, &expected,
        [&](const std::int64_t(&pa)[3], const std::int64_t(&pb)[3], double va, double vb, Point3 wa,
            Point3 wb) {
          double ga[3] = {0, 0, 0}, gb[3] = {0, 0, 0};
          if (std::isfinite(va)) gradient(pa, ga);
          if (std::isfinite(vb)) gradient(pb, gb);
          const double t = lattice.iso == va   ? 0.0
                           : lattice.iso == vb ? 1.0
                           : va == vb          ? 0.0
                                               : (lattice.iso - va) / (vb - va);
          return edgeNormal(lattice, ga, gb, va, vb, t, wa, wb);
        });
    VolumeExtractionSettings settings;
    settings.isoLevel = volume.iso;
    settings.inside = volume.inside;
    settings.normals = true;
    for (const int threads : {1, 2, 3}) {
      for (const bool streamed : {false, true}) {
        settings.threads = threads;
        settings.sliceMemory = static_cast<std::int64_t>(sizeof(double)) * d[0] * d[1] * 4;
        VolumeFindings findings;
        const ExtractedSurface surface = extracted(volume, settings, streamed, findings);
        const std::string context =
            volume.name + ", " + std::to_string(threads) + (streamed ? " threads, streamed" : "");
        ASSERT_TRUE(sameTriangles(triangles, surface.triangles)) << context;
        ASSERT_EQ(surface.normals.size(), expected.size()) << context;
        for (std::size_t t = 0; t < expected.size(); ++t) {
          ASSERT_EQ(std::memcmp(&surface.normals[t], &expected[t], sizeof expected[t]), 0)
              << context << ", triangle " << t;
        }
      }
    }
  }
}

TEST(ExtractVolume, WeldedWithTheBoundaryCellsAndMergedItIsClosed) {
  // Balls leave the volume through one face; waves and noise through every
  // face and across the box's edges and corners. The integers put the level
  // on voxel values, where the surface can touch itself.
  int closed = 0;
  for (const TestVolume& volume : volumes()) {
    if (volume.geometry.dims[2] < 2) continue;
    VolumeExtractionSettings settings;
    settings.isoLevel = volume.iso;
    settings.inside = volume.inside;
    settings.edgeKeys = true;
    settings.sliceMemory = 3 * 8 * volume.geometry.dims[0] * volume.geometry.dims[1];
    VolumeHeader header{};
    header.geometry = volume.geometry;
    InMemoryVolume reader(header, copyOf(volume.values));
    VolumeFindings findings;
    VolumeBoundary boundary(volume.geometry.dims);
    ExtractedSurface surface = extractVolume(reader, settings, findings, {}, &boundary);
    const std::size_t extracted = surface.triangles.size();
    appendBoundaryCells(volume.geometry, boundary, volume.iso, false, surface, volume.inside);
    const IndexedMesh mesh = mergedByPosition(weldSurface(surface));
    // Where vertices lie on voxels (the level on their values) the surface
    // can touch itself, as the user is warned; nowhere else.
    if (findings.levelOnVoxels == 0) {
      EXPECT_TRUE(closedAndConsistent(mesh.faces)) << volume.name;
      ++closed;
    }
    // Outward in index space: a positive volume where the axes keep their
    // handedness, negative where they mirror it; at most the whole box.
    const double volume6 = signedVolume6(mesh.vertices, mesh.faces);
    const double(&m)[3][3] = volume.geometry.axes;
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    const auto& d = volume.geometry.dims;
    const double box = std::fabs(det) * static_cast<double>((d[0] - 1) * (d[1] - 1) * (d[2] - 1));
    EXPECT_GT(det > 0 ? volume6 : -volume6, 0) << volume.name;
    EXPECT_LE(std::fabs(volume6) / 6, box * (1 + 1e-6)) << volume.name;
    EXPECT_GE(surface.triangles.size(), extracted) << volume.name;
  }
  EXPECT_GE(closed, 5);
}

// Welded as the sweep goes, joined from parts of any size and thread count,
// closed and merged, the mesh is the soup welded by edge key with the
// boundary cells and merged by position: the same vertices in the same
// order, bit for bit, and the same faces.
TEST(ExtractVolume, WeldedAsItSweepsItIsTheSoupWeldedByEdge) {
  for (const TestVolume& volume : volumes()) {
    const VolumeGeometry& g = volume.geometry;
    VolumeHeader header{};
    header.geometry = g;
    VolumeExtractionSettings settings;
    settings.isoLevel = volume.iso;
    settings.inside = volume.inside;
    settings.edgeKeys = true;
    settings.normals = true;
    InMemoryVolume soupReader(header, copyOf(volume.values));
    VolumeFindings findings;
    VolumeBoundary boundary(g.dims);
    ExtractedSurface soup = extractVolume(soupReader, settings, findings, {}, &boundary);
    if (findings.cells > 0) appendBoundaryCells(g, boundary, volume.iso, true, soup, volume.inside);
    const IndexedMesh expected = mergedByPosition(weldSurface(soup));

    settings.edgeKeys = false;
    for (const int threads : {1, 2, 3, 7}) {
      const std::string context = volume.name + ", " + std::to_string(threads) + " threads";
      // Slabs of a few layers: parts meet across slabs and threads.
      settings.threads = threads;
      settings.sliceMemory = 8 * g.dims[0] * g.dims[1] * (threads + 3);
      InMemoryVolume reader(header, copyOf(volume.values));
      VolumeWeld weld;
      VolumeBoundary faces(g.dims);
      VolumeFindings found;
      weldVolume(reader, settings, weld, found, {}, &faces);
      // Vertices the layer before made are not made again, but counted.
      EXPECT_TRUE(sameFindings(findings, found)) << context;
      WeldedPart part = weld.take();
      IndexedMesh streamed = closeAndMerge(
          g, part, {found.cells > 0 ? &faces : nullptr, volume.iso, volume.inside, {}},
          {true, false, true});
      if (isMirrored(g)) reverseFaces(streamed);
      EXPECT_TRUE(sameMesh(expected, streamed)) << context << ", streamed";

      SurfaceOptions options;
      options.isoLevel = volume.iso;
      options.inside = volume.inside;
      options.threads = threads;
      options.normals = true;
      SurfaceReport report;
      IndexedMesh inMemory = volumeSurface(g, volume.values.data(), options, report);
      if (isMirrored(g)) reverseFaces(inMemory);
      EXPECT_TRUE(sameMesh(expected, inMemory)) << context << ", in memory";
      // Closed around the voxels that are not finite, on any thread count.
      if (volume.name.rfind("NaN", 0) == 0) {
        EXPECT_GT(report.findings.nonFiniteVoxels, 0) << context;
        EXPECT_TRUE(closedAndConsistent(inMemory.faces)) << context;
      }
    }
  }
}

// A surface streamed as it is made, held whole again: its faces name their
// corners' positions as the mesh's vertices they number.
class HeldStream : public SurfaceStream {
 public:
  void vertex(const Point3& position, const Point3& normal) override {
    mesh.vertices.push_back(position);
    mesh.normals.push_back(normal);
  }
  void face(const std::array<std::uint32_t, 3>& face, const Point3& p, const Point3& q,
            const Point3& r) override {
    const Point3* corners[3] = {&p, &q, &r};
    for (int v = 0; v < 3; ++v) {
      cornersAgree = cornersAgree && face[v] < mesh.vertices.size() &&
                     std::memcmp(&mesh.vertices[face[v]], corners[v], sizeof(Point3)) == 0;
    }
    mesh.faces.push_back(face);
  }
  IndexedMesh mesh;
  bool cornersAgree = true;
};

// Streamed slab by slab, on any thread count, closed or open, snapped
// vertices merged or not, the surface is the mesh volumeSurface builds whole:
// the same vertices in the same order, bit for bit, normals and faces, and
// the same findings. Where snapped vertices merge by position (a lattice
// whose points may meet elsewhere) it is not streamed.
TEST(ExtractVolume, StreamedItIsTheMeshBuiltWhole) {
  const struct {
    bool closed, merge, normals;
  } variants[] = {
      {true, true, false}, {true, true, true}, {false, true, false}, {true, false, true}};
  int streamed = 0;
  for (const TestVolume& volume : volumes()) {
    const VolumeGeometry& g = volume.geometry;
    VolumeHeader header{};
    header.geometry = g;
    for (const auto& variant : variants) {
      SurfaceOptions options;
      options.isoLevel = volume.iso;
      options.inside = volume.inside;
      options.closed = variant.closed;
      options.mergeSnapped = variant.merge;
      options.normals = variant.normals;
      const bool aligned = makeLattice(g, {}).distinctPoints;
      EXPECT_EQ(streamsSurface(g, options), aligned || !variant.merge) << volume.name;
      if (!streamsSurface(g, options)) continue;
      for (const int threads : {1, 2, 3}) {
        const std::string context = volume.name + ", " + std::to_string(threads) + " threads, " +
                                    (variant.closed ? "closed" : "open") +
                                    (variant.merge ? ", merged" : "") +
                                    (variant.normals ? ", normals" : "");
        options.threads = threads;
        options.sliceMemory = 8 * g.dims[0] * g.dims[1] * (threads + 2);
        InMemoryVolume whole(header, copyOf(volume.values));
        SurfaceReport expected;
        const IndexedMesh built = volumeSurface(whole, options, expected);
        InMemoryVolume reader(header, copyOf(volume.values));
        SurfaceReport report;
        HeldStream held;
        streamSurface(reader, options, report, held);
        if (!variant.normals) held.mesh.normals.clear();
        EXPECT_TRUE(sameMesh(built, held.mesh)) << context;
        EXPECT_TRUE(held.cornersAgree) << context;
        EXPECT_TRUE(sameFindings(expected.findings, report.findings)) << context;
        EXPECT_EQ(expected.facesAllInside, report.facesAllInside) << context;
        ++streamed;
      }
    }
  }
  EXPECT_GE(streamed, 100);
}

// Values that floats or bytes hold exactly are swept as they are held (a
// ring of floats or bytes, not doubles): the mesh, normals, caps and
// findings are bit for bit those of the same values read as doubles, for
// every volume (its NaN and infinities kept as floats; in bytes, its
// values quantised), open or closed, on one thread or several.
TEST(ExtractVolume, ValuesHeldAsFloatsOrBytesMeshAsTheSameValuesAsDoubles) {
  const struct {
    bool closed, normals;
    int threads;
  } variants[] = {{true, true, 1}, {false, true, 2}, {true, false, 3}};
  for (const TestVolume& volume : volumes()) {
    const VolumeGeometry& g = volume.geometry;
    double lo = HUGE_VAL, hi = -HUGE_VAL;
    for (const double v : volume.values) {
      if (std::isfinite(v)) lo = std::min(lo, v), hi = std::max(hi, v);
    }
    const double scale = hi > lo ? 255.0 / (hi - lo) : 1.0;
    std::vector<float> floats;
    std::vector<std::uint8_t> bytes;
    for (const double v : volume.values) {
      floats.push_back(static_cast<float>(v));
      bytes.push_back(std::isfinite(v) ? static_cast<std::uint8_t>(std::lround((v - lo) * scale))
                                       : 0);
    }
    for (const bool inBytes : {false, true}) {
      const std::vector<double> held = inBytes ? std::vector<double>(bytes.begin(), bytes.end())
                                               : std::vector<double>(floats.begin(), floats.end());
      const std::int64_t size = inBytes ? 1 : 4;
      const VoxelArray array{inBytes ? static_cast<const void*>(bytes.data()) : floats.data(),
                             inBytes ? VoxelType::Uint8 : VoxelType::Float32,
                             {size, size * g.dims[0], size * g.dims[0] * g.dims[1]}};
      EXPECT_EQ(ArrayVolume(g, array).valueForm(), inBytes ? ValueForm::Bytes : ValueForm::Floats);
      VolumeHeader header{};
      header.geometry = g;
      for (const auto& variant : variants) {
        const std::string context = volume.name + (inBytes ? ", bytes" : ", floats") +
                                    (variant.closed ? ", closed" : ", open") + ", " +
                                    std::to_string(variant.threads) + " threads";
        SurfaceOptions options;
        options.isoLevel = inBytes ? (volume.iso - lo) * scale : volume.iso;
        options.inside = volume.inside;
        options.closed = variant.closed;
        options.normals = variant.normals;
        options.threads = variant.threads;
        // Slabs of a layer or two: slices kept in the ring from slab to slab.
        options.sliceMemory = 8 * g.dims[0] * g.dims[1] * (variant.threads + 3);
        InMemoryVolume wide(header, copyOf(held));
        SurfaceReport expected, report;
        const IndexedMesh doubles = volumeSurface(wide, options, expected);
        ArrayVolume narrow(g, array);
        const IndexedMesh narrower = volumeSurface(narrow, options, report);
        EXPECT_TRUE(sameMesh(doubles, narrower)) << context;
        EXPECT_TRUE(sameFindings(expected.findings, report.findings)) << context;
        EXPECT_EQ(expected.facesAllInside, report.facesAllInside) << context;
      }
    }
  }
}

// A progress callback that throws stops the sweep where it is called,
// streamed or in memory, soup or welded, at any thread count: the error
// comes out once the workers are done with the slabs they hold, and the
// next run makes the whole mesh again.
TEST(ExtractVolume, AnErrorFromTheProgressStopsTheSweepAtAnyThreadCount) {
  const std::vector<TestVolume> all = volumes();
  const TestVolume& volume =
      *std::max_element(all.begin(), all.end(), [](const TestVolume& a, const TestVolume& b) {
        return a.geometry.dims[2] < b.geometry.dims[2];
      });
  const VolumeGeometry& g = volume.geometry;
  ASSERT_GE(g.dims[2], 8) << volume.name;
  VolumeHeader header{};
  header.geometry = g;
  VolumeExtractionSettings settings;
  settings.isoLevel = volume.iso;
  settings.inside = volume.inside;
  settings.sliceMemory = 8 * g.dims[0] * g.dims[1] * 3;
  InMemoryVolume once(header, copyOf(volume.values));
  VolumeFindings findings;
  const ExtractedSurface expected = extractVolume(once, settings, findings);
  struct Stop {};
  for (const int threads : {1, 2, 3, 7}) {
    settings.threads = threads;
    int calls = 0;
    const LayerProgress stopSecond = [&](std::int64_t, std::int64_t) {
      if (++calls == 2) throw Stop();
    };
    const std::string context = std::to_string(threads) + " threads";
    InMemoryVolume soupReader(header, copyOf(volume.values));
    EXPECT_THROW(extractVolume(soupReader, settings, findings, stopSecond), Stop) << context;
    calls = 0;
    InMemoryVolume weldReader(header, copyOf(volume.values));
    VolumeWeld weld;
    EXPECT_THROW(weldVolume(weldReader, settings, weld, findings, stopSecond), Stop) << context;
    calls = 0;
    ExtractedSurface surface;
    EXPECT_THROW(
        extractVolumeInto(g, volume.values.data(), settings, surface, findings, stopSecond), Stop)
        << context;
    InMemoryVolume again(header, copyOf(volume.values));
    EXPECT_TRUE(
        sameTriangles(expected.triangles, extractVolume(again, settings, findings).triangles))
        << context;
  }
}

// The pieces of the shares made as the processes of mpirun make them, the
// messages between them carried here, and put one after another as their
// writers put them in the file.
IndexedMesh piecesInOrder(const VolumeGeometry& g, std::vector<VolumeShare>& shares,
                          const std::vector<VolumeBoundary>& boundaries,
                          const SurfaceOptions& options) {
  std::vector<VolumePiece> pieces;
  std::vector<std::size_t> held;
  for (std::size_t n = 0; n < shares.size(); ++n) {
    if (shares[n].first < shares[n].last) held.push_back(n);
  }
  for (std::size_t n = 0; n < held.size(); ++n) {
    pieces.push_back(
        sharePiece(g, shares[held[n]], boundaries[held[n]], options, n == 0, n + 1 == held.size()));
  }
  // Sums over the pieces before each, and over all.
  const auto sums = [&](const std::vector<PieceCounts>& counts) {
    std::vector<PieceCounts> before(counts.size() + 1);
    for (std::size_t n = 0; n < counts.size(); ++n) {
      before[n + 1] = {before[n].surface + counts[n].surface, before[n].caps + counts[n].caps};
    }
    return before;
  };
  std::vector<PieceCounts> counts;
  for (const VolumePiece& piece : pieces) counts.push_back(piece.ownVertices());
  std::vector<PieceCounts> before = sums(counts);
  for (std::size_t n = 0; n < pieces.size(); ++n) {
    pieces[n].numberVertices(before[n], before.back().surface);
  }
  std::vector<PlaneVertices> after, ahead;
  for (VolumePiece& piece : pieces) {
    after.push_back(piece.plane(PieceSide::After));
    ahead.push_back(piece.plane(PieceSide::Before));
  }
  for (std::size_t n = 0; n + 1 < pieces.size(); ++n) {
    pieces[n + 1].takePlane(PieceSide::Before, after[n]);
    pieces[n].takePlane(PieceSide::After, ahead[n + 1]);
  }
  counts.clear();
  for (VolumePiece& piece : pieces) counts.push_back(piece.removedVertices());
  before = sums(counts);
  for (std::size_t n = 0; n < pieces.size(); ++n) {
    pieces[n].renumber(before[n], before.back().surface);
  }
  std::vector<PlaneNumbers> finalAfter, finalAhead;
  for (VolumePiece& piece : pieces) {
    finalAfter.push_back(piece.finalNumbers(PieceSide::After));
    finalAhead.push_back(piece.finalNumbers(PieceSide::Before));
  }
  for (std::size_t n = 0; n + 1 < pieces.size(); ++n) {
    pieces[n + 1].takeFinalNumbers(PieceSide::Before, finalAfter[n]);
    pieces[n].takeFinalNumbers(PieceSide::After, finalAhead[n + 1]);
  }
  IndexedMesh mesh;
  FaceArray caps;
  for (VolumePiece& piece : pieces) {
    const MeshPiece made = piece.take();
    const std::size_t own = made.surfaceVertices + made.capVertices;
    for (std::size_t v = 0; v < own; ++v) {
      const std::size_t at = made.numbers[v];
      if (at >= mesh.vertices.size()) mesh.vertices.resize(at + 1);
      mesh.vertices[at] = made.mesh.vertices[v];
      if (!made.mesh.normals.empty()) {
        if (at >= mesh.normals.size()) mesh.normals.resize(at + 1);
        mesh.normals[at] = made.mesh.normals[v];
      }
    }
    for (std::size_t f = 0; f < made.mesh.faces.size(); ++f) {
      std::array<std::uint32_t, 3> face;
      for (int v = 0; v < 3; ++v) face[v] = made.numbers[made.mesh.faces[f][v]];
      (f < made.surfaceFaces ? mesh.faces : caps).push_back(face);
    }
  }
  mesh.faces.insert(mesh.faces.end(), caps.begin(), caps.end());
  return mesh;
}

// Several processes each read and mesh a share of the layers (some none,
// where there are more shares than layers), pass on the faces' voxels of
// their slices, and the shares joined in order are the volume's mesh, bit
// for bit, welded or not, closed or open, with the same findings; and so
// are the pieces each process makes of its share where the lattice's
// points are distinct (the mesh of mpirun's processes, none holding the
// whole; an open one merged by other steps than the whole's).
TEST(ExtractVolume, SharesOfTheLayersJoinedInOrderAreTheWholeVolumesMesh) {
  for (const TestVolume& volume : volumes()) {
    const VolumeGeometry& g = volume.geometry;
    VolumeHeader header{};
    header.geometry = g;
    const std::int64_t layers = g.dims[2] - 1;
    for (const auto& [welded, closed] :
         {std::pair{true, true}, std::pair{false, true}, std::pair{true, false}}) {
      SurfaceOptions options;
      options.isoLevel = volume.iso;
      options.inside = volume.inside;
      options.welded = welded;
      options.closed = closed;
      options.normals = welded;
      options.sliceMemory = 8 * g.dims[0] * g.dims[1] * 4;
      InMemoryVolume whole(header, copyOf(volume.values));
      SurfaceReport expected;
      const IndexedMesh mesh = volumeSurface(whole, options, expected);
      for (const std::int64_t count : {1, 2, 3, 5, 12}) {
        const std::string context = volume.name + (welded ? ", welded, " : ", unwelded, ") +
                                    (closed ? "closed, " : "open, ") + std::to_string(count) +
                                    " shares";
        VolumeBoundary boundary(g.dims);
        std::vector<VolumeShare> shares;
        std::vector<VolumeBoundary> owns;
        for (std::int64_t n = 0; n < count; ++n) {
          const std::int64_t first = layers * n / count, last = layers * (n + 1) / count;
          InMemoryVolume reader(header, copyOf(volume.values));
          owns.emplace_back(g.dims, first, last);
          shares.push_back(volumeShare(reader, first, last, options, owns.back()));
          if (first < last) boundary.recordSlices(first, last, owns.back().slices(first, last));
        }
        if (welded && makeLattice(g, {}).distinctPoints) {
          std::vector<VolumeShare> copies = shares;
          EXPECT_TRUE(sameMesh(mesh, piecesInOrder(g, copies, owns, options))) << context;
        }
        SurfaceReport report;
        const IndexedMesh joined = joinVolumeShares(g, shares, boundary, options, report);
        EXPECT_TRUE(sameMesh(mesh, joined)) << context;
        EXPECT_TRUE(sameFindings(expected.findings, report.findings)) << context;
      }
    }
  }
}

// Placement does not depend on the values' units: a sphere's field (the
// distance from the surface, in voxels) and its level scaled by S give the
// same faces, the same vertices bit for bit where S is a power of two (the
// quotient that places a vertex is then the same), and a sphere as round
// as the unscaled one for any S; no vertex lies on a voxel (none of the
// values is the level) and the mesh is closed.
TEST(ExtractVolume, TheMeshDoesNotDependOnTheValuesUnits) {
  const VolumeGeometry g = box(30, 29, 28);
  const double centre[3] = {14.6, 13.9, 13.3}, radius = 10.0;
  const auto distance = [&](double x, double y, double z) {
    return std::sqrt((x - centre[0]) * (x - centre[0]) + (y - centre[1]) * (y - centre[1]) +
                     (z - centre[2]) * (z - centre[2]));
  };
  const struct {
    double scale;
    bool powerOfTwo;
  } scales[] = {{1.0, true},
                {std::ldexp(1.0, -10), true},
                {std::ldexp(1.0, -20), true},
                {1e-3, false},
                {1e-6, false}};
  IndexedMesh unscaled;
  for (const auto& row : scales) {
    const double s = row.scale;
    // Inside above the level: s (12 - r) at 2 s is the ball of radius 10.
    const TestVolume volume = sampled("sphere", g, 2.0 * s, [&](double x, double y, double z) {
      return s * (12.0 - distance(x, y, z));
    });
    SurfaceOptions options;
    options.isoLevel = volume.iso;
    SurfaceReport report;
    const IndexedMesh mesh = volumeSurface(g, volume.values.data(), options, report);
    const std::string context = "scale " + std::to_string(s);
    ASSERT_GT(mesh.faces.size(), 1000u) << context;
    EXPECT_EQ(report.findings.levelOnVoxels, 0) << context;
    EXPECT_TRUE(closedAndConsistent(mesh.faces)) << context;
    double worst = 0.0;
    for (const Point3& p : mesh.vertices) {
      worst = std::max(worst, std::fabs(distance(p.x, p.y, p.z) - radius));
      EXPECT_FALSE(p.x == std::round(p.x) && p.y == std::round(p.y) && p.z == std::round(p.z))
          << context << ": a vertex on a voxel";
    }
    EXPECT_LT(worst, 0.02) << context;
    if (s == 1.0) {
      unscaled = mesh;
      continue;
    }
    // The same topology at every scale; the same bits at powers of two.
    EXPECT_EQ(unscaled.faces, mesh.faces) << context;
    ASSERT_EQ(unscaled.vertices.size(), mesh.vertices.size()) << context;
    if (row.powerOfTwo) {
      EXPECT_TRUE(sameMesh(unscaled, mesh)) << context;
    } else {
      double moved = 0.0;
      for (std::size_t v = 0; v < mesh.vertices.size(); ++v) {
        const Point3 &a = unscaled.vertices[v], &b = mesh.vertices[v];
        for (const float d : {a.x - b.x, a.y - b.y, a.z - b.z}) {
          moved = std::max(moved, static_cast<double>(std::fabs(d)));
        }
      }
      EXPECT_LT(moved, 1e-5) << context;
    }
  }
}

// The inside below the level is the negated volume's inside above the
// negated level: the same mesh, bit for bit, normals and all, welded or
// not, closed or open; without a negated copy of the values.
TEST(ExtractVolume, InsideBelowIsTheNegatedVolumeAtTheNegatedLevel) {
  int compared = 0;
  for (const TestVolume& volume : volumes()) {
    if (volume.inside != Inside::Below) continue;
    std::vector<double> negated = volume.values;
    for (double& v : negated) v = -v;
    for (const bool welded : {true, false}) {
      for (const bool closed : {true, false}) {
        SurfaceOptions options;
        options.isoLevel = volume.iso;
        options.inside = Inside::Below;
        options.welded = welded;
        options.closed = closed;
        options.normals = true;
        SurfaceReport below, above;
        const IndexedMesh mesh =
            volumeSurface(volume.geometry, volume.values.data(), options, below);
        options.isoLevel = -volume.iso;
        options.inside = Inside::Above;
        const IndexedMesh expected = volumeSurface(volume.geometry, negated.data(), options, above);
        const std::string context =
            volume.name + (welded ? ", welded" : ", unwelded") + (closed ? ", closed" : ", open");
        ASSERT_GT(expected.faces.size(), 100u) << context;
        EXPECT_TRUE(sameMesh(expected, mesh)) << context;
        EXPECT_EQ(below.findings.levelOnVoxels, above.findings.levelOnVoxels) << context;
        if (welded && closed) {
          EXPECT_TRUE(closedAndConsistent(mesh.faces)) << context;
          const double volume6 = signedVolume6(mesh.vertices, mesh.faces);
          EXPECT_GT(volume6, 0) << context << ": wound outward";
        }
        ++compared;
      }
    }
  }
  EXPECT_EQ(compared, 8);
}

TEST(ExtractVolume, RefusesSettingsItCannotMeet) {
  const TestVolume volume = volumes().front();
  ExtractedSurface surface;
  VolumeFindings findings;
  VolumeExtractionSettings settings;
  settings.threads = 0;
  EXPECT_THROW(
      extractVolumeInto(volume.geometry, volume.values.data(), settings, surface, findings),
      std::invalid_argument);
  settings.threads = 1;
  settings.isoLevel = std::nan("");
  EXPECT_THROW(
      extractVolumeInto(volume.geometry, volume.values.data(), settings, surface, findings),
      std::invalid_argument);
}

// The finishing steps over surfaces of several kinds (a ball, one cut by
// its volume's box, separate parts, a sheared and mirrored lattice, a
// torus, the gyroid, the scene): every step keeps the mesh closed and
// outward, and does what it says.
#include "mesh/finishing/finishing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "mesh/finishing/decimation.h"
#include "mesh/finishing/mesh_components.h"
#include "mesh/finishing/smoothing.h"
#include "mesh/pipeline/surface_pipeline.h"
#include "mesh/scene/grid.h"
#include "mesh/scene/scene_caps.h"
#include "mesh/scene/scene_surface.h"
#include "mesh/surface/degenerate_faces.h"
#include "mesh/volume/box_faces.h"
#include "tests/mesh/mesh_checks.h"
#include "volume/sample_volumes.h"

using namespace mcubes::internal;

namespace {

using Field = std::function<double(double, double, double)>;

struct Surface {
  std::string name;
  IndexedMesh mesh;
  VolumeGeometry box;
  std::size_t components;
  // Bounds on what the steps may do to the enclosed volume, relative.
  double smoothingVolumeChange;
};

VolumeGeometry cube(std::int64_t n, double from, double to) {
  VolumeGeometry g{};
  for (int a = 0; a < 3; ++a) {
    g.dims[a] = n;
    g.origin[a] = from;
    g.axes[a][a] = (to - from) / static_cast<double>(n - 1);
  }
  return g;
}

// The field sampled at the lattice's world positions, meshed at 0 (values
// above it inside) with normals.
IndexedMesh meshed(const VolumeGeometry& g, const Field& f) {
  std::vector<double> values;
  for (std::int64_t k = 0; k < g.dims[2]; ++k) {
    for (std::int64_t j = 0; j < g.dims[1]; ++j) {
      for (std::int64_t i = 0; i < g.dims[0]; ++i) {
        double p[3];
        for (int c = 0; c < 3; ++c) {
          p[c] = g.origin[c] + static_cast<double>(i) * g.axes[0][c] +
                 static_cast<double>(j) * g.axes[1][c] + static_cast<double>(k) * g.axes[2][c];
        }
        values.push_back(f(p[0], p[1], p[2]));
      }
    }
  }
  SurfaceOptions options;
  options.isoLevel = 0.0;
  options.normals = true;
  SurfaceReport report;
  return volumeSurface(g, values.data(), options, report);
}

Field ball(double cx, double cy, double cz, double r) {
  return [=](double x, double y, double z) {
    return r - std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy) + (z - cz) * (z - cz));
  };
}

std::vector<Surface> surfaces() {
  std::vector<Surface> all;
  const VolumeGeometry unit = cube(48, -1, 1);
  all.push_back({"ball", meshed(unit, ball(0.05, -0.02, 0.03, 0.7)), unit, 1, 0.02});
  // Around a corner of the box: caps on three faces, rims along three
  // edges, the corner itself.
  all.push_back({"cut ball", meshed(unit, ball(-0.8, -0.85, -0.9, 0.9)), unit, 1, 0.03});
  // Four parts, one a speck of a few triangles.
  const Field parts = [](double x, double y, double z) {
    return std::max({ball(-0.5, -0.5, 0, 0.35)(x, y, z), ball(0.45, 0.4, 0.1, 0.45)(x, y, z),
                     ball(0.5, -0.5, -0.5, 0.2)(x, y, z), ball(-0.5, 0.55, 0.5, 0.03)(x, y, z)});
  };
  all.push_back({"four parts", meshed(unit, parts), unit, 4, 0.05});
  // A sheared, mirrored lattice, the ball cut by two of its slanted faces.
  VolumeGeometry sheared{};
  const double axes[3][3] = {{0.045, 0.01, -0.005}, {0.0, -0.05, 0.012}, {0.008, 0.003, 0.04}};
  std::memcpy(sheared.axes, axes, sizeof axes);
  for (int a = 0; a < 3; ++a) sheared.dims[a] = 40;
  sheared.origin[0] = -0.9;
  sheared.origin[1] = 0.9;
  sheared.origin[2] = -0.8;
  all.push_back({"sheared mirrored", meshed(sheared, ball(-0.7, 0.1, 0.0, 0.6)), sheared, 1, 0.03});
  const Field torus = [](double x, double y, double z) {
    const double ring = std::sqrt(x * x + y * y) - 0.6;
    return 0.25 - std::sqrt(ring * ring + z * z);
  };
  all.push_back({"torus", meshed(unit, torus), unit, 1, 0.03});
  // The gyroid sample: handles everywhere, cut by all six faces.
  const std::unique_ptr<VolumeReader> gyroid = openSampleVolume("gyroid", 40);
  SurfaceOptions options;
  options.isoLevel = 0.25;
  SurfaceReport report;
  all.push_back(
      {"gyroid", volumeSurface(*gyroid, options, report), gyroid->header().geometry, 1, 0.03});
  // The scene at a tick where its two blobs are apart, in its grid's box.
  IndexedMesh scene = sceneSurface(ballCentres(116), 60, SurfaceOptions(), report);
  all.push_back({"scene", std::move(scene), gridBox(sceneGrid(60)), 2, 0.02});
  return all;
}

struct Step {
  std::string name;
  FinishingOptions options;
  // Bounds on the triangles kept, as fractions of those given.
  double fewest, most;
};

std::vector<Step> steps() {
  std::vector<Step> all;
  FinishingOptions o;
  o.keepLargest = true;
  all.push_back({"keep largest", o, 0, 1});
  o = {};
  o.minComponent = 100;
  all.push_back({"min component", o, 0, 1});
  o = {};
  o.smoothIterations = 20;
  all.push_back({"smooth", o, 1, 1});
  o.smoothIterations = 1;
  o.smoothPassband = 1.5;
  all.push_back({"smooth once", o, 1, 1});
  // Within 10 % of the triangles asked; at a fiftieth the surfaces with
  // handles (the torus, the gyroid) and caps keep more than that, where
  // no more edges collapse without pinching them.
  o = {};
  o.decimate = 0.5;
  all.push_back({"decimate half", o, 0.45, 0.55});
  o.decimate = 0.1;
  all.push_back({"decimate tenth", o, 0.09, 0.11});
  o.decimate = 0.02;
  all.push_back({"decimate fiftieth", o, 0.018, 0.5});
  o = {};
  o.minComponent = 100;
  o.decimate = 0.1;
  all.push_back({"min component, decimate tenth", o, 0.0, 0.11});
  o = {};
  o.keepLargest = true;
  o.smoothIterations = 30;
  o.smoothPassband = 0.05;
  o.decimate = 0.2;
  o.normals = true;
  all.push_back({"all", o, 0.0, 0.3});
  return all;
}

double dot(const Point3& a, const double (&b)[3]) { return a.x * b[0] + a.y * b[1] + a.z * b[2]; }

}  // namespace

TEST(FinishMesh, EveryStepKeepsTheMeshClosedAndOutwardAndDoesWhatItSays) {
  for (const Surface& surface : surfaces()) {
    ASSERT_TRUE(closedAndConsistent(surface.mesh.faces)) << surface.name;
    ASSERT_GT(surface.mesh.faces.size(), 2000u) << surface.name;
    const BoxFaces onBox = boxFaces(surface.mesh.vertices, surface.box);
    const std::size_t flatBefore = zeroAreaFaces(surface.mesh);
    // Marching cubes' surfaces between voxel values: a manifold without
    // self-intersections.
    EXPECT_EQ(pinchedVertices(surface.mesh.faces, surface.mesh.vertices.size()), 0u)
        << surface.name;
    EXPECT_EQ(selfIntersectingPairs(surface.mesh), 0u) << surface.name;
    const MeshComponents parts = meshComponents(surface.mesh);
    EXPECT_EQ(parts.faces.size(), surface.components) << surface.name;

    for (const Step& step : steps()) {
      const std::string what = surface.name + ", " + step.name;
      IndexedMesh mesh = surface.mesh;
      FinishingReport report;
      finishMesh(mesh, step.options, &surface.box, report);

      EXPECT_TRUE(closedAndConsistent(mesh.faces)) << what;
      const double before = signedVolume6(surface.mesh.vertices, surface.mesh.faces) / 6;
      const double after = signedVolume6(mesh.vertices, mesh.faces) / 6;
      EXPECT_GT(after, 0) << what;
      EXPECT_NEAR(report.volumeBefore, before, 1e-9 * before) << what;
      EXPECT_NEAR(report.volumeAfter, after, 1e-9 * before) << what;
      EXPECT_EQ(report.trianglesAfter, mesh.faces.size()) << what;
      EXPECT_TRUE(report.closed) << what;
      // No vertex without a face, no new face without area.
      std::vector<bool> used(mesh.vertices.size(), false);
      for (const auto& f : mesh.faces) {
        for (const std::uint32_t v : f) used[v] = true;
      }
      EXPECT_EQ(std::count(used.begin(), used.end(), false), 0) << what;
      EXPECT_LE(zeroAreaFaces(mesh), flatBefore) << what;

      const FinishingOptions& o = step.options;
      // Decimation keeps the surface manifold (no pinched vertex), of the
      // same parts, and adds no self-intersection; the parts asked for are
      // those left at the end.
      if (o.decimate < 1.0) {
        EXPECT_EQ(pinchedVertices(mesh.faces, mesh.vertices.size()), 0u) << what;
        if (o.smoothIterations == 0) {
          EXPECT_EQ(selfIntersectingPairs(mesh), 0u) << what;
        }
        const MeshComponents left = meshComponents(mesh);
        if (!o.keepLargest && o.minComponent == 0) {
          EXPECT_EQ(left.faces.size(), surface.components) << what;
        }
        for (const std::size_t n : left.faces) {
          EXPECT_GE(static_cast<std::int64_t>(n), o.minComponent) << what;
        }
        EXPECT_EQ(report.trianglesDecimatedTo,
                  static_cast<std::size_t>(std::llround(
                      o.decimate * static_cast<double>(report.trianglesDecimatedFrom))))
            << what;
      }
      if (o.keepLargest || o.minComponent > 0) {
        EXPECT_EQ(report.components, surface.components) << what;
        const std::size_t left = meshComponents(mesh).faces.size();
        if (o.keepLargest) {
          EXPECT_EQ(left, 1u) << what;
        }
        std::size_t small = 0;
        for (const std::size_t n : parts.faces) small += n < 100;
        if (!o.keepLargest && o.decimate == 1.0) {
          EXPECT_EQ(left, surface.components - small) << what;
        }
        if (!o.keepLargest && o.decimate < 1.0) {
          // Also the parts decimation left with fewer triangles.
          EXPECT_LE(left, surface.components - small) << what;
          EXPECT_EQ(left + report.componentsDropped, surface.components) << what;
        }
      }
      const double kept = static_cast<double>(report.trianglesAfter) /
                          static_cast<double>(report.trianglesBefore - report.trianglesDropped);
      EXPECT_GE(kept, step.fewest) << what;
      EXPECT_LE(kept, step.most) << what;

      if (o.smoothIterations > 0) {
        const double change =
            std::fabs(report.volumeBeforeDecimation / report.volumeBeforeSmoothing - 1);
        EXPECT_LT(change, surface.smoothingVolumeChange) << what;
      }
      if (o.smoothIterations > 0 && !o.keepLargest && o.decimate == 1.0) {
        // Smoothing moves vertices but keeps faces and order; the caps'
        // vertices stay on their faces of the box, the corners where
        // they were, and it smooths: the vertices move.
        ASSERT_EQ(mesh.faces, surface.mesh.faces) << what;
        std::size_t moved = 0;
        for (std::size_t v = 0; v < mesh.vertices.size(); ++v) {
          const Point3 &p = mesh.vertices[v], &q = surface.mesh.vertices[v];
          moved += std::memcmp(&p, &q, sizeof p) != 0;
          const unsigned bits = onBox.ofVertex[v];
          if (bits == 0) continue;
          double index[3];
          indexCoordinates(onBox, surface.box, p, index);
          int on = 0;
          for (int a = 0; a < 3; ++a) {
            if (bits & (1u << (2 * a))) {
              EXPECT_NEAR(index[a], 0.0, 2e-3) << what << " " << v;
            }
            if (bits & (2u << (2 * a))) {
              EXPECT_NEAR(index[a], static_cast<double>(surface.box.dims[a] - 1), 2e-3)
                  << what << " " << v;
            }
            on += (bits & (3u << (2 * a))) != 0;
          }
          if (on == 3) {
            EXPECT_EQ(std::memcmp(&p, &q, sizeof p), 0) << what << " corner " << v;
          }
        }
        EXPECT_GT(moved, mesh.vertices.size() / 2) << what;
      }
      // Normals: kept in step with the vertices, recomputed from the faces
      // where they moved: unit, and outward with the faces.
      ASSERT_TRUE(mesh.normals.empty() || mesh.normals.size() == mesh.vertices.size()) << what;
      if (!mesh.normals.empty() && (o.smoothIterations > 0 || o.decimate < 1.0)) {
        std::size_t agreeing = 0;
        for (const auto& f : mesh.faces) {
          const Point3 &p = mesh.vertices[f[0]], &q = mesh.vertices[f[1]], &r = mesh.vertices[f[2]];
          const double u[3] = {q.x - p.x, q.y - p.y, q.z - p.z};
          const double w[3] = {r.x - p.x, r.y - p.y, r.z - p.z};
          const double n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2],
                               u[0] * w[1] - u[1] * w[0]};
          agreeing += dot(mesh.normals[f[0]], n) >= 0;
        }
        EXPECT_GT(agreeing, mesh.faces.size() * 95 / 100) << what;
        for (const Point3& n : mesh.normals) {
          EXPECT_NEAR(std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z), 1.0, 1e-5) << what;
        }
      }
    }
  }
}

// The filter's coefficients sum to 1 (a mesh keeps its place and size), and
// the pass band's edge passes at gain 1, as Taubin's design asks.
TEST(FinishMesh, WindowedSincPassesItsBandAndFrequencyZero) {
  for (const int n : {2, 5, 20, 50}) {
    for (const double band : {0.01, 0.1, 0.5, 1.5}) {
      const std::vector<double> c = windowedSincCoefficients(n, band);
      double sum = 0, gain = 0;
      const double theta = std::acos(1.0 - 0.5 * band);
      for (int i = 0; i <= n; ++i) {
        sum += c[i];
        gain += c[i] * std::cos(i * theta);
      }
      EXPECT_NEAR(sum, 1.0, 1e-12) << n << " " << band;
      EXPECT_NEAR(gain, 1.0, 0.01) << n << " " << band;
    }
  }
}

// The welded surface at high resolution and its field normals.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "mesh/scene/extract.h"
#include "mesh/scene/normals.h"
#include "mesh/surface/weld.h"
#include "tests/mesh/mesh_checks.h"
#include "tests/mesh/oracles/weld_by_edge.h"

using namespace mcubes::internal;

namespace {

double dot(const Point3& a, double x, double y, double z) { return a.x * x + a.y * y + a.z * z; }

double length(const Point3& p) { return std::sqrt(dot(p, p.x, p.y, p.z)); }

}  // namespace

TEST(Surface, WeldedHighResolutionMeshIsClosedOutwardAndShadedByOutwardNormals) {
  // Tick 116: two separate blobs; 25: merged; 39: the balls nearly coincide.
  for (const std::int32_t ticks : {116, 25, 39}) {
    const BallCentres balls = ballCentres(ticks);
    ExtractionSettings settings;
    settings.divisions = 160;
    settings.threads = 2;
    settings.edgeKeys = true;
    IndexedMesh mesh = weldSurface(extractSurface(balls, settings));
    ASSERT_GT(mesh.faces.size(), 10000u) << ticks;
    EXPECT_TRUE(closedAndConsistent(mesh.faces)) << ticks;
    // One ball alone encloses a sphere of radius sqrt(7), about 78: two
    // apart nearly twice that, merged ones less, coinciding ones (twice the
    // strength, radius sqrt(15)) about 244.
    const double volume = signedVolume6(mesh.vertices, mesh.faces) / 6;
    EXPECT_GT(volume, 78) << ticks;
    EXPECT_LT(volume, 250) << ticks;

    mesh.normals = fieldNormals(balls, mesh.vertices);
    ASSERT_EQ(mesh.normals.size(), mesh.vertices.size());
    for (const Point3& n : mesh.normals) EXPECT_NEAR(length(n), 1.0, 1e-6);
    // Each face's own outward normal agrees with its vertices' normals.
    std::size_t agreeing = 0;
    for (const auto& f : mesh.faces) {
      const Point3 &p = mesh.vertices[f[0]], &q = mesh.vertices[f[1]], &r = mesh.vertices[f[2]];
      const double ux = q.x - p.x, uy = q.y - p.y, uz = q.z - p.z;
      const double vx = r.x - p.x, vy = r.y - p.y, vz = r.z - p.z;
      const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
      const double area2 = std::sqrt(nx * nx + ny * ny + nz * nz);
      bool agrees = true;
      for (const std::uint32_t v : f) {
        agrees = agrees && dot(mesh.normals[v], nx, ny, nz) > 0.5 * area2;
      }
      agreeing += agrees;
    }
    EXPECT_GT(agreeing, mesh.faces.size() * 99 / 100) << ticks;
  }
}

TEST(FieldNormals, PointAwayFromTheBallsAndStayUnitWhereTheGradientVanishes) {
  const BallCentres apart = {{-3, 0, 0}, {3, 0, 0}};
  const PointArray normals =
      fieldNormals(apart, {{-6, 0, 0}, {6, 0, 0}, {-3, 2, 0}, {0, 0, 0}, {3, 0, 0}, {0, 0, 5}});
  const Point3 expected[] = {{-1, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 0, 0}, {1, 0, 0}, {0, 0, 1}};
  for (std::size_t i = 0; i < normals.size(); ++i) {
    EXPECT_NEAR(normals[i].x, expected[i].x, 0.05) << i;
    EXPECT_NEAR(normals[i].y, expected[i].y, 0.05) << i;
    EXPECT_NEAR(normals[i].z, expected[i].z, 0.05) << i;
  }
}

// The animated two-ball scene as plain data: where the balls are at a clock
// value, and the sweep that turns them into triangles cell by cell. No
// graphics here, so the frame renderer and the mesh exporter share it and see
// identical triangles.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "iso/isosurface.h"

// The grid: 17 cell centres per axis at grid coordinates 0, 1, ..., 16 (the
// bound is inclusive), that is world -8 to 8, corners out to +-8.5.
constexpr std::int32_t GridExtent = 16;
constexpr std::int32_t GridDivisions = 16;
constexpr float GridStep = static_cast<float>(GridExtent) / GridDivisions;
constexpr float GridHalfEdge = GridStep / 2.0f;
constexpr float BallStrength = 2.0f;
constexpr double SceneIsoLevel = 0.25;

struct BallCentres {
  Point3 a;
  Point3 b;
};

// Ball A runs an ellipse (5.5 along x, 5 along y) and ball B swings through
// the origin on a line; both repeat every 100 pi ticks. B takes the sine for
// x as well, so the two meet whenever cos t = sin t.
inline BallCentres ballCentres(std::int32_t ticks) {
  const double t = static_cast<double>(ticks) / 50.0;
  const double cosine = std::cos(t);
  const double sine = std::sin(t);
  return {{static_cast<float>(5.5 * cosine), static_cast<float>(5.0 * sine), 0.0f},
          {static_cast<float>(5.5 * sine), static_cast<float>(5.0 * sine), 0.0f}};
}

// Visits the grid coordinates of every cell, gx outermost and gz innermost.
// The coordinates are float counters stepped by GridStep, compared exactly
// against the inclusive bound.
template <typename Visitor>
void sweepGrid(Visitor&& visit) {
  for (float gx = 0.0f; gx <= GridExtent; gx += GridStep) {
    for (float gy = 0.0f; gy <= GridExtent; gy += GridStep) {
      for (float gz = 0.0f; gz <= GridExtent; gz += GridStep) {
        visit(gx, gy, gz);
      }
    }
  }
}

// Hands every triangle of the scene to `receive(const Triangle&)`, in sweep
// order and, within a cell, in the polygoniser's order. Each cell starts
// cleared and sums both balls; the polygoniser gets a copy of it.
template <typename Receiver>
void sweepScene(const BallCentres& balls, Receiver&& receive) {
  GridCell cell;
  Triangle triangles[5];
  sweepGrid([&](float gx, float gy, float gz) {
    clearGridCell(cell);
    sampleMetaball(cell, static_cast<float>(GridExtent), GridHalfEdge, BallStrength, gx, gy, gz,
                   balls.a.x, balls.a.y, balls.a.z);
    sampleMetaball(cell, static_cast<float>(GridExtent), GridHalfEdge, BallStrength, gx, gy, gz,
                   balls.b.x, balls.b.y, balls.b.z);
    const int count = triangulateCell(cell, SceneIsoLevel, triangles);
    for (int i = 0; i < count; ++i) {
      receive(static_cast<const Triangle&>(triangles[i]));
    }
  });
}

// The scene's frame at a clock value: the literal sweep's triangles, in order.
inline std::vector<Triangle> sceneTriangles(std::int32_t ticks) {
  std::vector<Triangle> triangles;
  sweepScene(ballCentres(ticks), [&](const Triangle& t) { triangles.push_back(t); });
  return triangles;
}

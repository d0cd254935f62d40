#include "mesh/scene/normals.h"

#include <cmath>

namespace mcubes::internal {

namespace {

Point3 unit(double x, double y, double z) {
  const double length = std::sqrt(x * x + y * y + z * z);
  return {static_cast<float>(x / length), static_cast<float>(y / length),
          static_cast<float>(z / length)};
}

}  // namespace

PointArray fieldNormals(const BallCentres& balls, const PointArray& points) {
  PointArray normals;
  normals.reserve(points.size());
  for (const Point3& p : points) {
    // Each ball adds s / (1 + d^2); its gradient is -2 s (p - c) / (1 + d^2)^2.
    // The common factor 2 s does not change the direction.
    double offsets[2][3];
    double distances[2];
    double outward[3] = {0.0, 0.0, 0.0};
    int ball = 0;
    for (const Point3& c : {balls.a, balls.b}) {
      double* d = offsets[ball];
      d[0] = static_cast<double>(p.x) - c.x;
      d[1] = static_cast<double>(p.y) - c.y;
      d[2] = static_cast<double>(p.z) - c.z;
      distances[ball] = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
      const double falloff = (1.0 + distances[ball]) * (1.0 + distances[ball]);
      for (int axis = 0; axis < 3; ++axis) outward[axis] += d[axis] / falloff;
      ++ball;
    }
    if (outward[0] != 0.0 || outward[1] != 0.0 || outward[2] != 0.0) {
      normals.push_back(unit(outward[0], outward[1], outward[2]));
      continue;
    }
    const double* nearer = distances[0] <= distances[1] ? offsets[0] : offsets[1];
    const bool atCentre = nearer[0] == 0.0 && nearer[1] == 0.0 && nearer[2] == 0.0;
    normals.push_back(atCentre ? Point3{1.0f, 0.0f, 0.0f} : unit(nearer[0], nearer[1], nearer[2]));
  }
  return normals;
}

}  // namespace mcubes::internal

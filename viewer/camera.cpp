#include "viewer/camera.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double degreesPerPixel = 0.4;
constexpr double zoomPerNotch = 0.9;
// The projection's near plane is 1 unit from the eye and its far plane 2001:
// the scene (within 8.5 of the origin) stays between them.
constexpr double nearestDistance = 2.0;
constexpr double farthestDistance = 1000.0;
// Half the projection's 45-degree vertical field of view.
const double halfViewTangent = std::tan(22.5 * std::acos(-1.0) / 180.0);

}  // namespace

void orbitCamera(Camera& camera, int dx, int dy) {
  // The yaw wraps so that it stays small however long the user turns.
  camera.yawDegrees = std::remainder(camera.yawDegrees + dx * degreesPerPixel, 360.0);
  camera.pitchDegrees = std::clamp(camera.pitchDegrees + dy * degreesPerPixel, -90.0, 90.0);
}

void zoomCamera(Camera& camera, double notches) {
  camera.distance = std::clamp(camera.distance * std::pow(zoomPerNotch, notches), nearestDistance,
                               farthestDistance);
}

void panCamera(Camera& camera, int dx, int dy, int viewportHeight) {
  if (viewportHeight <= 0) {
    return;
  }
  // The height of the view at the point looked at, spread over the pixels.
  const double unitsPerPixel = 2.0 * camera.distance * halfViewTangent / viewportHeight;
  camera.panX += dx * unitsPerPixel;
  camera.panY -= dy * unitsPerPixel;  // window rows grow downwards
}

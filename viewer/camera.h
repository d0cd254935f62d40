// The viewer's orbiting camera as plain numbers, and the pointer gestures
// that change it. It starts at the demo's view: the eye 40 units back along
// +z, looking at the origin, y up.
#pragma once

struct Camera {
  double yawDegrees = 0.0;    // turn about the world's y axis
  double pitchDegrees = 0.0;  // tilt about the eye's x axis, within +-90
  double distance = 40.0;     // from the eye to the point looked at
  double panX = 0.0;          // that point's offset across the view, in world units
  double panY = 0.0;
};

// Turns the scene with the pointer: a drag across the window's width turns
// it about half a turn.
void orbitCamera(Camera& camera, int dx, int dy);

// Moves the eye along its line of sight by `notches` wheel notches, each
// 10 % of the distance; positive comes closer. The distance stays within
// reach of the near and far planes.
void zoomCamera(Camera& camera, double notches);

// Moves the scene with the pointer so that the point looked at follows it,
// for a viewport `viewportHeight` pixels high.
void panCamera(Camera& camera, int dx, int dy, int viewportHeight);

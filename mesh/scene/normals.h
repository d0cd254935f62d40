// Per-vertex normals of the scene's surface from the field itself rather
// than from the faces: smooth at any resolution.
#pragma once

#include <vector>

#include "iso/isosurface.h"
#include "mesh/surface/surface.h"
#include "scene/scene.h"

namespace mcubes::internal {

// The unit vector against the gradient of the two balls' summed field at
// each point: the field falls outward, so these point out of the blobs.
// Where the gradient vanishes (a point exactly between two equal balls) the
// normal is the unit vector from the nearer centre, or +x at a centre.
PointArray fieldNormals(const BallCentres& balls, const PointArray& points);

}  // namespace mcubes::internal

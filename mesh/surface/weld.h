// Welding the extractor's triangles into an indexed mesh whose faces are
// wound counter-clockwise seen from outside the blobs (the reverse of the
// drawing order), so that viewers compute outward normals.
#pragma once

#include <cstddef>

#include "mesh/surface/surface.h"

namespace mcubes::internal {

// The triangle with its winding reversed: outward instead of drawing order.
Triangle outwardFace(const Triangle& triangle);

// The triangles as extracted, each with three vertices of its own, turned
// outward; the surface's normals, if it has them, go with their vertices.
IndexedMesh unweldedMesh(const ExtractedSurface& surface);

// Turns every face the other way round: for a lattice whose axes are
// mirrored (a negative determinant), where the extraction's outward order
// faces inward in world space.
void reverseFaces(IndexedMesh& mesh);

}  // namespace mcubes::internal

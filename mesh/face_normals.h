// Per-vertex normals from the faces: what a mesh whose vertices have moved
// (smoothed, decimated) can still have, where the field it came from no
// longer describes it.
#pragma once

#include <vector>

#include "mesh/surface.h"

// Each vertex's unit normal: the sum of its faces' normals weighted by
// their areas (the cross product of two edges), so that slivers count for
// little; outward where the faces wind outward. A vertex whose faces'
// normals cancel, or that has none, gets +x.
std::vector<Point3> faceAreaNormals(const IndexedMesh& mesh);

// The tests' definition of the welded mesh, which the extractors' welding
// as they sweep must give exactly.
#pragma once

#include "mesh/surface/surface.h"

// Welding a soup by edge key: the definition of the welded mesh. The
// extractors weld as they sweep instead (weldSceneSurface, weldVolume),
// without a hash over every edge, and give exactly this mesh.
// Makes the vertices on one grid edge one vertex, at the position of the
// first of them, and turns the faces outward in the triangles' order. Where
// the cells agree on their shared corners' sides of the iso level, as they
// do unless a value lies within rounding of it, every edge of the result is
// shared by exactly two faces. A vertex snapped onto a cell corner stays
// apart from those of the corner's other edges, so a face can have no area
// but never loses its place in the surface. Needs the surface's edge keys;
// takes each vertex's normal, where the surface has normals, from its first
// triangle, as the position; memory grows linearly with the vertices.
mcubes::internal::IndexedMesh weldSurface(const mcubes::internal::ExtractedSurface& surface);

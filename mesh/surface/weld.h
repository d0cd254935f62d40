// Welding the extractor's triangles into an indexed mesh whose faces are
// wound counter-clockwise seen from outside the blobs (the reverse of the
// drawing order), so that viewers compute outward normals.
#pragma once

#include <cstddef>

#include "mesh/surface/surface.h"

// The triangle with its winding reversed: outward instead of drawing order.
Triangle outwardFace(const Triangle& triangle);

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
IndexedMesh weldSurface(const ExtractedSurface& surface);

// The triangles as extracted, each with three vertices of its own, turned
// outward; the surface's normals, if it has them, go with their vertices.
IndexedMesh unweldedMesh(const ExtractedSurface& surface);

// Turns every face the other way round: for a lattice whose axes are
// mirrored (a negative determinant), where the extraction's outward order
// faces inward in world space.
void reverseFaces(IndexedMesh& mesh);

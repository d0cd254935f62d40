// The arrays the viewer draws from, derived from a welded mesh: the mesh
// itself for smooth shading, each face on its own with the face's normal for
// flat shading, and each edge once for the wireframe.
#pragma once

#include <cstdint>
#include <vector>

#include "iso/isosurface.h"
#include "mesh/weld.h"

// Three corners per face in face order with the face's outward unit normal
// on each (zero for a face without area).
void buildFlatArrays(const IndexedMesh& mesh, std::vector<Point3>& vertices,
                     std::vector<Point3>& normals);

// Every edge of the faces once, as pairs of vertex indices (lower first),
// for GL_LINES.
void buildEdgeList(const IndexedMesh& mesh, std::vector<std::uint32_t>& edges);

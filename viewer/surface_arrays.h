// The arrays the viewer draws from, derived from a welded mesh: its
// vertices with their normals for smooth shading, each face on its own with
// the face's normal for flat shading, each edge once for the wireframe.
// Laid out as the browser's GL emulation draws client memory fast and at
// all: position and normal side by side in one array, indices 16-bit where
// the vertices allow it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "iso/isosurface.h"
#include "mesh/surface/weld.h"

struct ShadedVertex {
  Point3 position;
  Point3 normal;
};

// Indices for glDrawElements: `narrow` when every index fits 16 bits,
// otherwise `wide`; the other one is empty.
struct ElementIndices {
  std::vector<std::uint16_t> narrow;
  std::vector<std::uint32_t> wide;

  std::size_t size() const { return narrow.empty() ? wide.size() : narrow.size(); }
};

// The mesh's vertices with their normals.
void buildSmoothArray(const mcubes::internal::IndexedMesh& mesh,
                      std::vector<ShadedVertex>& vertices);

// Three corners per face in face order with the face's outward unit normal
// on each (zero for a face without area).
void buildFlatArray(const mcubes::internal::IndexedMesh& mesh, std::vector<ShadedVertex>& vertices);

// The faces' corners in order, for GL_TRIANGLES.
void buildFaceIndices(const mcubes::internal::IndexedMesh& mesh, ElementIndices& indices);

// Every edge of the faces once, as pairs of vertex indices (lower first),
// for GL_LINES.
void buildEdgeIndices(const mcubes::internal::IndexedMesh& mesh, ElementIndices& indices);

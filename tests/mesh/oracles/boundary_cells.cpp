#include "tests/mesh/oracles/boundary_cells.h"

using namespace mcubes::internal;

void appendBoundaryCells(const VolumeGeometry& geometry, const VolumeBoundary& boundary,
                         double isoLevel, bool normals, ExtractedSurface& surface, Inside side) {
  forEachBoundaryTriangle(geometry, boundary, isoLevel, side, [&](const CapTriangle& cap) {
    surface.triangles.push_back(cap.triangle);
    surface.edges.push_back(cap.keys);
    if (normals) surface.normals.push_back(cap.normals);
  });
}

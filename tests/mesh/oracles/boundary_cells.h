// The cells around a volume as a triangle soup, for the tests that weld a
// volume's whole soup by edge key (tests/mesh/oracles/weld_by_edge.h) to
// check the sweep's welding and caps.
#pragma once

#include "mesh/surface/inside.h"
#include "mesh/surface/surface.h"
#include "mesh/volume/volume_caps.h"

// Appends the triangles of the cells around the volume to `surface`, with
// edge keys, and with normals where the surface has them.
void appendBoundaryCells(const mcubes::internal::VolumeGeometry& geometry,
                         const mcubes::internal::VolumeBoundary& boundary, double isoLevel,
                         bool normals, mcubes::internal::ExtractedSurface& surface,
                         mcubes::internal::Inside inside = mcubes::internal::Inside::Above);

// Closing the welded surface where it leaves the grid. Where a blob reaches
// past the outermost cell corners, the extracted surface stops at the grid's
// outer faces with an open rim; flat caps on those faces make the mesh the
// boundary of a solid again, as a printer or a volume computation needs.
#pragma once

#include <cstddef>

#include "mesh/grid.h"
#include "mesh/weld.h"

// Adds faces that close every open rim lying on the grid's outer faces,
// wound like the rest (outward), and returns how many it added. Each rim is
// triangulated flat by ear clipping in the plane of the grid face it lies
// on, using only the rim's own vertices. Edges away from the grid's faces
// are never touched.
std::size_t capGridBoundary(IndexedMesh& mesh, const SceneGrid& grid);

// Closing the welded surface where it leaves the grid or the volume. Where
// the region at or above the iso level reaches past the outermost cell
// corners, the extracted surface stops at the lattice's outer faces with an
// open rim; flat caps on those faces make the mesh the boundary of a solid
// again, as a printer or a volume computation needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "mesh/grid.h"
#include "mesh/weld.h"
#include "volume/volume.h"

// Closes every open rim whose vertices all pass `onBoundary`, wound like the
// rest of the mesh, and returns how many faces it added. `coordinates` gives
// a vertex in a space where the lattice's faces are flat and square to the
// axes (index space, or any scaling of it): each rim is triangulated by ear
// clipping in the plane across the axis along which it is flattest there,
// using only the rim's own vertices. Edges off the boundary are never touched.
std::size_t capOpenRims(IndexedMesh& mesh, const std::function<bool(std::uint32_t)>& onBoundary,
                        const std::function<void(std::uint32_t, double (&)[3])>& coordinates);

// The scene's grid: a vertex lies on its outer faces when a coordinate
// equals the outermost corners' coordinate.
std::size_t capGridBoundary(IndexedMesh& mesh, const SceneGrid& grid);

// The same on the faces of a volume's lattice: a vertex lies on one when its
// edge (mesh.vertexEdges, from welding the volume's surface) does.
std::size_t capVolumeBoundary(IndexedMesh& mesh, const VolumeGeometry& geometry);

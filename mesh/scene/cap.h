// Closing the scene's welded surface where it leaves the grid. Where a blob
// reaches past the outermost cell corners, the extracted surface stops at
// the grid's outer faces with an open rim; flat caps on those faces make the
// mesh the boundary of a solid again, as a printer or a volume computation
// needs. (A volume's surface is closed by mesh/volume_caps.h.)
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "mesh/scene/grid.h"
#include "mesh/surface/weld.h"
#include "volume/volume.h"

// Closes every open rim that lies on one face of the lattice's box, wound
// like the rest of the mesh, and returns how many faces it added.
// `facesOf` gives the faces a vertex lies on, one bit per face (0: none).
// `coordinates` gives a vertex in a space where the box's faces are flat and
// square to the axes (index space, or any scaling of it): each rim is
// triangulated by ear clipping in the plane of its face, using only the
// rim's own vertices. A rim that crosses an edge of the box is not flat and
// is left open (counted in `uncapped`, if given): closing it needs the box's
// own corners, which this does not add. Edges off the boundary are never
// touched.
std::size_t capOpenRims(IndexedMesh& mesh, const std::function<unsigned(std::uint32_t)>& facesOf,
                        const std::function<void(std::uint32_t, double (&)[3])>& coordinates,
                        std::size_t* uncapped = nullptr);

// The scene's grid: a vertex lies on its outer faces when a coordinate
// equals the outermost corners' coordinate.
std::size_t capGridBoundary(IndexedMesh& mesh, const SceneGrid& grid,
                            std::size_t* uncapped = nullptr);

// The grid's box as a lattice of its cell corners (divisions + 2 a side),
// for the stages that keep the caps on its faces (mesh/finishing/finishing.h).
VolumeGeometry gridBox(const SceneGrid& grid);

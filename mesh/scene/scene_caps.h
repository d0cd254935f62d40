// Closing the scene's welded surface where it leaves the grid, as a
// volume's is closed (mesh/volume/volume_caps.h): the grid's cell corners are a
// lattice of divisions + 2 points a side with the field's values on them,
// and around it lies, in thought, one more layer below the level. The cells
// that reach into that layer give caps that lie flat on the box's faces and
// follow the surface's rim across the faces, the box's edges and corners
// alike; welded by edge with the surface they close it.
#pragma once

#include "mesh/scene/grid.h"
#include "mesh/volume/volume_caps.h"
#include "scene/scene.h"
#include "volume/volume.h"

namespace mcubes::internal {

// The grid's box as a lattice of its cell corners (divisions + 2 a side),
// x fastest, then y, then z: the numbering of the edges its caps and its
// surface's faceEdges share (weldSceneSurface), and the box whose faces the
// stages that keep caps flat see (mesh/finishing/finishing.h).
VolumeGeometry gridBox(const SceneGrid& grid);

// The field on the box's faces and where their corners lie, as the grid's
// outermost cells sample them: lattice point p of an axis is the low corner
// of cell p, the last one the high corner of the last cell.
struct SceneBoundary {
  VolumeBoundary values;
  LatticePoints points;
};

SceneBoundary sceneBoundary(const BallCentres& balls, const SceneGrid& grid);

}  // namespace mcubes::internal

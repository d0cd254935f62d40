// A volume's share (mesh/pipeline/surface_pipeline.h) as bytes for another process
// of the same build on the same kind of machine, with the faces' voxels of
// its slices.
#pragma once

#include <vector>

#include "mesh/pipeline/surface_pipeline.h"

namespace mcubes::internal {

std::vector<char> shareBytes(const VolumeShare& share, const VolumeBoundary& boundary);

// The share the bytes hold; its faces' voxels go to `boundary`.
VolumeShare shareFromBytes(const std::vector<char>& bytes, VolumeBoundary& boundary);

}  // namespace mcubes::internal

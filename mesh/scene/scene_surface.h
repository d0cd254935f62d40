// The demo's scene as a mesh, through the pipeline's stages: for the demo's
// tools (mcubes mesh without a volume, the viewer), not the library, whose
// users mesh volumes.
#pragma once

#include <cstdint>

#include "mesh/pipeline/surface_pipeline.h"
#include "scene/scene.h"

namespace mcubes::internal {

// The scene at the balls' positions on a grid of `divisions`.
IndexedMesh sceneSurface(const BallCentres& balls, std::int32_t divisions,
                         const SurfaceOptions& options, SurfaceReport& report,
                         const SurfaceProgress& progress = {});

}  // namespace mcubes::internal

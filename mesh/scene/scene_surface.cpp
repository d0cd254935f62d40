#include "mesh/scene/scene_surface.h"

#include <optional>

#include "mesh/distributed/volume_piece.h"
#include "mesh/scene/extract.h"
#include "mesh/scene/grid.h"
#include "mesh/scene/normals.h"
#include "mesh/scene/scene_caps.h"
#include "mesh/surface/weld.h"

namespace mcubes::internal {

// The scene's report stays empty: its caps close every rim.
IndexedMesh sceneSurface(const BallCentres& balls, std::int32_t divisions,
                         const SurfaceOptions& options, SurfaceReport&,
                         const SurfaceProgress& progress) {
  ExtractionSettings settings;
  settings.divisions = divisions;
  settings.isoLevel = options.isoLevel;
  settings.threads = options.threads;
  SlabProgress slabs;
  if (progress) {
    slabs = [&](std::int32_t done, std::int32_t total) { progress("slab", done, total); };
  }
  IndexedMesh mesh;
  if (!options.welded) {
    mesh = unweldedMesh(extractSurface(balls, settings, slabs));
  } else {
    WeldedPart part = weldSceneSurface(balls, settings, slabs);
    const SceneGrid grid = sceneGrid(divisions);
    std::optional<SceneBoundary> box;
    if (options.closed) box = sceneBoundary(balls, grid);
    // Snapped vertices of neighbouring cells can lie a few bits apart: only
    // those with the same bits are one.
    mesh = closeAndMerge(gridBox(grid), part,
                         {box ? &box->values : nullptr, options.isoLevel, Inside::Above,
                          box ? box->points : LatticePoints()},
                         {options.mergeSnapped, true, false});
  }
  if (options.normals) mesh.normals = fieldNormals(balls, mesh.vertices);
  return mesh;
}

}  // namespace mcubes::internal

#include "mesh/scene/scene_surface.h"

#include "mesh/scene/cap.h"
#include "mesh/scene/extract.h"
#include "mesh/scene/grid.h"
#include "mesh/scene/normals.h"
#include "mesh/surface/degenerate_faces.h"
#include "mesh/surface/weld.h"

IndexedMesh sceneSurface(const BallCentres& balls, std::int32_t divisions,
                         const SurfaceOptions& options, SurfaceReport& report,
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
    mesh = weldSceneSurface(balls, settings, slabs);
    if (options.closed) capGridBoundary(mesh, sceneGrid(divisions), &report.uncappedRims);
    if (options.mergeSnapped) mergeCoincidentVertices(mesh);
    finishSurface(mesh, options);
  }
  if (options.normals) mesh.normals = fieldNormals(balls, mesh.vertices);
  return mesh;
}

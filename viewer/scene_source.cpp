#include <algorithm>
#include <cmath>

#include "mesh/scene/grid.h"
#include "mesh/scene/scene_surface.h"
#include "viewer/surface_source.h"

using namespace mcubes::internal;

namespace {

// Where the grid cuts the surface open, its rim lies on the grid's outer
// faces: its vertices lie on edges between outer corners, so they sit
// exactly in the outer planes. The surface is closed when no vertex does.
// (A vertex inside comes that close only when it lies within rounding of an
// outer corner.)
bool clearOfGridFaces(const PointArray& vertices, std::int32_t divisions) {
  const float outer = static_cast<float>(GridExtent) / 2.0f + sceneGrid(divisions).halfEdge;
  const float inside = outer * (1.0f - 1e-6f);
  return std::none_of(vertices.begin(), vertices.end(), [inside](const Point3& p) {
    return std::fabs(p.x) >= inside || std::fabs(p.y) >= inside || std::fabs(p.z) >= inside;
  });
}

}  // namespace

SceneSource::SceneSource(int threads) {
  options_.threads = threads;
  // Frames are drawn as welded: the caps and the merge of snapped vertices
  // would cost time every frame and change nothing but the rim, which is
  // drawn from both sides where the surface is open.
  options_.closed = false;
  options_.mergeSnapped = false;
  options_.normals = true;
}

SurfaceDescription SceneSource::describe() const {
  SurfaceDescription description;
  description.animated = true;
  return description;
}

bool SceneSource::extract(const ViewState& state, IndexedMesh& mesh, std::vector<Rgb>& colours) {
  colours.clear();
  options_.isoLevel = state.iso.value();
  SurfaceReport report;
  mesh = sceneSurface(ballCentres(state.tick), state.divisions, options_, report);
  return clearOfGridFaces(mesh.vertices, state.divisions);
}

#include <algorithm>
#include <cmath>

#include "mesh/grid.h"
#include "mesh/normals.h"
#include "viewer/surface_source.h"

namespace {

// Where the grid cuts the surface open, its rim lies on the grid's outer
// faces: its vertices lie on edges between outer corners, so they sit
// exactly in the outer planes. The surface is closed when no vertex does.
// (A vertex inside comes that close only when it lies within rounding of an
// outer corner.)
bool clearOfGridFaces(const std::vector<Point3>& vertices, std::int32_t divisions) {
  const float outer = static_cast<float>(GridExtent) / 2.0f + sceneGrid(divisions).halfEdge;
  const float inside = outer * (1.0f - 1e-6f);
  return std::none_of(vertices.begin(), vertices.end(), [inside](const Point3& p) {
    return std::fabs(p.x) >= inside || std::fabs(p.y) >= inside || std::fabs(p.z) >= inside;
  });
}

}  // namespace

SceneSource::SceneSource(int threads) {
  settings_.threads = threads;
  settings_.edgeKeys = true;  // welding needs them
}

SurfaceDescription SceneSource::describe() const {
  SurfaceDescription description;
  description.animated = true;
  return description;
}

bool SceneSource::extract(const ViewState& state, IndexedMesh& mesh) {
  const BallCentres balls = ballCentres(state.tick);
  settings_.divisions = state.divisions;
  settings_.isoLevel = state.iso.value();
  extractSurfaceInto(balls, settings_, extracted_);
  mesh = weldSurface(extracted_);
  mesh.normals = fieldNormals(balls, mesh.vertices);
  return clearOfGridFaces(mesh.vertices, state.divisions);
}

#include "mesh/normals.h"
#include "viewer/surface_source.h"

SceneSource::SceneSource(int threads) {
  settings_.threads = threads;
  settings_.edgeKeys = true;  // welding needs them
}

void SceneSource::extract(const ViewState& state, IndexedMesh& mesh) {
  const BallCentres balls = ballCentres(state.tick);
  settings_.divisions = state.divisions;
  // The scene's extractor works at the scene's iso level, 0.25, whatever the
  // state's level is.
  extractSurfaceInto(balls, settings_, extracted_);
  mesh = weldSurface(extracted_);
  mesh.normals = fieldNormals(balls, mesh.vertices);
}

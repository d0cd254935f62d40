#include "library/mesh_stages.h"

#include "library/mesh_run.h"
#include "mesh/finishing/patient_space.h"
#include "mesh/surface/degenerate_faces.h"

using namespace mcubes::internal;

namespace mcubes {

namespace {

void finishing(IndexedMesh& mesh, const StageContext& context) {
  FinishingOptions options =
      internalFinishing(context.request.finish, context.request.surface.normals);
  // Conforming labels were smoothed together, before their meshes were
  // taken apart.
  if (context.request.conforming) options.smoothIterations = 0;
  finishNoting(mesh, options, context.header.geometry, "the volume's units", context.findings,
               context.subject);
}

void toPatientSpace(IndexedMesh& mesh, const StageContext& context) {
  moveToSpace(mesh, context.header.space, context.space);
}

// A label's surface has no vertex on a voxel, so none snaps: only a level's
// is counted.
void flatFaces(IndexedMesh& mesh, const StageContext& context) {
  if (context.request.labels || !context.request.surface.welded) return;
  addFlatFaces(context.findings, zeroAreaFaces(mesh), mesh.faces.size());
}

}  // namespace

const std::vector<Stage>& stages() {
  static const std::vector<Stage> all = {finishing, toPatientSpace, flatFaces};
  return all;
}

void runStages(IndexedMesh& mesh, const StageContext& context) {
  for (const Stage stage : stages()) stage(mesh, context);
}

}  // namespace mcubes

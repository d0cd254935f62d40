// The stages a run applies to each surface once it is extracted, welded,
// capped and merged (mesh/pipeline/surface_pipeline.h), in their order: the
// finishing steps, the move to the patient space asked for, the count of
// faces left without area. A stage is one function over the mesh that reads
// its own option of the request and does nothing where it is not asked for;
// adding one is a function here, its place in stages(), and its option in
// MeshRequest (include/mcubes/meshing.h).
#pragma once

#include <string>
#include <vector>

#include "library/findings.h"
#include "mcubes/meshing.h"
#include "mesh/surface/surface.h"
#include "volume/volume.h"

namespace mcubes {

// What a stage knows of the run.
struct StageContext {
  const MeshRequest& request;
  const internal::VolumeHeader& header;  // the volume's, in its file's space
  internal::WorldSpace space;            // the space the mesh goes to
  FindingList& findings;
  std::string subject;  // the label a label map's surface is of, else empty
};

using Stage = void (*)(internal::IndexedMesh& mesh, const StageContext& context);

// The stages in their order.
const std::vector<Stage>& stages();

// Runs every stage over `mesh`.
void runStages(internal::IndexedMesh& mesh, const StageContext& context);

}  // namespace mcubes

// The one run behind every front end's "mesh this volume": open the source,
// choose the level, extract (a level's surface or a label map's), note what
// was found, finish, move to the patient space asked for. Meshes stay in
// the pipeline's own type, so that a caller that writes them (mcubes mesh,
// meshVolumeToFile) never copies them.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "mcubes/meshing.h"
#include "mesh/finishing/finishing.h"
#include "mesh/pipeline/streamed_surface.h"
#include "mesh/pipeline/surface_pipeline.h"
#include "mesh/surface/surface.h"
#include "volume/label_styles.h"
#include "volume/volume.h"

namespace mcubes {

struct RunSurface {
  std::int64_t label = 0;
  internal::LabelStyle style;  // label maps
  internal::IndexedMesh mesh;
  std::optional<std::int64_t> beyond = std::nullopt;  // interfaces: the label beyond
};

struct Run {
  bool labels = false;  // a label map's surfaces, one per label found
  std::vector<RunSurface> surfaces;
  internal::WorldSpace space = internal::WorldSpace::Unstated;  // the surfaces' space
  MeshReport report;
};

// The source opened, as the run reads it (a reader of the file, or of the
// caller's array in place). Throws FileError or ArgumentError.
std::unique_ptr<internal::VolumeReader> openSource(const MeshRequest& request);

// The caller's array read in place as the volume `geometry` places: the
// whole of it, or from slice `firstSlice` on, a slab of it (a piece's
// slices). Throws ArgumentError for a geometry that is not finite or whose
// dims are not the array's along i and j, or slices it does not have.
std::unique_ptr<internal::VolumeReader> openArray(const Geometry& geometry, const ArrayView& array,
                                                  std::int64_t firstSlice = 0);

// Runs the request. `beforeWork`, if given, is called with the open volume
// before its voxels are read (to refuse an output that is the volume's own
// file). Throws ArgumentError, FileError or Cancelled.
Run runRequest(const MeshRequest& request,
               const std::function<void(const internal::VolumeReader&)>& beforeWork = {});

// How a level's surface is extracted: volumeSurface, or several processes
// each meshing their share (library/mesh_across.h).
using Extractor = std::function<internal::IndexedMesh(internal::VolumeReader& reader,
                                                      const internal::SurfaceOptions& options,
                                                      internal::SurfaceReport& report)>;

// The same over a volume already open at its first slice (the request's
// source names it, for messages and Otsu's level).
Run runOn(const MeshRequest& request, internal::VolumeReader& reader,
          const Extractor& extract = {});

// Where runStreamed's surface goes: called once the run is begun (its
// comment and space known) with `sweep`, which meshes the volume into the
// stream it is given.
using StreamedWrite = std::function<void(
    const Run& run, const std::function<void(internal::SurfaceStream& stream)>& sweep)>;

// Whether runStreamed can run `request` over a volume of `geometry`: a
// level's surface, welded, with no finishing step (they need the whole
// mesh), streamsSurface allowing.
bool streams(const MeshRequest& request, const internal::VolumeGeometry& geometry);

// runOn for a request that streams(): the surface goes into the stream of
// `write` as the sweep makes it, moved to the patient space asked for and
// its flat faces counted on the way, and the run's surfaces stay empty.
Run runStreamed(const MeshRequest& request, internal::VolumeReader& reader,
                const StreamedWrite& write);

// Refuses what no run can do, before any work: options out of range,
// finishing asked of the unwelded mesh, labels of an open one, caps of the
// unwelded triangles.
void checkRequest(const MeshRequest& request);

class FindingList;

// What a run knows before it extracts: the space the mesh goes to, the
// level (Otsu's, where asked, the volume read for it), the report's
// geometry, space and comment; the reader's notice noted.
void beginRun(const MeshRequest& request, const internal::VolumeHeader& header, Run& run,
              FindingList& findings);

// The run's surfaces as the public meshes, with its report.
MeshResult meshResult(Run&& run);

// The public options' progress callback as the pipeline's, throwing
// Cancelled where it returns false (none where there is none).
internal::SurfaceProgress progressOf(const SurfaceOptions& options);

// The processors this process may run on (its CPU affinity: taskset, a
// container's or an MPI launcher's binding), else the machine's.
int availableProcessors();

// The pipeline's options for the public ones; throws ArgumentError for
// options out of range.
internal::SurfaceOptions internalOptions(const SurfaceOptions& options);
internal::FinishingOptions internalFinishing(const FinishOptions& options, bool normals);

}  // namespace mcubes

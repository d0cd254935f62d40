#include "mcubes/meshing.h"

#include "library/conversion.h"
#include "library/mesh_output.h"
#include "library/mesh_run.h"
#include "mcubes/error.h"
#include "volume/output_file.h"

using namespace mcubes::internal;

namespace mcubes {

namespace {

OutputText outputText(const WriteOptions& options, const MeshReport& report) {
  return {options.comment.empty() ? report.comment : options.comment,
          spaceNamed(options.space.empty() ? report.space : options.space), options.ascii};
}

}  // namespace

Geometry gridGeometry(const std::int64_t (&dims)[3], const Placement& placement) {
  return publicGeometry(placedGeometry(dims, placement));
}

ArraySource arraySource(const ArrayView& array, const Placement& placement) {
  return {array, gridGeometry(array.dims, placement)};
}

MeshResult meshVolume(const MeshRequest& request) { return meshResult(runRequest(request)); }

MeshReport meshVolumeToFile(const MeshRequest& request, const std::string& path,
                            const WriteOptions& options) {
  const OutputPlan plan = planOutput(path, options.format, labelsAsked(request));
  spaceNamed(options.space);
  refuseMissingNormals(plan, request.surface.normals);
  checkRequest(request);
  const std::unique_ptr<VolumeReader> reader = openSource(request);
  // Before the work: the volume's own files are known while it is open.
  if (const std::string refused = refusedOutput(plan.perLabel ? "" : path); !refused.empty()) {
    throw FileError(refused, path);
  }
  // Where nothing needs the whole mesh, it leaves for the file as it is made.
  if (streams(request, reader->header().geometry) &&
      streamsTo(path, plan, outputText(options, {}))) {
    Run run = runStreamed(request, *reader, [&](const Run& begun, const auto& sweep) {
      writeStreamed(path, plan, outputText(options, begun.report), request.surface.normals, sweep);
    });
    return std::move(run.report);
  }
  Run run = runOn(request, *reader);
  OutputText text = outputText(options, run.report);
  text.threads = request.surface.threads > 0 ? request.surface.threads : availableProcessors();
  writeRun(path, plan, run, text);
  return std::move(run.report);
}

void writeMeshes(const std::string& path, const MeshResult& result, const WriteOptions& options) {
  const bool labels = !result.surfaces.empty() && !result.surfaces.front().name.empty();
  const OutputPlan plan =
      planOutput(path, options.format, labels ? static_cast<long>(result.surfaces.size()) : 0);
  Run run;
  run.labels = labels;
  for (const Surface& surface : result.surfaces) {
    run.surfaces.push_back({surface.label,
                            {surface.name, surface.colour},
                            internalMesh(surface.mesh),
                            surface.beyond});
  }
  writeRun(path, plan, run, outputText(options, result.report));
}

}  // namespace mcubes

#include "mcubes/surface.h"

#include "library/conversion.h"
#include "library/mesh_run.h"
#include "mcubes/error.h"
#include "mcubes/meshing.h"

using namespace mcubes::internal;

namespace mcubes {

namespace {

MeshRequest levelRequest(const SurfaceOptions& options) {
  MeshRequest request;
  request.surface = options;
  return request;
}

MeshRequest labelRequest(const std::vector<std::int64_t>& labels, const SurfaceOptions& options) {
  MeshRequest request;
  request.surface = options;
  request.labels = labels;
  return request;
}

Mesh onlyMesh(MeshResult&& result) { return std::move(result.surfaces.front().mesh); }

std::vector<LabelMesh> labelMeshes(std::vector<RunSurface>&& surfaces) {
  std::vector<LabelMesh> result;
  result.reserve(surfaces.size());
  for (RunSurface& surface : surfaces) {
    result.push_back({surface.label, publicMesh(std::move(surface.mesh))});
  }
  return result;
}

}  // namespace

Mesh extract(Volume& volume, const SurfaceOptions& options) {
  Run run = runOn(levelRequest(options), VolumeAccess::unreadReader(volume));
  return publicMesh(std::move(run.surfaces.front().mesh));
}

Mesh extract(const ArrayView& array, const Placement& placement, const SurfaceOptions& options) {
  MeshRequest request = levelRequest(options);
  request.source = arraySource(array, placement);
  return onlyMesh(meshVolume(request));
}

std::vector<LabelMesh> extractLabels(Volume& volume, const std::vector<std::int64_t>& labels,
                                     const SurfaceOptions& options) {
  return labelMeshes(
      runOn(labelRequest(labels, options), VolumeAccess::unreadReader(volume)).surfaces);
}

std::vector<LabelMesh> extractLabels(const ArrayView& array, const Placement& placement,
                                     const std::vector<std::int64_t>& labels,
                                     const SurfaceOptions& options) {
  MeshRequest request = labelRequest(labels, options);
  request.source = arraySource(array, placement);
  return labelMeshes(runRequest(request).surfaces);
}

void finish(Mesh& mesh, const FinishOptions& options, const Geometry* box) {
  FinishingOptions finishing = internalFinishing(options, !mesh.normals.empty());
  IndexedMesh indexed = internalMesh(mesh);
  const VolumeGeometry volume = box ? internalGeometry(*box) : VolumeGeometry{};
  FinishingReport report;
  finishMesh(indexed, finishing, box ? &volume : nullptr, report);
  mesh = publicMesh(std::move(indexed));
}

}  // namespace mcubes

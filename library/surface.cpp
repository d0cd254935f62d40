#include "mcubes/surface.h"

#include <cmath>

#include "library/conversion.h"
#include "mcubes/error.h"
#include "mesh/finishing/decimation.h"
#include "mesh/finishing/finishing.h"
#include "mesh/pipeline/surface_pipeline.h"
#include "volume/array_volume.h"

namespace mcubes {

namespace {

ArrayVolume arrayVolume(const ArrayView& array, const Placement& placement) {
  return ArrayVolume(placedGeometry(array.dims, placement),
                     {array.data,
                      internalType(array.type),
                      {array.strides[0], array.strides[1], array.strides[2]}});
}

std::vector<LabelMesh> publicLabels(std::vector<LabelSurface>&& surfaces) {
  std::vector<LabelMesh> result;
  result.reserve(surfaces.size());
  for (LabelSurface& surface : surfaces) {
    result.push_back({surface.label, publicMesh(std::move(surface.mesh))});
  }
  return result;
}

// The caller's progress callback, stopping the run where it says so.
SurfaceProgress progressOf(const SurfaceOptions& options) {
  if (!options.progress) return {};
  return [&options](const char*, std::int64_t done, std::int64_t total) {
    if (!options.progress(done, total)) throw Cancelled();
  };
}

}  // namespace

Mesh extract(Volume& volume, const SurfaceOptions& options) {
  const ::SurfaceOptions surface = internalOptions(options);
  SurfaceReport report;
  try {
    return publicMesh(
        volumeSurface(VolumeAccess::unreadReader(volume), surface, report, progressOf(options)));
  } catch (const VolumeError& error) {
    throw FileError(error.what());
  }
}

Mesh extract(const ArrayView& array, const Placement& placement, const SurfaceOptions& options) {
  const ::SurfaceOptions surface = internalOptions(options);
  ArrayVolume reader = arrayVolume(array, placement);
  SurfaceReport report;
  return publicMesh(volumeSurface(reader, surface, report, progressOf(options)));
}

std::vector<LabelMesh> extractLabels(Volume& volume, const std::vector<std::int64_t>& labels,
                                     const SurfaceOptions& options) {
  const ::SurfaceOptions surface = internalOptions(options);
  SurfaceReport report;
  try {
    return publicLabels(labelSurfaces(VolumeAccess::unreadReader(volume), labels, surface, report,
                                      progressOf(options)));
  } catch (const VolumeError& error) {
    throw FileError(error.what());
  }
}

std::vector<LabelMesh> extractLabels(const ArrayView& array, const Placement& placement,
                                     const std::vector<std::int64_t>& labels,
                                     const SurfaceOptions& options) {
  const ::SurfaceOptions surface = internalOptions(options);
  ArrayVolume reader = arrayVolume(array, placement);
  SurfaceReport report;
  try {
    return publicLabels(labelSurfaces(reader, labels, surface, report, progressOf(options)));
  } catch (const VolumeError& error) {
    // A voxel that is no label: the caller's array, not a file.
    throw ArgumentError(error.what());
  }
}

void finish(Mesh& mesh, const FinishOptions& options, const Geometry* box) {
  if (options.minComponent < 0) throw ArgumentError("minComponent must be 0 or more triangles");
  if (options.smoothIterations < 0) throw ArgumentError("smoothIterations must be 0 or more");
  if (!(options.smoothPassband > 0.0 && options.smoothPassband < 2.0)) {
    throw ArgumentError("smoothPassband must lie above 0 and below 2");
  }
  if (!(options.decimate > 0.0 && options.decimate <= 1.0)) {
    throw ArgumentError("decimate must lie above 0 and be at most 1");
  }
  FinishingOptions finishing;
  finishing.keepLargest = options.keepLargest;
  finishing.minComponent = options.minComponent;
  finishing.smoothIterations = options.smoothIterations;
  finishing.smoothPassband = options.smoothPassband;
  finishing.decimate = options.decimate;
  finishing.normals = !mesh.normals.empty();
  IndexedMesh indexed = internalMesh(mesh);
  const VolumeGeometry volume = box ? internalGeometry(*box) : VolumeGeometry{};
  FinishingReport report;
  finishMesh(indexed, finishing, box ? &volume : nullptr, report);
  mesh = publicMesh(std::move(indexed));
}

}  // namespace mcubes

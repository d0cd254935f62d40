#include "mesh/volume/volume_extract.h"

#include <algorithm>

#include "mesh/volume/volume_caps.h"
#include "mesh/volume/volume_slabs.h"

namespace mcubes::internal {

namespace {

// The volume held in memory.
void sweepInMemory(const VolumeGeometry& geometry, const double* values,
                   const VolumeExtractionSettings& settings, const VolumeOutput& output,
                   VolumeFindings& findings, const LayerProgress& progress) {
  checkSettings(geometry, settings);
  findings = {};
  findings.cells = cellCount(geometry.dims);
  if (findings.cells == 0) return;
  const Lattice l = latticeFor(geometry, settings, output.weld != nullptr);
  const std::int64_t layers = l.dims[2] - 1;
  SweepWorkers workers(l, std::min<std::int64_t>(settings.threads, layers));
  sweepLayers(workers, {values, 0, l.dims[0] * l.dims[1]}, layers, output, findings, progress);
}

// The volume's layers [first, last) (last -1: to the end) read slab by
// slab, as many slices as the slice memory holds.
void sweepStreamed(VolumeReader& reader, const VolumeExtractionSettings& settings,
                   std::int64_t first, std::int64_t last, const VolumeOutput& output,
                   VolumeFindings& findings, const LayerProgress& progress,
                   VolumeBoundary* boundary) {
  const VolumeGeometry& geometry = reader.header().geometry;
  checkSettings(geometry, settings);
  findings = {};
  findings.cells = cellCount(geometry.dims);
  if (findings.cells == 0) return;
  const Lattice l = latticeFor(geometry, settings, output.weld != nullptr);
  SlabReading reading = slabReading(geometry, settings.sliceMemory, settings.normals);
  reading.begin = first;
  reading.end = last;
  if (first == last) return;
  const std::int64_t end = last < 0 ? geometry.dims[2] - 1 : last;
  SweepWorkers workers(l, std::min<std::int64_t>(settings.threads, end - first));
  sweepSlabs(reader, reading, workers, boundary, output, findings, progress);
}

}  // namespace

void extractVolumeInto(const VolumeGeometry& geometry, const double* values,
                       const VolumeExtractionSettings& settings, ExtractedSurface& surface,
                       VolumeFindings& findings, const LayerProgress& progress) {
  surface.clear();
  sweepInMemory(geometry, values, settings, {&surface, nullptr}, findings, progress);
}

ExtractedSurface extractVolume(VolumeReader& reader, const VolumeExtractionSettings& settings,
                               VolumeFindings& findings, const LayerProgress& progress,
                               VolumeBoundary* boundary) {
  ExtractedSurface surface;
  sweepStreamed(reader, settings, 0, -1, {&surface, nullptr}, findings, progress, boundary);
  return surface;
}

ExtractedSurface extractVolumeShare(VolumeReader& reader, const VolumeExtractionSettings& settings,
                                    std::int64_t first, std::int64_t last, VolumeFindings& findings,
                                    const LayerProgress& progress, VolumeBoundary* boundary) {
  ExtractedSurface surface;
  sweepStreamed(reader, settings, first, last, {&surface, nullptr}, findings, progress, boundary);
  return surface;
}

void weldVolumeInto(const VolumeGeometry& geometry, const double* values,
                    const VolumeExtractionSettings& settings, VolumeWeld& weld,
                    VolumeFindings& findings, const LayerProgress& progress) {
  sweepInMemory(geometry, values, settings, {nullptr, &weld}, findings, progress);
}

void weldVolume(VolumeReader& reader, const VolumeExtractionSettings& settings, VolumeWeld& weld,
                VolumeFindings& findings, const LayerProgress& progress, VolumeBoundary* boundary) {
  sweepStreamed(reader, settings, 0, -1, {nullptr, &weld}, findings, progress, boundary);
}

void weldVolumeShare(VolumeReader& reader, const VolumeExtractionSettings& settings,
                     std::int64_t first, std::int64_t last, VolumeWeld& weld,
                     VolumeFindings& findings, const LayerProgress& progress,
                     VolumeBoundary* boundary) {
  sweepStreamed(reader, settings, first, last, {nullptr, &weld}, findings, progress, boundary);
}

}  // namespace mcubes::internal

#include "mesh/volume/volume_extract.h"

#include <algorithm>
#include <vector>

#include "mesh/volume/volume_caps.h"
#include "mesh/volume/volume_slabs.h"

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
  std::vector<LayerSweep> sweeps = sweepsFor(l, std::min<std::int64_t>(settings.threads, layers));
  // Progress wants steps; otherwise all layers go to the threads at once.
  const std::int64_t step = progress ? std::max<std::int64_t>(1, layers / 100) : layers;
  const SliceWindow window{values, 0, l.dims[0] * l.dims[1]};
  for (std::int64_t first = 0; first < layers; first += step) {
    const std::int64_t last = std::min(layers, first + step);
    sweepLayers(sweeps, window, first, last, output, findings);
    if (progress) progress(last, layers);
  }
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
  std::vector<LayerSweep> sweeps =
      sweepsFor(l, std::min<std::int64_t>(settings.threads, reading.layers));
  readSlabs(
      reader, reading,
      [boundary](std::int64_t k, const double* slice) {
        if (boundary) boundary->record(k, slice);
      },
      [&](const SliceWindow& window, std::int64_t from, std::int64_t to) {
        sweepLayers(sweeps, window, from, to, output, findings);
      },
      progress);
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

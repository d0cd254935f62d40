#include "mesh/pipeline/layered_segments.h"

#include <algorithm>
#include <map>
#include <memory>

namespace mcubes::internal {

std::vector<LabelSurface> segmentSurfaces(VolumeReader& first, const std::string& path,
                                          const std::vector<LayeredSegment>& segments,
                                          const std::vector<std::int64_t>& numbers,
                                          const SurfaceOptions& options, SurfaceReport& report,
                                          const SurfaceProgress& progress) {
  std::vector<std::int64_t> chosen = numbers;
  if (chosen.empty()) {
    for (const LayeredSegment& segment : segments) chosen.push_back(segment.number);
    std::sort(chosen.begin(), chosen.end());
  }
  // Per layer, its values asked for, and the segments of each.
  std::map<std::int64_t, std::map<std::int64_t, std::vector<std::int64_t>>> layers;
  for (const std::int64_t number : chosen) {
    const auto segment = std::find_if(segments.begin(), segments.end(),
                                      [&](const LayeredSegment& s) { return s.number == number; });
    if (segment == segments.end()) {
      report.absentLabels.push_back(number);
    } else {
      layers[segment->layer][segment->value].push_back(number);
    }
  }
  std::map<std::int64_t, IndexedMesh> meshes;
  for (const auto& [layer, values] : layers) {
    std::unique_ptr<VolumeReader> opened;
    if (layer != 0) opened = openVolumeLayer(path, layer);
    std::vector<std::int64_t> asked;
    for (const auto& [value, segmentsOfValue] : values) asked.push_back(value);
    SurfaceReport layerReport;
    for (LabelSurface& surface :
         labelSurfaces(opened ? *opened : first, asked, options, layerReport, progress)) {
      const std::vector<std::int64_t>& of = values.at(surface.label);
      for (std::size_t n = 0; n + 1 < of.size(); ++n) meshes[of[n]] = surface.mesh;
      meshes[of.back()] = std::move(surface.mesh);
    }
    for (const std::int64_t value : layerReport.absentLabels) {
      for (const std::int64_t number : values.at(value)) report.absentLabels.push_back(number);
    }
    report.findings = layerReport.findings;
  }
  std::sort(report.absentLabels.begin(), report.absentLabels.end());
  std::vector<LabelSurface> surfaces;
  for (const std::int64_t number : chosen) {
    const auto found = meshes.find(number);
    if (found != meshes.end()) surfaces.push_back({number, std::move(found->second)});
  }
  return surfaces;
}

}  // namespace mcubes::internal

#include "mesh/pipeline/surface_pipeline.h"

#include <algorithm>
#include <optional>

#include "mesh/distributed/volume_piece.h"
#include "mesh/finishing/enclosed_volume.h"
#include "mesh/finishing/face_normals.h"
#include "mesh/labels/joint_smoothing.h"
#include "mesh/labels/label_extract.h"
#include "mesh/labels/label_nets.h"
#include "mesh/scene/extract.h"
#include "mesh/scene/grid.h"
#include "mesh/scene/normals.h"
#include "mesh/scene/scene_caps.h"
#include "mesh/surface/weld.h"
#include "mesh/volume/volume_caps.h"
#include "mesh/volume/volume_slabs.h"
#include "mesh/volume/volume_weld.h"

namespace mcubes::internal {

VolumeExtractionSettings extractionSettings(const SurfaceOptions& options) {
  VolumeExtractionSettings settings;
  settings.isoLevel = options.isoLevel;
  settings.inside = options.inside;
  settings.threads = options.threads;
  settings.edgeKeys = false;
  settings.normals = options.normals;
  settings.sliceMemory = options.sliceMemory;
  return settings;
}

LayerProgress layerProgress(const SurfaceProgress& progress) {
  if (!progress) return {};
  return [progress](std::int64_t done, std::int64_t total) { progress("layer", done, total); };
}

namespace {

// A welded volume closed by the cells around it where `caps` holds the
// faces' voxels, merged and turned outward in world space.
IndexedMesh finishVolume(VolumeWeld& weld, const VolumeGeometry& geometry,
                         const VolumeBoundary* caps, double isoLevel, Inside inside,
                         const SurfaceOptions& options) {
  WeldedPart part = weld.take();
  return closeAndMerge(geometry, part, {caps, isoLevel, inside, {}},
                       {options.mergeSnapped, false, options.normals});
}

}  // namespace

IndexedMesh unweldedVolume(const ExtractedSurface& surface, const VolumeGeometry& geometry) {
  IndexedMesh mesh = unweldedMesh(surface);
  // A mirrored lattice turns the extraction's outward order inward.
  if (isMirrored(geometry)) reverseFaces(mesh);
  return mesh;
}

IndexedMesh volumeSurface(VolumeReader& reader, const SurfaceOptions& options,
                          SurfaceReport& report, const SurfaceProgress& progress) {
  const VolumeGeometry& geometry = reader.header().geometry;
  const VolumeExtractionSettings settings = extractionSettings(options);
  if (!options.welded) {
    return unweldedVolume(extractVolume(reader, settings, report.findings, layerProgress(progress)),
                          geometry);
  }
  // The faces' voxels, to close the surface where it leaves the volume.
  std::optional<VolumeBoundary> boundary;
  if (options.closed) boundary.emplace(geometry.dims);
  VolumeWeld weld;
  weldVolume(reader, settings, weld, report.findings, layerProgress(progress),
             boundary ? &*boundary : nullptr);
  const bool capped = boundary && report.findings.cells > 0;
  report.facesAllInside = capped && boundary->allInside(options.isoLevel, options.inside);
  return finishVolume(weld, geometry, capped ? &*boundary : nullptr, options.isoLevel,
                      options.inside, options);
}

VolumeShare volumeShare(VolumeReader& reader, std::int64_t first, std::int64_t last,
                        const SurfaceOptions& options, VolumeBoundary& boundary,
                        const SurfaceProgress& progress) {
  const VolumeExtractionSettings settings = extractionSettings(options);
  VolumeShare share{first, last, {}, {}, {}};
  if (!options.welded) {
    share.soup =
        extractVolumeShare(reader, settings, first, last, share.findings, layerProgress(progress));
    return share;
  }
  VolumeWeld weld;
  weldVolumeShare(reader, settings, first, last, weld, share.findings, layerProgress(progress),
                  &boundary);
  share.part = weld.take();
  return share;
}

IndexedMesh joinVolumeShares(const VolumeGeometry& geometry, std::vector<VolumeShare>& shares,
                             const VolumeBoundary& boundary, const SurfaceOptions& options,
                             SurfaceReport& report) {
  report.findings = {};
  report.findings.cells = cellCount(geometry.dims);
  for (const VolumeShare& share : shares) mergeFindings(report.findings, share.findings);
  if (!options.welded) {
    ExtractedSurface soup;
    for (VolumeShare& share : shares) {
      const auto append = [](auto& to, auto& from) {
        to.insert(to.end(), from.begin(), from.end());
        from = {};
      };
      append(soup.triangles, share.soup.triangles);
      append(soup.normals, share.soup.normals);
    }
    return unweldedVolume(soup, geometry);
  }
  VolumeWeld weld;
  for (VolumeShare& share : shares) {
    if (share.first == share.last) continue;
    weld.add(share.part);
    share.part = {};
  }
  const bool capped = options.closed && report.findings.cells > 0;
  report.facesAllInside = capped && boundary.allInside(options.isoLevel, options.inside);
  return finishVolume(weld, geometry, capped ? &boundary : nullptr, options.isoLevel,
                      options.inside, options);
}

IndexedMesh volumeSurface(const VolumeGeometry& geometry, const double* values,
                          const SurfaceOptions& options, SurfaceReport& report) {
  const VolumeExtractionSettings settings = extractionSettings(options);
  if (!options.welded) {
    ExtractedSurface surface;
    extractVolumeInto(geometry, values, settings, surface, report.findings);
    return unweldedVolume(surface, geometry);
  }
  std::optional<VolumeBoundary> boundary;
  if (options.closed) boundary.emplace(geometry.dims);
  const std::int64_t sliceSize = geometry.dims[0] * geometry.dims[1];
  for (std::int64_t k = 0; boundary && k < geometry.dims[2]; ++k) {
    boundary->record(k, values + k * sliceSize);
  }
  VolumeWeld weld;
  weldVolumeInto(geometry, values, settings, weld, report.findings);
  const bool capped = boundary && report.findings.cells > 0;
  report.facesAllInside = capped && boundary->allInside(options.isoLevel, options.inside);
  return finishVolume(weld, geometry, capped ? &*boundary : nullptr, options.isoLevel,
                      options.inside, options);
}

std::vector<LabelSurface> labelSurfaces(VolumeReader& reader,
                                        const std::vector<std::int64_t>& labels,
                                        const SurfaceOptions& options, SurfaceReport& report,
                                        const SurfaceProgress& progress) {
  const VolumeGeometry& geometry = reader.header().geometry;
  LabelWelds welds =
      weldLabels(reader, labels, extractionSettings(options), layerProgress(progress));
  report.findings = {};
  report.findings.cells = cellCount(geometry.dims);
  std::vector<LabelSurface> surfaces;
  for (LabelWeld& label : welds.labels) {
    if (!label.found) {
      report.absentLabels.push_back(label.label);
      continue;
    }
    // A label away from the volume's faces needs no caps.
    const double value = static_cast<double>(label.label);
    std::optional<VolumeBoundary> caps;
    if (options.closed && welds.boundary.holds(value)) caps = welds.boundary.indicator(value);
    surfaces.push_back({label.label, finishVolume(*label.weld, geometry, caps ? &*caps : nullptr,
                                                  IndicatorLevel, Inside::Above, options)});
    label.weld.reset();
  }
  return surfaces;
}

std::vector<LabelSurface> conformingLabelSurfaces(VolumeReader& reader,
                                                  const std::vector<std::int64_t>& labels,
                                                  const SurfaceOptions& options,
                                                  int smoothIterations, double smoothPassband,
                                                  bool interfaces, SurfaceReport& report,
                                                  const SurfaceProgress& progress) {
  LabelNet net = labelNet(reader, layerProgress(progress));
  report.findings = {};
  report.findings.cells = cellCount(net.geometry.dims);
  // The labels asked for that the map holds, by their index in the net.
  std::vector<std::uint32_t> asked;
  const auto indexOf = [&](std::int64_t label) {
    const auto at = std::lower_bound(net.labels.begin(), net.labels.end(), label);
    return at != net.labels.end() && *at == label
               ? static_cast<std::uint32_t>(at - net.labels.begin())
               : NoVertex;
  };
  for (const std::int64_t label : labels) {
    const std::uint32_t at = indexOf(label);
    if (at == NoVertex) {
      report.absentLabels.push_back(label);
    } else if (std::find(asked.begin(), asked.end(), at) == asked.end()) {
      asked.push_back(at);
    }
  }
  if (labels.empty()) {
    for (std::uint32_t at = 0; at < net.labels.size(); ++at) {
      if (at != net.background) asked.push_back(at);
    }
  }
  LabelInterfaces pairs;
  if (interfaces) pairs = labelInterfaces(net, asked);
  const auto triangles = interfaces ? std::move(pairs.faces) : labelTriangles(net, asked);
  std::vector<double> before(triangles.size());
  if (smoothIterations > 0) {
    for (std::size_t l = 0; l < triangles.size(); ++l) {
      before[l] = signedVolume6(net.vertices, triangles[l]) / 6;
    }
    smoothJointly(net, smoothIterations, smoothPassband);
  }
  std::vector<IndexedMesh> meshes = labelMeshes(net, triangles);
  std::vector<LabelSurface> surfaces;
  for (std::size_t l = 0; l < triangles.size(); ++l) {
    LabelSurface surface{net.labels[interfaces ? pairs.pairs[l][0] : asked[l]],
                         std::move(meshes[l])};
    if (interfaces) surface.beyond = net.labels[pairs.pairs[l][1]];
    if (smoothIterations > 0) {
      surface.volumeBeforeSmoothing = before[l];
      surface.volumeAfterSmoothing = signedVolume6(surface.mesh.vertices, surface.mesh.faces) / 6;
    }
    if (options.normals) surface.mesh.normals = faceAreaNormals(surface.mesh);
    surfaces.push_back(std::move(surface));
  }
  return surfaces;
}

}  // namespace mcubes::internal

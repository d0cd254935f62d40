#include "mesh/finishing/finishing.h"

#include <vector>

#include "mesh/finishing/decimation.h"
#include "mesh/finishing/edge_tally.h"
#include "mesh/finishing/enclosed_volume.h"
#include "mesh/finishing/face_normals.h"
#include "mesh/finishing/mesh_components.h"
#include "mesh/finishing/smoothing.h"

namespace mcubes::internal {

namespace {

// Returns the parts dropped.
std::size_t dropComponents(IndexedMesh& mesh, const FinishingOptions& options,
                           FinishingReport& report, bool again) {
  const MeshComponents parts = meshComponents(mesh);
  if (!again) report.components = parts.faces.size();
  std::vector<bool> keepPart(parts.faces.size(), true);
  std::size_t largest = 0;
  for (std::size_t p = 0; p < parts.faces.size(); ++p) {
    if (parts.faces[p] > parts.faces[largest]) largest = p;
    if (static_cast<std::int64_t>(parts.faces[p]) < options.minComponent) keepPart[p] = false;
  }
  if (!parts.faces.empty() && !again) report.largestComponent = parts.faces[largest];
  if (options.keepLargest) {
    for (std::size_t p = 0; p < parts.faces.size(); ++p) keepPart[p] = keepPart[p] && p == largest;
  }
  std::vector<bool> keep(mesh.faces.size());
  for (std::size_t f = 0; f < keep.size(); ++f) keep[f] = keepPart[parts.ofFace[f]];
  std::size_t dropped = 0;
  for (const bool kept : keepPart) dropped += !kept;
  report.componentsDropped += dropped;
  report.trianglesDropped += keepFaces(mesh, keep);
  return dropped;
}

}  // namespace

bool finishes(const FinishingOptions& options) {
  return options.keepLargest || options.minComponent > 0 || options.smoothIterations > 0 ||
         options.decimate < 1.0;
}

void finishMesh(IndexedMesh& mesh, const FinishingOptions& options, const VolumeGeometry* box,
                FinishingReport& report) {
  report.trianglesBefore = mesh.faces.size();
  // Each volume once, where a step changed it.
  double volume = enclosedVolume(mesh);
  report.volumeBefore = volume;
  if (options.keepLargest || options.minComponent > 0) {
    dropComponents(mesh, options, report, false);
    volume = enclosedVolume(mesh);
  }
  report.volumeBeforeSmoothing = volume;
  // Closedness comes with smoothing's or decimation's own look at the
  // edges; checked here only where neither runs.
  bool moved = false, checked = false;
  if (options.smoothIterations > 0) {
    EdgeTally tally;
    smoothMesh(mesh, options.smoothIterations, options.smoothPassband, box, &tally);
    report.closed = tally.closed();
    checked = moved = true;
    volume = enclosedVolume(mesh);
  }
  report.volumeBeforeDecimation = volume;
  if (options.decimate < 1.0) {
    report.trianglesDecimatedFrom = mesh.faces.size();
    const DecimationResult decimated = decimateMesh(mesh, options.decimate, box);
    if (!checked) report.closed = decimated.closed;
    report.trianglesDecimatedTo = decimated.trianglesAsked;
    report.decimationError = decimated.error;
    report.decimationWorldError = decimated.worldError;
    checked = moved = true;
    // The parts asked for are those of the mesh written: decimation keeps
    // every part, but can leave one with fewer triangles than asked.
    if (options.minComponent > 0) {
      report.componentsDroppedAfterDecimation = dropComponents(mesh, options, report, true);
    }
    volume = enclosedVolume(mesh);
  }
  if (!checked) report.closed = tallyEdges(mesh).closed();
  report.volumeAfter = volume;
  if ((moved && !mesh.normals.empty()) || (options.normals && mesh.normals.empty())) {
    mesh.normals = faceAreaNormals(mesh);
  }
  report.trianglesAfter = mesh.faces.size();
}

}  // namespace mcubes::internal

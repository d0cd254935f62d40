// The finishing steps users of scans apply to a raw marching-cubes surface
// (as 3D Slicer and nii2mesh do), in their order: drop the small parts or
// keep the largest, smooth without shrinking, decimate, recompute normals.
// One entry point over any closed IndexedMesh (a volume's, the scene's, one
// label's), with no command-line state: mcubes mesh calls it after the
// surface pipeline, per label for label maps.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mesh/surface/surface.h"
#include "volume/volume.h"

namespace mcubes::internal {

struct FinishingOptions {
  // Only the part with the most triangles stays (the first, where parts
  // tie).
  bool keepLargest = false;
  // Parts with fewer triangles go. Counted in triangles rather than
  // enclosed volume: defined for open parts too, cheap, independent of the
  // voxel size, and what nii2mesh's users expect.
  std::int64_t minComponent = 0;
  // Windowed-sinc smoothing (mesh/finishing/smoothing.h): 0 for none.
  int smoothIterations = 0;
  double smoothPassband = 0.1;
  // The fraction of triangles to keep, 0 < decimate <= 1; 1: no decimation.
  double decimate = 1.0;
  // Per-vertex normals wanted in the result. Where smoothing or decimation
  // moved vertices they are recomputed from the faces (area-weighted) also
  // when the mesh came with normals of its own.
  bool normals = false;
};

struct FinishingReport {
  std::size_t components = 0;         // parts found (when a components step ran)
  std::size_t componentsDropped = 0;  // parts removed
  std::size_t trianglesDropped = 0;   // their triangles
  std::size_t largestComponent = 0;   // triangles of the largest part
  // Enclosed volume before the first step, before smoothing, before
  // decimation and at the end; meaningful where `closed`.
  double volumeBefore = 0;
  double volumeBeforeSmoothing = 0;
  double volumeBeforeDecimation = 0;
  double volumeAfter = 0;
  // Whether the mesh the steps worked on (after components) had every
  // edge in two faces wound oppositely (tallyEdges).
  bool closed = true;
  std::size_t trianglesBefore = 0;  // before the first step
  std::size_t trianglesAfter = 0;
  // Decimation (when it ran): triangles in, asked for and out, the error
  // relative to the mesh's extent, and in the mesh's units
  // (mesh/finishing/decimation.h).
  std::size_t trianglesDecimatedFrom = 0;
  std::size_t trianglesDecimatedTo = 0;  // asked for
  double decimationError = 0;
  double decimationWorldError = 0;
  // The components step applied again after decimation, which can leave a
  // part with fewer triangles than asked: the parts and triangles it then
  // dropped (also counted in componentsDropped and trianglesDropped).
  std::size_t componentsDroppedAfterDecimation = 0;
};

// Whether any step is asked for (normals alone are none: finishMesh then
// only computes them where the mesh has none).
bool finishes(const FinishingOptions& options);

// Applies the steps options ask for, in order. `box` is the volume the mesh
// came from, or the scene's grid: vertices on its faces (the caps) stay on
// them when smoothing; nullptr smooths every vertex freely.
void finishMesh(IndexedMesh& mesh, const FinishingOptions& options, const VolumeGeometry* box,
                FinishingReport& report);

}  // namespace mcubes::internal

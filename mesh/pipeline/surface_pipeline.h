// The one way from a source to a mesh, for mcubes mesh and the viewer
// alike: exact extraction, then welding by edge, caps where the surface
// leaves the grid or the volume, the merge of snapped vertices with the
// faces that collapse (mesh/distributed/volume_piece.h's close-and-merge,
// one process's mesh being one piece), outward winding and normals. The
// stages after it (finishing, the patient space) are the library's
// (library/mesh_stages.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "mesh/surface/surface.h"
#include "mesh/surface/welded_parts.h"
#include "mesh/volume/volume_caps.h"
#include "mesh/volume/volume_extract.h"
#include "scene/scene.h"
#include "volume/volume.h"

namespace mcubes::internal {

struct SurfaceOptions {
  double isoLevel = SceneIsoLevel;
  // Volumes: which side of the level the object lies on (mesh/surface/inside.h).
  Inside inside = Inside::Above;
  int threads = 1;  // the mesh does not depend on it
  // Vertices shared by edge. Without it the triangles come as extracted,
  // each with vertices of its own, and no stage below runs.
  bool welded = true;
  // Flat caps close the surface where it leaves the grid or the volume, so
  // that it bounds a solid (printers, volume computations).
  bool closed = true;
  // Vertices at one point made one, and the faces that then collapse to a
  // line or a point dropped: what a reader that merges by position (and
  // every STL reader) sees. In a volume they meet only on a voxel whose
  // value is the level; in the scene where its polygoniser snapped them.
  bool mergeSnapped = true;
  // Per-vertex unit normals: for the scene from its field, for a volume
  // from its gradient, pointing out of the blobs (toward lower values, or
  // higher ones where the inside lies below the level).
  bool normals = false;
  // Volumes read from a file: bytes of slices held at a time.
  std::int64_t sliceMemory = VolumeExtractionSettings{}.sliceMemory;
};

// What a run found that its user should know.
struct SurfaceReport {
  VolumeFindings findings;  // volumes: what the extraction saw
  // Volumes, closed: every voxel on the volume's faces lies inside, so the
  // caps cover its whole box (the mesh is the box around what lies outside).
  bool facesAllInside = false;
  std::vector<std::int64_t> absentLabels;  // label maps: labels asked for, found nowhere
};

// Progress of long runs: the stage's unit ("slab", "layer"), done, total.
using SurfaceProgress =
    std::function<void(const char* unit, std::int64_t done, std::int64_t total)>;

// The extraction's settings for `options`, and its progress as the
// pipeline's.
VolumeExtractionSettings extractionSettings(const SurfaceOptions& options);
LayerProgress layerProgress(const SurfaceProgress& progress);

// A volume read slab by slab; faces wound outward in world space, also
// where its axes are mirrored, welded or not. Throws VolumeError where
// reading fails.
IndexedMesh volumeSurface(VolumeReader& reader, const SurfaceOptions& options,
                          SurfaceReport& report, const SurfaceProgress& progress = {});

// A volume's extracted triangles as they are, each with vertices of its
// own, turned outward in world space.
IndexedMesh unweldedVolume(const ExtractedSurface& surface, const VolumeGeometry& geometry);

// A volume meshed by several processes: each makes the share of its
// layers [first, last), reading only the slices they need, and the shares
// joined in order make the mesh volumeSurface makes, bit for bit.
struct VolumeShare {
  std::int64_t first = 0, last = 0;
  WeldedPart part;        // welded
  ExtractedSurface soup;  // unwelded
  VolumeFindings findings;
};

// The share of layers [first, last) of the volume `reader` is at the start
// of; the faces' voxels of the slices read go to `boundary`. Throws
// VolumeError where reading fails.
VolumeShare volumeShare(VolumeReader& reader, std::int64_t first, std::int64_t last,
                        const SurfaceOptions& options, VolumeBoundary& boundary,
                        const SurfaceProgress& progress = {});

// The shares of all layers, in order, made one mesh; `boundary` holds the
// faces' voxels of every slice.
IndexedMesh joinVolumeShares(const VolumeGeometry& geometry, std::vector<VolumeShare>& shares,
                             const VolumeBoundary& boundary, const SurfaceOptions& options,
                             SurfaceReport& report);

// A volume held in memory (i fastest, then j, then k).
IndexedMesh volumeSurface(const VolumeGeometry& geometry, const double* values,
                          const SurfaceOptions& options, SurfaceReport& report);

// A label map's label and its surface: the boundary of its voxels.
struct LabelSurface {
  std::int64_t label;
  IndexedMesh mesh;
  // Conforming labels smoothed together: the enclosed volume before and
  // after.
  double volumeBeforeSmoothing = 0;
  double volumeAfterSmoothing = 0;
  // An interface between two labels rather than a label's surface: the
  // label beyond, which the faces wind into.
  std::optional<std::int64_t> beyond = std::nullopt;
};

// Every label's surface from one pass over a label map (mesh/labels/label_extract.h),
// each through the stages above as the volume's one level; the iso level
// of the options is not used. `labels` empty: every label but 0. Labels
// found nowhere are left out and named in the report. Throws VolumeError
// where a voxel is not an integer or reading fails.
std::vector<LabelSurface> labelSurfaces(VolumeReader& reader,
                                        const std::vector<std::int64_t>& labels,
                                        const SurfaceOptions& options, SurfaceReport& report,
                                        const SurfaceProgress& progress = {});

// The labels' surfaces fitted together, from one net of all the map's labels
// (mesh/labels/label_nets.h), smoothed as one over `smoothIterations`
// (mesh/labels/joint_smoothing.h; 0: not smoothed) before each label's
// triangles are taken out of it. `labels` as labelSurfaces'; 0 cannot be
// one (the volume's outside is 0). Normals, where asked, come from the
// faces. `interfaces`: one surface per pair of touching labels of which
// one was asked for, in the order of labelInterfaces. Throws VolumeError
// as labelSurfaces does.
std::vector<LabelSurface> conformingLabelSurfaces(VolumeReader& reader,
                                                  const std::vector<std::int64_t>& labels,
                                                  const SurfaceOptions& options,
                                                  int smoothIterations, double smoothPassband,
                                                  bool interfaces, SurfaceReport& report,
                                                  const SurfaceProgress& progress = {});

}  // namespace mcubes::internal

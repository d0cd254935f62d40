// Surfaces of volumes: the exact marching-cubes isosurface at a level, the
// boundaries of a label map's labels, and the finishing steps after them.
// The triangles are those `mcubes mesh` writes for the same volume and
// options, bit for bit.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "mcubes/mesh.h"
#include "mcubes/volume.h"

namespace mcubes {

// Which side of the level the object lies on: Above (CT, MRI, densities,
// probabilities) or Below (signed distance fields, negative inside, and
// level sets). Below gives, bit for bit, the mesh of the negated volume at
// the negated level, closed and wound outward alike, without a negated copy
// of the data; NaN and infinite voxels are outside either way.
enum class Inside { Above, Below };

struct SurfaceOptions {
  double level = 0.0;  // the iso level; not used for labels
  // Not used for labels. Empty: Above, and a finding where the caps then
  // enclose the whole box (how a signed distance field comes out).
  std::optional<Inside> inside;
  // Flat caps where the surface leaves the volume, so that it bounds a
  // solid.
  bool closed = true;
  // Vertices shared by neighbouring triangles; without it each triangle has
  // three of its own, as extracted, with no caps: closed must then be
  // false (ArgumentError otherwise).
  bool welded = true;
  bool normals = false;  // per-vertex normals from the volume's gradient
  // 0: one per processor this process may run on; the mesh does not depend
  // on it.
  int threads = 0;
  // Called on the calling thread between layers, with the layers done and
  // their total: returning false stops the run, which then throws
  // Cancelled.
  std::function<bool(std::int64_t done, std::int64_t total)> progress;
};

// Throws ArgumentError for options out of range (a level that is not finite,
// threads outside 0 to 1024), FileError where reading the file fails,
// Cancelled where options.progress stopped it.
Mesh extract(Volume& volume, const SurfaceOptions& options);
Mesh extract(const ArrayView& array, const Placement& placement, const SurfaceOptions& options);

struct LabelMesh {
  std::int64_t label;
  Mesh mesh;
};

// The surface of each of `labels` (empty: every label but 0) of a label map
// (a volume of integer values), in the order asked, or of increasing
// labels; labels found nowhere are left out.
std::vector<LabelMesh> extractLabels(Volume& volume, const std::vector<std::int64_t>& labels,
                                     const SurfaceOptions& options);
std::vector<LabelMesh> extractLabels(const ArrayView& array, const Placement& placement,
                                     const std::vector<std::int64_t>& labels,
                                     const SurfaceOptions& options);

// The steps users of scans apply to a surface, in this order.
struct FinishOptions {
  bool keepLargest = false;       // only the part with the most triangles
  std::int64_t minComponent = 0;  // drop parts of fewer triangles
  int smoothIterations = 0;       // windowed-sinc smoothing, which does not shrink
  double smoothPassband = 0.1;    // above 0 and below 2: lower smooths more
  double decimate = 1.0;          // the fraction of triangles to keep, above 0, at most 1
};

// Applies the steps to `mesh`; normals, where it has them, are recomputed
// from the faces where vertices moved. `box`: the volume the mesh came
// from, whose faces the caps stay on when smoothing (nullptr: none).
// Throws ArgumentError for options out of range or decimation asked of a
// build without it.
void finish(Mesh& mesh, const FinishOptions& options, const Geometry* box = nullptr);

}  // namespace mcubes

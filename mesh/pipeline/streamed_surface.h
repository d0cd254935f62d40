// A volume's welded surface handed on as the sweep makes it, slab by slab,
// instead of built whole: each vertex once its number in the mesh is
// known, each face once its corners' are, in the numbering and the order of
// volumeSurface's mesh. A vertex that merges with a snapped one before it is
// known to as it is made, since the vertex it merges into is the first made
// on its lattice point; so only the plane between slabs, the snapped
// vertices that later ones may meet, and the vertices on the box's faces
// that the caps meet are held, not the mesh.
#pragma once

#include <array>
#include <cstdint>

#include "mesh/pipeline/surface_pipeline.h"
#include "mesh/surface/surface.h"
#include "volume/volume.h"

namespace mcubes::internal {

// Where a streamed surface goes.
class SurfaceStream {
 public:
  virtual ~SurfaceStream() = default;
  // The mesh's next vertex; its normal is zero where the options ask for
  // no normals.
  virtual void vertex(const Point3& position, const Point3& normal) = 0;
  // The mesh's next face, wound outward in world space, and its corners'
  // positions.
  virtual void face(const std::array<std::uint32_t, 3>& face, const Point3& p, const Point3& q,
                    const Point3& r) = 0;
};

// Whether volumeSurface's mesh of a volume of `geometry` under `options` can
// be streamed: welded, and where snapped vertices merge, with a lattice
// whose points are distinct (elsewhere they merge by position, which needs
// the whole mesh).
bool streamsSurface(const VolumeGeometry& geometry, const SurfaceOptions& options);

// volumeSurface's mesh, vertex by vertex and face by face into `stream`,
// where streamsSurface allows. Throws VolumeError where reading fails.
void streamSurface(VolumeReader& reader, const SurfaceOptions& options, SurfaceReport& report,
                   SurfaceStream& stream, const SurfaceProgress& progress = {});

}  // namespace mcubes::internal

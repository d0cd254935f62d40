// The isosurface of a user's volume. The triangles are, bit for bit and in
// the same order, those of the literal pipeline over the voxel lattice: for
// each cell (i, j, k), i fastest, then j, then k, a GridCell whose corner c
// is the voxel at (i, j, k) plus CornerSide[c], with the voxel's value and
// its world position (origin + i * a + j * b + k * c summed in double in
// that order, rounded to float once), polygonised at the iso level with the
// vertices placed by interpolateVolumeEdgeVertex (no tolerance: the mesh
// does not depend on the values' units). Where the inside lies below the
// level, values and level enter negated (mesh/surface/inside.h). Values
// that are NaN or infinite enter as -infinity (latticeValue in
// mesh/volume/volume_lattice.h): below every level, like the layer outside the
// volume, with the vertex of an edge to one on its finite end.
//
// Rows of cells whose four rows of voxels lie wholly on one side of the iso
// level are ruled out by their least and largest values; in the rest only
// the crossed cells are polygonised, and a vertex is computed once for each
// edge and each order in which the polygoniser would take its ends.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

#include "mesh/surface/inside.h"
#include "mesh/surface/surface.h"
#include "mesh/surface/vector_unit.h"
#include "volume/volume.h"

namespace mcubes::internal {

struct VolumeExtractionSettings {
  double isoLevel = 0.0;
  Inside inside = Inside::Above;  // which side of the level is the object's
  int threads = 1;                // 1 or more; the result does not depend on it
  bool edgeKeys = false;          // also name each vertex's lattice edge (for welding)
  bool normals = false;           // also each vertex's normal (mesh/volume/volume_normals.h)
  VectorUnit vectorUnit = fastestVectorUnit();  // the result does not depend on it
  // Streaming: bytes of slices a slab holds (at least two slices), with one
  // slab more in flight than there are threads. The slabs' buffers are
  // reused slab after slab: kept small, their pages stay mapped and in cache
  // instead of being faulted in for every slice.
  std::int64_t sliceMemory = std::int64_t{8} << 20;
};

// What the extraction saw in the data, for the warnings a user should read.
struct VolumeFindings {
  std::int64_t cells = 0;
  std::int64_t nonFiniteVoxels = 0;
  double least = std::numeric_limits<double>::infinity();  // of the finite values
  double most = -std::numeric_limits<double>::infinity();
  // Crossed edges with an end whose value is the iso level exactly: the
  // surface passes through that voxel, where it can touch itself.
  std::int64_t levelOnVoxels = 0;
};

// Called on the calling thread as layers of cells (one k each) are done.
using LayerProgress = std::function<void(std::int64_t done, std::int64_t total)>;

// The volume held in memory, i fastest, then j, then k. `surface` loses its
// old contents but keeps its capacity (for the benchmark).
void extractVolumeInto(const VolumeGeometry& geometry, const double* values,
                       const VolumeExtractionSettings& settings, ExtractedSurface& surface,
                       VolumeFindings& findings, const LayerProgress& progress = {});

class VolumeBoundary;
class VolumeWeld;

// The volume read from `reader` slab by slab: besides the triangles, memory
// grows with the size of a slice (dims[0] * dims[1]), not with the volume.
// `boundary`, if given, records the voxels on the volume's faces as they
// pass (mesh/volume/volume_caps.h).
ExtractedSurface extractVolume(VolumeReader& reader, const VolumeExtractionSettings& settings,
                               VolumeFindings& findings, const LayerProgress& progress = {},
                               VolumeBoundary* boundary = nullptr);

// The same triangles welded as the sweep goes (mesh/volume/volume_weld.h): each
// crossed edge's vertex numbered where a face first uses it, the parts of
// the threads and slabs joined in order into `weld`. The numbering is the
// one welding the soup by edge key gives (the tests' definition,
// tests/mesh/oracles/weld_by_edge.h).
void weldVolumeInto(const VolumeGeometry& geometry, const double* values,
                    const VolumeExtractionSettings& settings, VolumeWeld& weld,
                    VolumeFindings& findings, const LayerProgress& progress = {});
void weldVolume(VolumeReader& reader, const VolumeExtractionSettings& settings, VolumeWeld& weld,
                VolumeFindings& findings, const LayerProgress& progress = {},
                VolumeBoundary* boundary = nullptr);

// A share of the volume for one of several processes: the layers [first,
// last) alone, the slices before them passed over, the rest as above. The
// shares' parts joined in order make the whole volume's.
ExtractedSurface extractVolumeShare(VolumeReader& reader, const VolumeExtractionSettings& settings,
                                    std::int64_t first, std::int64_t last, VolumeFindings& findings,
                                    const LayerProgress& progress = {},
                                    VolumeBoundary* boundary = nullptr);
void weldVolumeShare(VolumeReader& reader, const VolumeExtractionSettings& settings,
                     std::int64_t first, std::int64_t last, VolumeWeld& weld,
                     VolumeFindings& findings, const LayerProgress& progress = {},
                     VolumeBoundary* boundary = nullptr);

}  // namespace mcubes::internal

// Conforming surfaces of a label map, every label's from one mesh: surface
// nets for labels (S. Frisken, "SurfaceNets for multi-label segmentations
// with preservation of sharp boundaries", 2022). A cell of 8 voxels whose
// labels differ has one vertex, at the mean of the midpoints of its edges
// whose ends differ; a lattice edge whose two voxels differ has one quad,
// over the 4 cells around it, split into two triangles. The triangles of an
// edge between labels a and b are a's, wound out of a, and b's, wound the
// other way: each interface is one set of triangles shared by both labels,
// and where three or more labels meet their surfaces join along the same
// vertices. The volume's outside counts as label 0, so the labels touching
// its faces are closed by flat caps on them.
//
// Each label's mesh is closed (every edge in an even number of its
// triangles, two but where a label's voxels touch along an edge only) and
// wound outward. A vertex stays within its cell (the half voxel around the
// volume's faces clipped off), so a cap's vertices lie on the face.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "mesh/surface/surface.h"
#include "mesh/volume/volume_extract.h"
#include "volume/volume.h"

namespace mcubes::internal {

// The six faces of a cell, as bits: -i, +i, -j, +j, -k, +k.
constexpr int CellFaces = 6;
constexpr std::uint32_t NoVertex = ~0u;

struct LabelNet {
  VolumeGeometry geometry;
  // Every label of the map and 0 (there or not: the outside's), ascending;
  // triangles name them by their index here, 0 by `background`.
  std::vector<std::int64_t> labels;
  std::uint32_t background = 0;
  PointArray vertices;
  // Per vertex: its cell's lowest voxel (-1 for the cells around the
  // volume), how many labels the cell's voxels hold, the vertex of the cell
  // beyond each face (NoVertex where that face's voxels all hold one label:
  // no edge joins the two), and the faces whose voxels hold three labels or
  // more (the line where they meet crosses them).
  std::vector<std::array<std::int32_t, 3>> cells;
  std::vector<std::uint8_t> labelsAround;
  std::vector<std::array<std::uint32_t, CellFaces>> across;
  std::vector<std::uint8_t> tripleFaces;
  // Per triangle: wound out of the label of index sides[t][0], into the
  // label of index sides[t][1] (outward for the first, inward for the
  // second).
  std::vector<std::array<std::uint32_t, 3>> triangles;
  std::vector<std::array<std::uint32_t, 2>> sides;
};

// The world point at index-space coordinates `index` of the geometry.
Point3 worldPoint(const VolumeGeometry& geometry, const double (&index)[3]);

// Reads the map slice by slice. Throws VolumeError where a voxel holds
// anything but an integer (naming the voxel) or where reading fails.
LabelNet labelNet(VolumeReader& reader, const LayerProgress& progress = {});

// The triangles of each label of `asked` (indices into net.labels), wound
// outward, vertices numbered as the net's.
std::vector<std::vector<std::array<std::uint32_t, 3>>> labelTriangles(
    const LabelNet& net, const std::vector<std::uint32_t>& asked);

// The interfaces between a label of `asked` and any other, each pair once:
// the labels (indices into net.labels; the first is the one the faces wind
// out of: the lower, but 0 comes second) and their triangles, the pairs in
// the order of their first and second labels.
struct LabelInterfaces {
  std::vector<std::array<std::uint32_t, 2>> pairs;
  std::vector<std::vector<std::array<std::uint32_t, 3>>> faces;
};
LabelInterfaces labelInterfaces(const LabelNet& net, const std::vector<std::uint32_t>& asked);

// Each label's triangles as a mesh of their vertices alone (numbered in the
// order they are first used), at the net's positions.
std::vector<IndexedMesh> labelMeshes(
    const LabelNet& net, const std::vector<std::vector<std::array<std::uint32_t, 3>>>& faces);

}  // namespace mcubes::internal

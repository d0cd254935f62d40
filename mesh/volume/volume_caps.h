// Closing a volume's surface where it leaves the volume. The voxels on the
// volume's six faces are kept while it is read; around the volume lies, in
// thought, one more layer of voxels below any iso level, and the cells that
// reach into that layer are polygonised like the rest. Their triangles lie
// flat on the volume's faces (a vertex on an edge into the outer layer is
// put on the face's voxel), follow the surface's rim across the faces, the
// box's edges and corners alike, and, welded by edge with the surface, close
// it: every edge then has two faces. Face voxels that are NaN or infinite
// count as below the level, as they do in the extraction (latticeValue).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "mesh/surface/inside.h"
#include "mesh/surface/surface.h"
#include "volume/volume.h"

namespace mcubes::internal {

// The values on the six faces of a volume, or on the part of them in
// slices [first, last] (a process's share): i = 0, i = X - 1 (indexed j +
// (k - first) Y), j = 0, j = Y - 1 (i + (k - first) X), k = 0, k = Z - 1
// (i + j X; held where the slices include them).
class VolumeBoundary {
 public:
  explicit VolumeBoundary(const std::int64_t (&dims)[3]);
  VolumeBoundary(const std::int64_t (&dims)[3], std::int64_t first, std::int64_t last);
  // Takes the face voxels of slice k (X * Y values), as latticeValue gives
  // them; slices outside those held are passed over. Values held narrower
  // (floats, bytes) are the doubles they stand for.
  template <typename Value>
  void record(std::int64_t k, const Value* slice);
  // The value at (i, j, k), which must lie on a face.
  double value(std::int64_t i, std::int64_t j, std::int64_t k) const;
  // The face voxels of slices [first, last] as recorded, and the same
  // recorded from them (by another process's boundary).
  std::vector<double> slices(std::int64_t first, std::int64_t last) const;
  void recordSlices(std::int64_t first, std::int64_t last, const std::vector<double>& values);
  // Whether a voxel on a face holds `value`.
  bool holds(double value) const;
  // Whether every voxel held lies inside the surface at `isoLevel`: for the
  // whole volume, the caps then cover its box, and the mesh is that box
  // around whatever lies outside.
  bool allInside(double isoLevel, Inside side) const;
  // How many voxels held lie inside: about how many vertices the caps make.
  std::size_t insideCount(double isoLevel, Inside side) const;
  // The faces of a label's indicator volume: 1 where a voxel holds
  // `label`, else 0.
  VolumeBoundary indicator(double label) const;

 private:
  void put(int face, std::size_t at, double value);
  // put of latticeValue of `count` voxels `stride` apart from `from`, at
  // `at` on.
  template <typename Value>
  void putRun(int face, std::size_t at, const Value* from, std::int64_t stride, std::size_t count);
  double get(int face, std::size_t at) const {
    switch (width_) {
      case Width::Bytes:
        return byteFaces_[face][at];
      case Width::Floats:
        return faces_[face][at];
      default:
        return wideFaces_[face][at];
    }
  }
  std::size_t size(int face) const {
    return byteFaces_[face].size() + faces_[face].size() + wideFaces_[face].size();
  }
  // Holds the faces one form wider, the values recorded so far included.
  void widen();

  std::int64_t dims_[3];
  std::int64_t first_, last_;
  // The faces' values in the narrowest form that holds each one recorded
  // exactly: bytes (8-bit voxels, label maps: an eighth of the memory),
  // floats (16-bit voxels, float32: half), else doubles.
  enum class Width { Bytes, Floats, Doubles };
  std::vector<std::uint8_t> byteFaces_[6];
  std::vector<float> faces_[6];
  std::vector<double> wideFaces_[6];
  Width width_ = Width::Bytes;
};

// A triangle of a cell around the volume, as drawn, with per vertex its
// edge's key (in the extraction's numbering where the edge lies in the
// volume, numbered after all of those where it reaches out), its normal
// (the way out of the volume where the edge reaches out, else zero: the
// extraction's normal goes with the welded vertex) and the lattice point
// index (k * Y + j) * X + i it lies exactly on, or -1.
struct CapTriangle {
  Triangle triangle;
  std::array<EdgeKey, 3> keys;
  std::array<Point3, 3> normals;
  std::array<std::int64_t, 3> points;
};

// Where lattice point (i, j, k) lies in world space, for lattices that
// latticePoint does not place (the scene's grid of cell corners).
using LatticePoints = std::function<Point3(const std::int64_t (&)[3])>;

// The edge keys from here on reach out of the volume.
EdgeKey outerEdgeKeys(const VolumeGeometry& geometry);

// Whether the edge of `key` (in the volume or reaching out of it) lies in
// slice k: along i or j, both ends at k.
bool edgeInSlice(const VolumeGeometry& geometry, EdgeKey key, std::int64_t k);

// Each triangle of the cells around the volume, in the order of the cells
// (i fastest, then j, then k, from -1) and of the polygoniser; or of those
// whose k lies in [firstK, lastK) (cell k spans slices k and k + 1), for
// which `boundary` needs slices max(firstK, 0) to min(lastK, Z - 1). Where
// the inside lies below the level, the face voxels and the level are taken
// negated, as the extraction takes them; the outer layer stays outside.
// The lattice points lie where `points` puts them (empty: latticePoint).
void forEachBoundaryTriangle(const VolumeGeometry& geometry, const VolumeBoundary& boundary,
                             double isoLevel, Inside inside,
                             const std::function<void(const CapTriangle&)>& take);
void forEachBoundaryTriangle(const VolumeGeometry& geometry, const LatticePoints& points,
                             const VolumeBoundary& boundary, double isoLevel, Inside inside,
                             std::int64_t firstK, std::int64_t lastK,
                             const std::function<void(const CapTriangle&)>& take);

}  // namespace mcubes::internal

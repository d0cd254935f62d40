// The voxel lattice of one extraction, shared read-only by its threads:
// where each lattice point lies in world space, how index-space gradients
// map to world space, and which slices of values a sweep reads.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

#include "iso/cell_types.h"
#include "mesh/surface/inside.h"
#include "mesh/volume/volume_rows.h"
#include "volume/volume.h"

namespace mcubes::internal {

// The slices a sweep may read, each of X * Y values, from slice `first`
// on: one after another from base, or in a ring of `ring` slices from base
// that slice `first` holds at `slot` and that the window's slices go round
// at most once. Values are doubles, or held narrower where that holds them
// exactly (ValueForm): floats or bytes.
template <typename Value>
struct SliceWindowOf {
  const Value* base;
  std::int64_t first;
  std::int64_t sliceSize;
  std::int64_t ring = 0;  // 0: no ring
  std::int64_t slot = 0;

  const Value* slice(std::int64_t k) const {
    std::int64_t at = slot + (k - first);
    if (ring != 0 && at >= ring) at -= ring;
    return base + at * sliceSize;
  }
};
using SliceWindow = SliceWindowOf<double>;

// A voxel's value as the extraction takes it: NaN and infinities count as
// below every level, like the layer outside the volume that the caps close
// (mesh/volume/volume_caps.h). As -infinity they are below any finite level, and
// the polygoniser puts the vertex of an edge to one on its other, finite
// end, where the caps put theirs.
inline double latticeValue(double v) {
  return v - v == 0.0 ? v : -std::numeric_limits<double>::infinity();
}

struct Lattice {
  std::int64_t dims[3];
  // The level as the sweep compares values with it: the user's, or its
  // negation where the inside lies below it (`negated`), where every value
  // is taken negated too: the surface of the negated volume, bit for bit.
  double iso;
  bool negated;
  bool edgeKeys;  // the triangle soup names each vertex's edge
  bool normals;
  bool weld;                        // vertex numbers per edge instead of a triangle soup
  VectorUnit vectorUnit;            // the row classifiers' (mesh/volume/volume_rows.h)
  std::vector<double> rowStart[3];  // per i: origin + i * a, per coordinate
  double axes[3][3];
  // Where each world coordinate depends on one index alone (the others'
  // steps have +0 there, which adds nothing to any sum), that coordinate of
  // every lattice point, rounded to float, per value of that index: the
  // usual case of axes along the world's.
  bool separable;
  int coordinateAxis[3];
  std::vector<float> coordinates[3];
  // Separable with each world coordinate along an index axis of its own,
  // none of them -0: a lattice point's position is (x[i], y[j], z[k]), its
  // coordinates put in world order where the axes are permuted (numpy's
  // index order puts i along z): world coordinate d is the one along index
  // axis coordinateAxis[d], index axis a lies along world coordinate
  // indexCoordinate[a].
  bool aligned;
  bool permuted;
  int indexCoordinate[3];
  // Separable with each world coordinate along an index axis of its own,
  // and each coordinate strictly monotone: two vertices then meet only at a
  // lattice point, both placed exactly on it.
  bool distinctPoints;
  double inverseTranspose[3][3];  // maps index-space gradients to world space
};

struct LatticeOptions {
  double iso = 0.0;
  Inside inside = Inside::Above;
  bool edgeKeys = false;
  bool normals = false;
  bool weld = false;
  VectorUnit vectorUnit = VectorUnit::Baseline;
};

Lattice makeLattice(const VolumeGeometry& geometry, const LatticeOptions& options);

// Lattice point (i, j, k)'s world position: origin + i * a + j * b + k * c
// summed in double in that order, rounded to float once.
Point3 latticePoint(const VolumeGeometry& geometry, const std::int64_t (&p)[3]);

}  // namespace mcubes::internal

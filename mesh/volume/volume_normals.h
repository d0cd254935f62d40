// A volume vertex's normal: the field's gradient from central differences
// at the voxels (one-sided at the volume's faces and beside voxels that are
// not finite), in world space, interpolated along the crossed edge as the
// vertex is, turned to point toward values below the iso level (above it
// where the inside lies below, Lattice::negated) and made unit length. Where it vanishes, the unit
// vector along the edge toward its lower end.
#pragma once

#include <cstdint>

#include "iso/cell_types.h"
#include "mesh/volume/volume_lattice.h"

namespace mcubes::internal {

// The normal of the vertex on the edge from lattice point `pa` (value va,
// world position wa) to `pb`, whose values and their neighbours' the window
// holds; va and vb as the sweep takes them (negated where the lattice says,
// then through latticeValue: at most one -infinity).
Point3 gradientNormal(const Lattice& lattice, const SliceWindow& window,
                      const std::int64_t (&pa)[3], const std::int64_t (&pb)[3], double va,
                      double vb, const Point3& wa, const Point3& wb);

}  // namespace mcubes::internal

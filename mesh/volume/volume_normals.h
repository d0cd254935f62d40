// A volume vertex's normal: the field's gradient from central differences
// at the voxels (one-sided at the volume's faces and beside voxels that are
// not finite), in world space, interpolated along the crossed edge as the
// vertex is, turned to point toward values below the iso level (above it
// where the inside lies below, Lattice::negated) and made unit length. Where
// it vanishes, the unit vector along the edge toward its lower end.
#pragma once

#include <cstdint>

#include "iso/cell_types.h"
#include "mesh/volume/volume_lattice.h"

namespace mcubes::internal {

// The gradient in index space at lattice point `p`, whose value is finite
// and whose neighbours' values the window holds. A function of the point
// alone: the sweep keeps it for the edges that share the point.
void pointGradient(const Lattice& lattice, const SliceWindow& window, const std::int64_t (&p)[3],
                   double (&g)[3]);

// The normal of the vertex on the edge from a lattice point (value va, world
// position wa, index-space gradient ga) to another (vb, wb, gb); va and vb
// as the sweep takes them (negated where the lattice says, then through
// latticeValue: at most one -infinity). Only the finite end's gradient is
// read where the other end is not finite.
Point3 edgeNormal(const Lattice& lattice, const double (&ga)[3], const double (&gb)[3], double va,
                  double vb, const Point3& wa, const Point3& wb);

}  // namespace mcubes::internal

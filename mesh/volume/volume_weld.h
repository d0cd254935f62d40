// A volume's welded surface put together from the sweep's parts in order,
// closed by the cells around the volume, its snapped vertices merged: in
// time that grows with the mesh, and with the faces' and the snapped
// vertices' share of it, without a hash over every vertex.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mesh/surface/surface.h"
#include "mesh/surface/welded_parts.h"
#include "mesh/volume/volume_caps.h"
#include "volume/volume.h"

class VolumeWeld {
 public:
  VolumeWeld(const VolumeGeometry& geometry, bool normals);

  // Joins the next part of layers.
  void add(WeldedPart& part) { joined_.add(part); }

  // The parts joined so far as one, for a weld of the whole volume to add.
  WeldedPart take() { return joined_.take(); }

  // Adds the triangles of the cells around the volume (mesh/volume/volume_caps.h),
  // welded with the surface by edge: every edge then has two faces.
  void close(const VolumeBoundary& boundary, double isoLevel, Inside inside = Inside::Above);

  // Makes vertices at the same point one (the first, with its normal), as a
  // reader that merges by position sees them; returns how many went. On
  // lattices whose points are distinct only vertices on a lattice point can
  // meet, and only those are looked at; elsewhere every vertex is.
  std::size_t mergeCoincidentVertices();

  IndexedMesh& mesh() { return joined_.mesh; }

 private:
  std::uint32_t addVertex(const Point3& position, const Point3& normal, std::int64_t point);

  VolumeGeometry geometry_;
  bool normals_;
  bool distinctPoints_;
  JoinedParts joined_;
};

// A volume's welded surface put together from the sweep's parts in order,
// closed by the cells around the volume, its snapped vertices merged: in
// time that grows with the mesh, and with the faces' and the snapped
// vertices' share of it, without a hash over every vertex.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "mesh/surface.h"
#include "mesh/volume_caps.h"
#include "mesh/volume_sweep.h"
#include "volume/volume.h"

class VolumeWeld {
 public:
  VolumeWeld(const VolumeGeometry& geometry, bool normals);

  // Joins the next part of layers: the vertices it shares with the part
  // before become that part's, the rest are numbered on after the mesh's.
  void add(WeldedPart& part);

  // Adds the triangles of the cells around the volume (mesh/volume_caps.h),
  // welded with the surface by edge: every edge then has two faces.
  void close(const VolumeBoundary& boundary, double isoLevel);

  // Makes vertices at the same point one (the first, with its normal), as a
  // reader that merges by position sees them; returns how many went. On
  // lattices whose points are distinct only vertices on a lattice point can
  // meet, and only those are looked at; elsewhere every vertex is.
  std::size_t mergeCoincidentVertices();

  IndexedMesh& mesh() { return mesh_; }

 private:
  std::uint32_t addVertex(const Point3& position, const Point3& normal, std::int64_t point);

  VolumeGeometry geometry_;
  bool normals_;
  bool distinctPoints_;
  bool first_ = true;
  IndexedMesh mesh_;
  // The last part's vertices on its last slice, in the mesh's numbering,
  // by place.
  std::vector<std::pair<std::int64_t, std::uint32_t>> lastSlice_;
  std::unordered_map<EdgeKey, std::uint32_t> faceEdges_;
  std::vector<std::pair<std::int64_t, std::uint32_t>> onPoints_;
  std::vector<std::uint32_t> numbers_;  // a part's vertex numbers in the mesh
};

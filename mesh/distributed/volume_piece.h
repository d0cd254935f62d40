// A volume's welded mesh made by several processes together, none holding
// the whole: each from its share of the layers (volumeShare) makes its
// piece. A piece makes the caps of its own layers, numbers its vertices and
// faces from sums over the pieces before it, and learns from the pieces
// beside it (the shares of the layers before and after, with which it
// shares a plane of lattice points) what it needs of theirs. Written one
// after another the pieces are the mesh volumeSurface makes, bit for bit:
// its vertices the first piece's, the next's, ..., then the caps' vertices
// in the same order, and its faces alike.
//
// The caller carries the messages (MPI in mcubes); every piece takes the
// steps together, in this order:
//   1. ownVertices(), summed over the pieces before it and over all, to
//      numberVertices();
//   2. plane(side) to the piece on that side, whose takePlane() reads it;
//   3. removedVertices() (the snapped vertices merged), summed over the
//      pieces before it and over all, to renumber();
//   4. finalNumbers(side) to the piece on that side, to takeFinalNumbers();
//   5. take(): its vertices and its faces in the whole mesh's numbers.
// Pieces whose share has no layers take no part. Several pieces need a
// lattice whose points are distinct, where snapped vertices meet only on
// lattice points.
//
// One process's mesh is one piece, first and last (closeAndMerge): its
// caps are made one way wherever the mesh is made. Where its vertices merge
// on lattice points (or not at all), the steps would number them as they
// lie, the caps' after the surface's, and wholeMesh() merges them as the
// steps would, in three passes without maps the size of the mesh (an open
// mesh without building the piece at all); merged by position, it takes
// the steps with nothing before it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "mesh/pipeline/surface_pipeline.h"
#include "mesh/surface/surface.h"
#include "mesh/surface/welded_parts.h"
#include "mesh/volume/volume_caps.h"

namespace mcubes::internal {

enum class PieceSide { Before, After };

// Vertices of the surface, then of the caps.
struct PieceCounts {
  std::uint64_t surface = 0, caps = 0;
};

// Vertex numbers in the whole mesh, before snapped vertices are merged, of
// the vertices a piece has on the plane it shares with the piece beside it:
// on the plane's edges, by place in the plane (only to the piece after:
// the vertices it shares); its caps' on the plane, by edge (likewise); and
// those exactly on a lattice point of the plane, by point.
struct PlaneVertices {
  std::vector<std::pair<std::int64_t, std::uint64_t>> edges;
  std::vector<std::pair<EdgeKey, std::uint64_t>> capEdges;
  std::vector<std::pair<std::int64_t, std::uint64_t>> onPoints;
};

// For each vertex of the PlaneVertices a piece sent, in its order, the
// vertex's final number and position (Unnumbered where it merged into
// another).
struct PlaneNumbers {
  static constexpr std::uint32_t Unnumbered = 0xffffffffu;
  std::vector<std::uint32_t> numbers;
  std::vector<Point3> positions;
};

// A piece of the mesh. Its own vertices (the surface's, then the caps')
// come first in `mesh`, then those of the pieces beside it that its faces
// use; its faces are the surface's, then the caps', wound outward in world
// space.
struct MeshPiece {
  IndexedMesh mesh;
  std::vector<std::uint32_t> numbers;  // each vertex's number in the whole mesh
  std::size_t surfaceVertices = 0, capVertices = 0;
  std::size_t surfaceFaces = 0;
};

// What closes a piece: the triangles of the cells around the volume
// (mesh/volume/volume_caps.h) at the level, from the faces' voxels in `boundary`
// (none where it is null), their lattice points placed by `points` (empty:
// latticePoint of the geometry).
struct PieceCaps {
  const VolumeBoundary* boundary = nullptr;
  double isoLevel = 0;
  Inside inside = Inside::Above;
  LatticePoints points;
};

// How a piece merges snapped vertices.
struct PieceMerge {
  bool merge = true;
  // Vertices with the same bits are one, wherever they lie (one piece
  // alone), instead of those on one lattice point; so too where the
  // lattice's points are not distinct.
  bool byPosition = false;
  bool normals = false;  // the vertices have normals
};

// The welded surface of a whole volume (`part`, joined from every layer's)
// closed by its caps and merged as one piece: faces wound outward in world
// space.
IndexedMesh closeAndMerge(const VolumeGeometry& geometry, WeldedPart& part, const PieceCaps& caps,
                          const PieceMerge& merge);

class VolumePiece;

// The piece of a welded share under the pipeline's options: closed where
// they ask (`boundary` holds its slices' faces' voxels), merged where they
// ask.
VolumePiece sharePiece(const VolumeGeometry& geometry, VolumeShare& share,
                       const VolumeBoundary& boundary, const SurfaceOptions& options, bool first,
                       bool last);

// The piece of an unwelded share (its triangles as extracted, each with
// vertices of its own), numbered after the shares' triangles before it.
MeshPiece unweldedPiece(const VolumeGeometry& geometry, VolumeShare& share,
                        std::uint64_t trianglesBefore);

class VolumePiece {
 public:
  // The welded `part` of layers [firstSlice, lastSlice), which span slices
  // firstSlice to lastSlice; the caps' boundary holds those slices' faces'
  // voxels; `first` and `last`: whether no piece
  // with layers comes before or after it.
  VolumePiece(const VolumeGeometry& geometry, WeldedPart& part, std::int64_t firstSlice,
              std::int64_t lastSlice, const PieceCaps& caps, const PieceMerge& merge, bool first,
              bool last);

  PieceCounts ownVertices() const;
  void numberVertices(const PieceCounts& before, std::uint64_t surfaceTotal);

  PlaneVertices plane(PieceSide side) const;
  void takePlane(PieceSide side, const PlaneVertices& plane);

  PieceCounts removedVertices();
  void renumber(const PieceCounts& removedBefore, std::uint64_t surfaceRemovedTotal);

  PlaneNumbers finalNumbers(PieceSide side) const;
  void takeFinalNumbers(PieceSide side, const PlaneNumbers& numbers);

  MeshPiece take();

  // In place of the steps, for one piece, first and last, whose vertices
  // merge on lattice points or not at all (not by position): the mesh they
  // would give, without maps the size of the mesh.
  IndexedMesh wholeMesh();

 private:
  enum class Kind : std::uint8_t { Surface, SharedSurface, Cap, SharedCap };
  static constexpr std::uint32_t None = PlaneNumbers::Unnumbered;

  std::uint32_t addVertex(Kind kind, const Point3& position, const Point3& normal);
  void makeCaps(const PieceCaps& caps,
                const std::vector<std::pair<EdgeKey, std::uint32_t>>& faceEdges);
  // The two ways vertices are found to be one (mergedInto_): on one
  // lattice point, or with the same bits wherever they lie (one piece).
  void mergeOnLatticePoints();
  void mergeSameBits();
  // The vertices (local) sent to the piece on `side`, in the order sent.
  std::vector<std::uint32_t> sentVertices(PieceSide side) const;
  std::int64_t sliceOf(std::int64_t point) const;
  // Whether own vertex v was merged into another (after removedVertices).
  bool merged(std::size_t v) const;

  VolumeGeometry geometry_;
  std::int64_t firstSlice_, lastSlice_;
  bool first_, last_, mirrored_, merge_, byPosition_, normals_;
  IndexedMesh mesh_;  // the share's vertices, then the caps' as they come
  std::size_t surfaceFaces_;
  std::vector<Kind> kinds_;
  std::vector<std::uint64_t> numbers_;  // in the whole mesh before merging
  std::vector<std::pair<std::int64_t, std::uint32_t>> firstPlane_, lastPlane_;
  std::vector<std::pair<EdgeKey, std::uint32_t>> sharedCaps_, planeCaps_;
  // Own vertices only, by lattice point.
  std::vector<std::pair<std::int64_t, std::uint32_t>> onPoints_;
  // Both planes' vertices on lattice points, and what the neighbours sent.
  std::vector<std::pair<std::int64_t, std::uint64_t>> neighbourPoints_;
  std::vector<std::uint64_t> received_[2];
  // Merged vertices: number before merging -> the number it became, and
  // that vertex here (None: a neighbour's).
  std::unordered_map<std::uint64_t, std::pair<std::uint64_t, std::uint32_t>> mergedInto_;
  // Where vertices merge on lattice points only: which own vertices lie on
  // one, the only ones that can have merged.
  std::vector<bool> onPoint_;
  std::vector<std::uint32_t> finals_;  // own kept vertices' final numbers
  // Every vertex is the piece's own, kept, and numbered where it stands:
  // taking the piece changes nothing in its mesh.
  bool asItStands_ = false;
  std::unordered_map<std::uint64_t, std::pair<std::uint32_t, Point3>> neighbourFinals_;
};

}  // namespace mcubes::internal

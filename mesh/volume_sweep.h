// The sweep over a volume's layers of cells that both volume extractions
// share: one per thread, reused from part to part. It writes either the
// triangle soup or a welded part whose vertex numbers are given per crossed
// edge as the cells are polygonised.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "mesh/surface.h"
#include "mesh/volume_extract.h"
#include "mesh/volume_lattice.h"

// The welded surface of layers [first, last) of cells. Vertices are numbered
// in the order faces first use them, faces run outward (the reverse of the
// drawing order) in the drawing order of their triangles: the numbering
// that welding the soup by edge gives.
struct WeldedPart {
  IndexedMesh mesh;
  // A vertex on an i- or j-edge in the first or the last slice of the
  // part, which it shares with the part before or after: (place, vertex),
  // the place (j * X + i) * 2 + axis.
  std::vector<std::pair<std::int64_t, std::uint32_t>> firstSlice, lastSlice;
  // A vertex on an edge in one of the volume's faces, by the edge's key:
  // the caps find it there.
  std::vector<std::pair<EdgeKey, std::uint32_t>> faceEdges;
  // A vertex exactly on a lattice point, by the point's index (k * Y + j) *
  // X + i; kept only where the lattice's points are distinct.
  std::vector<std::pair<std::int64_t, std::uint32_t>> onPoints;
  VolumeFindings findings;

  void clear();
};

class LayerSweep {
 public:
  explicit LayerSweep(const Lattice& lattice);
  LayerSweep(LayerSweep&&) noexcept;
  ~LayerSweep();

  // The layers [first, last). The window holds slices first to last (and
  // one more on each side, where the volume has them, for normals). Slices
  // first to last - 1, and the volume's last slice if it is `last`, are
  // counted in the findings. The soup is appended to `out`; a welded part
  // is cleared first.
  void run(const SliceWindow& window, std::int64_t first, std::int64_t last, ExtractedSurface& out,
           VolumeFindings& findings);
  void run(const SliceWindow& window, std::int64_t first, std::int64_t last, WeldedPart& out);

 private:
  class Sweep;
  std::unique_ptr<Sweep> sweep_;
};

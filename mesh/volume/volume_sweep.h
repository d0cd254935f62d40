// The sweep over a volume's layers of cells that both volume extractions
// share: one per thread, reused from part to part. It writes either the
// triangle soup or a welded part whose vertex numbers are given per crossed
// edge as the cells are polygonised.
#pragma once

#include <cstdint>
#include <memory>
#include <tuple>

#include "mesh/surface/surface.h"
#include "mesh/surface/welded_parts.h"
#include "mesh/volume/volume_extract.h"
#include "mesh/volume/volume_lattice.h"

namespace mcubes::internal {

class LayerSweep {
 public:
  explicit LayerSweep(const Lattice& lattice);
  LayerSweep(LayerSweep&&) noexcept;
  ~LayerSweep();

  // The layers [first, last). The window holds slices first to last (and
  // one more on each side, where the volume has them, for normals). Slices
  // first to last - 1, and the volume's last slice if it is `last`, are
  // counted in `findings`. The soup is appended to `out`; a welded part
  // (mesh/surface/welded_parts.h) is cleared first, its planes the slices first and
  // last, places in them (j * X + i) * 2 + axis for i- and j-edges, its
  // lattice points' index (k * Y + j) * X + i. `continued`: the part goes
  // on from this sweep's run before, which ended at `first`, as if both
  // had been one run (its first plane stays that run's).
  // The window's values are doubles, floats or bytes (SliceWindowOf).
  template <typename Value>
  void run(const SliceWindowOf<Value>& window, std::int64_t first, std::int64_t last,
           ExtractedSurface& out, VolumeFindings& findings);
  template <typename Value>
  void run(const SliceWindowOf<Value>& window, std::int64_t first, std::int64_t last,
           WeldedPart& out, VolumeFindings& findings, bool continued = false);

 private:
  // The sweep for one form of values, made as it is first run.
  template <typename Value>
  class Sweep;
  template <typename Value>
  Sweep<Value>& sweep();

  const Lattice* lattice_;
  std::tuple<std::unique_ptr<Sweep<double>>, std::unique_ptr<Sweep<float>>,
             std::unique_ptr<Sweep<std::uint8_t>>>
      sweeps_;
};

}  // namespace mcubes::internal

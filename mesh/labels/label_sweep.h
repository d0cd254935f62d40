// The sweep of a label map over layers of cells for all its labels at once:
// each label's welded part is the one the volume sweep (mesh/volume/volume_sweep.h)
// makes of the label's indicator volume (1 where a voxel holds the label, 0
// elsewhere) at 0.5, the same vertices, numbers and faces in the same order,
// but the voxels are looked at once for all labels. A cell whose eight
// voxels hold one value has no triangles; a crossed one is polygonised for
// each label among its voxels, and a lattice edge between two values holds
// the vertex of each of the two labels. Without normals (which need each
// indicator's gradient).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "mesh/surface/welded_parts.h"
#include "mesh/volume/volume_lattice.h"

namespace mcubes::internal {

class LabelSweep {
 public:
  // A label to weld: its value, its layers [from, to) (within the run's; no
  // cell outside them holds it) and its part, cleared first.
  struct Label {
    double value;
    std::int64_t from, to;
    WeldedPart* part;
  };

  explicit LabelSweep(const Lattice& lattice);
  LabelSweep(LabelSweep&&) noexcept;
  ~LabelSweep();

  // The layers [first, last); the window holds slices first to last, every
  // voxel an integer. Values not among `labels` are the background.
  // `continued`: the run goes on from the one before, which ended at
  // `first`; the parts of its labels are added to, not cleared (a part
  // then spans the runs, its `from` the first run's), and the vertices on
  // slice `first` keep their numbers.
  void run(const SliceWindow& window, std::int64_t first, std::int64_t last,
           const std::vector<Label>& labels, bool continued = false);

 private:
  class Sweep;
  std::unique_ptr<Sweep> sweep_;
};

}  // namespace mcubes::internal

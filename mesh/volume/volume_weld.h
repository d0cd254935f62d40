// A volume's welded surface put together from the sweep's parts in order,
// in time that grows with the mesh, without a hash over every vertex. Its
// caps and the merge of its snapped vertices come after, as for a piece of
// the mesh (closeAndMerge, mesh/distributed/volume_piece.h).
#pragma once

#include "mesh/surface/welded_parts.h"

namespace mcubes::internal {

class VolumeWeld {
 public:
  // Joins the next part of layers.
  void add(WeldedPart& part) { joined_.add(part); }

  // The parts joined so far as one.
  WeldedPart take() { return joined_.take(); }

 private:
  JoinedParts joined_;
};

}  // namespace mcubes::internal

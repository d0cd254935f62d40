// A volume's welded surface put together from the sweep's parts in order,
// in time that grows with the mesh, without a hash over every vertex. Its
// caps and the merge of its snapped vertices come after, as for a piece of
// the mesh (closeAndMerge, mesh/distributed/volume_piece.h). Or each part
// handed on as it comes, for a mesh that leaves as it is made
// (mesh/pipeline/streamed_surface.h).
#pragma once

#include <functional>
#include <utility>

#include "mesh/surface/welded_parts.h"

namespace mcubes::internal {

class VolumeWeld {
 public:
  using Taker = std::function<void(WeldedPart& part)>;

  VolumeWeld() = default;
  // Each part goes to `take`, in order, instead of being joined; the sweep
  // reuses it once `take` returns.
  explicit VolumeWeld(Taker take) : take_(std::move(take)) {}

  // Joins the next part of layers.
  void add(WeldedPart& part) {
    if (take_) {
      take_(part);
    } else {
      joined_.add(part);
    }
  }

  // Whether parts are joined here (not handed on).
  bool joins() const { return !take_; }
  // The parts added so far are the share `done` of `total` layers.
  void expect(std::int64_t done, std::int64_t total) {
    if (!take_) joined_.expect(done, total);
  }

  // The parts joined so far as one.
  WeldedPart take() { return joined_.take(); }

 private:
  JoinedParts joined_;
  Taker take_;
};

}  // namespace mcubes::internal

// One layer of a volume whose voxels hold several side by side (a layered
// segmentation, VolumeHeader::layers), read from the volume of all of them.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "volume/volume.h"

namespace mcubes::internal {

class LayerVolume : public VolumeReader {
 public:
  // `all` reads slices of header.layers times as many voxels along i, the
  // layers of a voxel one after another; `header` is one layer's.
  LayerVolume(std::unique_ptr<VolumeReader> all, const VolumeHeader& header, std::int64_t layer);
  const VolumeHeader& header() const override { return header_; }
  void readSlices(std::int64_t count, double* out) override;
  void skipSlices(std::int64_t count) override { all_->skipSlices(count); }

 private:
  std::unique_ptr<VolumeReader> all_;
  VolumeHeader header_;
  std::int64_t layer_;
  std::vector<double> slice_;  // one slice of every layer
};

}  // namespace mcubes::internal

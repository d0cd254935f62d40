#include "volume/layer_volume.h"

#include <utility>

namespace mcubes::internal {

LayerVolume::LayerVolume(std::unique_ptr<VolumeReader> all, const VolumeHeader& header,
                         std::int64_t layer)
    : all_(std::move(all)),
      header_(header),
      layer_(layer),
      slice_(static_cast<std::size_t>(header.layers * header.geometry.dims[0] *
                                      header.geometry.dims[1])) {}

void LayerVolume::readSlices(std::int64_t count, double* out) {
  const std::int64_t size = header_.geometry.dims[0] * header_.geometry.dims[1];
  for (std::int64_t k = 0; k < count; ++k, out += size) {
    all_->readSlices(1, slice_.data());
    const double* from = slice_.data() + layer_;
    for (std::int64_t n = 0; n < size; ++n) out[n] = from[n * header_.layers];
  }
}

}  // namespace mcubes::internal

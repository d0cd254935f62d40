#include "volume/in_memory_volume.h"

#include <algorithm>
#include <utility>

#include "volume/read_failure.h"

namespace mcubes::internal {

InMemoryVolume::InMemoryVolume(const VolumeHeader& header, std::unique_ptr<double[]> values)
    : header_(header), values_(std::move(values)) {}

void InMemoryVolume::readSlices(std::int64_t count, double* out) {
  const std::int64_t* dims = header_.geometry.dims;
  checkSlicesLeft(count, nextSlice_, dims[2]);
  const std::int64_t slice = dims[0] * dims[1];
  const double* from = values_.get() + nextSlice_ * slice;
  std::copy(from, from + count * slice, out);
  nextSlice_ += count;
}

void InMemoryVolume::skipSlices(std::int64_t count) {
  checkSlicesLeft(count, nextSlice_, header_.geometry.dims[2]);
  nextSlice_ += count;
}

}  // namespace mcubes::internal

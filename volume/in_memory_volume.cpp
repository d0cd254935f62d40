#include <algorithm>
#include <cstddef>
#include <string>
#include <utility>

#include "volume/volume.h"

InMemoryVolume::InMemoryVolume(const VolumeHeader& header, std::unique_ptr<double[]> values)
    : header_(header), values_(std::move(values)) {}

void InMemoryVolume::readSlices(std::int64_t count, double* out) {
  const std::int64_t* dims = header_.geometry.dims;
  if (count < 0 || count > dims[2] - nextSlice_) {
    throw VolumeError("the volume in memory has " + std::to_string(dims[2] - nextSlice_) +
                      " slices left, " + std::to_string(count) + " asked for");
  }
  const std::int64_t slice = dims[0] * dims[1];
  const double* from = values_.get() + nextSlice_ * slice;
  std::copy(from, from + count * slice, out);
  nextSlice_ += count;
}

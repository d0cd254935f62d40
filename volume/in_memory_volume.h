// Volumes held whole in memory.
#pragma once

#include <cstdint>
#include <memory>

#include "volume/volume.h"

namespace mcubes::internal {

// The volume's voxels held in memory, the same values a reader gives: for
// benchmarks (extraction alone) and tests.
class InMemoryVolume : public VolumeReader {
 public:
  InMemoryVolume(const VolumeHeader& header, std::unique_ptr<double[]> values);
  const VolumeHeader& header() const override { return header_; }
  void readSlices(std::int64_t count, double* out) override;
  void skipSlices(std::int64_t count) override;
  const double* values() const { return values_.get(); }
  void rewind() { nextSlice_ = 0; }

 private:
  VolumeHeader header_;
  std::unique_ptr<double[]> values_;
  std::int64_t nextSlice_ = 0;
};

}  // namespace mcubes::internal

// A volume read from its files as the slices are asked for: what every
// file reader returns. It holds a small window of stored bytes, never the
// volume.
#pragma once

#include <vector>

#include "volume/data_stream.h"
#include "volume/volume.h"

namespace mcubes::internal {

class StreamedVolume : public VolumeReader {
 public:
  StreamedVolume(const VolumeHeader& header, bool bigEndian, DataLayout layout);
  const VolumeHeader& header() const override { return header_; }
  void readSlices(std::int64_t count, double* out) override;
  ValueForm valueForm() const override;
  void skipSlices(std::int64_t count) override;

 private:
  void readNarrowSlices(std::int64_t count, float* out) override;
  void readNarrowSlices(std::int64_t count, std::uint8_t* out) override;
  template <typename Value>
  void read(std::int64_t count, Value* out);

  VolumeHeader header_;
  bool bigEndian_;
  DataStream data_;
  std::int64_t nextSlice_ = 0;
  std::vector<unsigned char> stored_;
};

}  // namespace mcubes::internal

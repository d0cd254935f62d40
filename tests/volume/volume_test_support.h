// What the volume tests share: writing files of given bytes, compressing
// them as gzip or zlib streams, and reading a whole volume back.
#pragma once

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "volume/volume.h"

inline void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

// `bytes` deflated into a gzip member, or a zlib stream (MetaImage's kind).
inline std::string compressed(const std::string& bytes, bool gzip) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, gzip ? 15 + 16 : 15, 8,
                   Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2 failed");
  }
  std::string out(deflateBound(&stream, static_cast<uLong>(bytes.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  stream.avail_in = static_cast<uInt>(bytes.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (result != Z_STREAM_END) throw std::runtime_error("deflate did not finish");
  return out;
}

// The first volume's values, read `slicesPerRead` slices at a time: as
// doubles, or (`narrow`) in the form the reader names (valueForm), widened.
inline std::vector<double> readAll(mcubes::internal::VolumeReader& reader,
                                   std::int64_t slicesPerRead = 1, bool narrow = false) {
  using mcubes::internal::ValueForm;
  const mcubes::internal::VolumeGeometry& g = reader.header().geometry;
  const auto size = static_cast<std::size_t>(g.dims[0] * g.dims[1] * g.dims[2]);
  const ValueForm form = narrow ? reader.valueForm() : ValueForm::Doubles;
  std::vector<double> values(size);
  std::vector<float> floats(form == ValueForm::Floats ? size : 0);
  std::vector<std::uint8_t> bytes(form == ValueForm::Bytes ? size : 0);
  for (std::int64_t k = 0; k < g.dims[2]; k += slicesPerRead) {
    const std::int64_t count = std::min(slicesPerRead, g.dims[2] - k),
                       at = k * g.dims[0] * g.dims[1];
    if (form == ValueForm::Floats) reader.readFloatSlices(count, floats.data() + at);
    if (form == ValueForm::Bytes) reader.readByteSlices(count, bytes.data() + at);
    if (form == ValueForm::Doubles) reader.readSlices(count, values.data() + at);
  }
  if (form == ValueForm::Floats) std::copy(floats.begin(), floats.end(), values.begin());
  if (form == ValueForm::Bytes) std::copy(bytes.begin(), bytes.end(), values.begin());
  return values;
}

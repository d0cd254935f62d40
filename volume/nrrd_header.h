// NRRD headers (teem's format: .nrrd with the data attached after a blank
// line, .nhdr with the data in other files), as text in, meaning out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "volume/volume.h"

namespace mcubes::internal {

struct NrrdHeader {
  VolumeHeader volume;       // the first three axes; the notice for more
  std::int64_t volumes = 1;  // the product of the sizes past the third axis
  std::int64_t bytes = 0;    // the stored voxels of every volume
  bool bigEndian = false;
  bool gzip = false;
  std::int64_t lineSkip = 0;
  std::int64_t byteSkip = 0;           // -1: the data ends at the file's end
  std::vector<std::string> dataFiles;  // paths; empty when the data is attached
};

// Reads a header: `text` from its magic line up to, not including, the
// blank line that ends it. Detached data files are taken as relative to
// `file`'s folder; every failure names `file`.
NrrdHeader parseNrrdHeader(std::string_view text, const std::string& file);

}  // namespace mcubes::internal

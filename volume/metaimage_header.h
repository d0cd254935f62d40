// MetaImage headers (ITK's MetaIO format: .mha with the data attached after
// the header, .mhd with the data in other files), as text in, meaning out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "volume/volume.h"

namespace mcubes::internal {

struct MetaImageHeader {
  VolumeHeader volume;       // the first three axes; the notice for more
  std::int64_t volumes = 1;  // the product of the sizes past the third axis
  std::int64_t bytes = 0;    // the stored voxels of every volume
  bool bigEndian = false;
  bool compressed = false;             // zlib
  std::int64_t headerSize = 0;         // bytes before the data in each data file;
                                       // -1: the data ends at the file's end
  std::vector<std::string> dataFiles;  // paths; empty for LOCAL (attached)
};

// Reads a header: `text` from the first line through the ElementDataFile
// line (and the list of files that follows ElementDataFile = LIST). Data
// files are taken as relative to `file`'s folder; every failure names
// `file`.
MetaImageHeader parseMetaImageHeader(std::string_view text, const std::string& file);

}  // namespace mcubes::internal

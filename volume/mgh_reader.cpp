#include "volume/binary_header.h"
#include "volume/mgh_header.h"
#include "volume/streamed_volume.h"
#include "volume/volume_readers.h"

namespace mcubes::internal {

std::unique_ptr<VolumeReader> openMgh(const std::string& path, bool gzip) {
  const std::vector<unsigned char> bytes = binaryHeader(path, gzip, MghHeaderBytes);
  const MghHeader header = parseMghHeader(bytes.data(), bytes.size(), path);
  DataLayout layout;
  layout.headerFile = path;
  layout.files = {path};
  layout.byteSkip = MghHeaderBytes;
  layout.compressed = gzip;
  layout.bytesPerFile = header.bytes;
  return std::make_unique<StreamedVolume>(header.volume, true, std::move(layout));
}

}  // namespace mcubes::internal

// The build without zlib (the Windows and browser builds).
#include "volume/gzip_source.h"
#include "volume/read_failure.h"

namespace mcubes::internal {

const bool InflatesGzip = false;

std::unique_ptr<ByteSource> inflatingSource(std::unique_ptr<ByteSource>, const std::string& file) {
  failVolume(file, "this build cannot read compressed data (built without zlib)",
             "decompress it first, or use a build with zlib");
}

bool inflateWhole(const unsigned char*, std::size_t, unsigned char*, std::size_t) { return false; }

}  // namespace mcubes::internal

#include "volume/binary_header.h"

#include "volume/file_source.h"
#include "volume/gzip_source.h"

namespace mcubes::internal {

std::vector<unsigned char> binaryHeader(const std::string& path, bool gzip, std::size_t size) {
  std::unique_ptr<ByteSource> source = std::make_unique<FileSource>(path);
  if (gzip) source = inflatingSource(std::move(source), path);
  std::vector<unsigned char> bytes(size);
  bytes.resize(source->read(bytes.data(), size));
  return bytes;
}

}  // namespace mcubes::internal

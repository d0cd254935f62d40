// A file read from any 64-bit offset, with the errors a user can act on.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

#include "volume/byte_source.h"

namespace mcubes::internal {

// The size of the file at `path`; fails naming it when it is missing, a
// folder or otherwise no file.
std::int64_t fileSize(const std::string& path);

// The first `most` bytes of the file at `path` (fewer if it is shorter).
std::string fileHead(const std::string& path, std::size_t most);

class FileSource : public ByteSource {
 public:
  // Opens `path`; fails naming it as fileSize does, or when it cannot be
  // opened for reading.
  explicit FileSource(const std::string& path);
  std::size_t read(unsigned char* out, std::size_t size) override;
  bool skip(std::int64_t count) override;
  void seek(std::int64_t offset);
  std::int64_t size() const { return size_; }

 private:
  std::string path_;
  std::int64_t size_;
  std::ifstream in_;
};

}  // namespace mcubes::internal

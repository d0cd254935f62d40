#include "util/file.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

namespace {

// The size that seeking to the end reports, or -1 where seeking cannot tell
// it. Only a regular file has such a size: a pipe or FIFO cannot seek, and a
// directory or device seeks to offsets that are no byte count at all.
long seekableSize(std::FILE* stream) {
  struct stat status;
  if (fstat(fileno(stream), &status) != 0 || !S_ISREG(status.st_mode)) return -1;
  if (std::fseek(stream, 0, SEEK_END) != 0) return -1;
  // -1 also where the size does not fit in a long (a file over 2 GiB on
  // 32-bit Windows).
  const long size = std::ftell(stream);
  if (std::fseek(stream, 0, SEEK_SET) != 0) return -1;
  return size;
}

}  // namespace

char* readWholeFile(const char* path) {
  std::FILE* stream = std::fopen(path, "rb");
  if (stream == nullptr) return nullptr;
  const long size = seekableSize(stream);
  char* buffer = nullptr;
  // size + 1 cannot overflow: a long's largest value is below size_t's on
  // every target.
  if (size >= 0) buffer = static_cast<char*>(std::malloc(static_cast<std::size_t>(size) + 1));
  if (buffer != nullptr && std::fread(buffer, 1, static_cast<std::size_t>(size), stream) !=
                               static_cast<std::size_t>(size)) {
    std::free(buffer);
    buffer = nullptr;
  }
  std::fclose(stream);
  if (buffer != nullptr) buffer[size] = '\0';
  return buffer;
}

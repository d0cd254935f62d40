#include "util/file.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

namespace {

// Seeking finds a size for files and devices; a device that seeks at all
// reports the size its driver gives (0 for /dev/null, /dev/zero and the
// like, so those read as empty files). A pipe, FIFO or socket cannot seek,
// and a directory, which opens for reading here, seeks to an offset that is
// no byte count: none of these is asked.
bool mightSeekToItsSize(std::FILE* stream) {
  struct stat status;
  if (fstat(fileno(stream), &status) != 0) return false;
  return S_ISREG(status.st_mode) || S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode);
}

// The size that seeking to the end reports, with the stream back at its
// start, or -1 where seeking cannot tell it.
long seekableSize(std::FILE* stream) {
  if (!mightSeekToItsSize(stream) || std::fseek(stream, 0, SEEK_END) != 0) return -1;
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

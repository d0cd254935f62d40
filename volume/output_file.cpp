#include "volume/output_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace fs = std::filesystem;

namespace {

std::string failure(const std::string& path, const std::string& reason) {
  return "cannot write '" + path + "': " + reason;
}

std::string writeStandardOutput(const std::function<bool(std::FILE*)>& write) {
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  const bool written = write(stdout);
  if (!written || std::fflush(stdout) != 0 || std::ferror(stdout)) {
    return std::string("cannot write standard output: ") + std::strerror(errno);
  }
  return {};
}

// Opens `path`, hands it to `write` and closes it. The reason for the first
// failure (the open, a write or the close), or an empty string.
std::string writeFile(const std::string& path, const std::function<bool(std::FILE*)>& write) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return std::strerror(errno);
  const bool written = write(file);
  const int writeErrno = errno;
  const bool closed = std::fclose(file) == 0;
  if (written && closed) return {};
  return std::strerror(written ? errno : writeErrno);
}

}  // namespace

fs::path temporaryBeside(const fs::path& target) {
  std::random_device random;
  fs::path temporary = target;
  temporary += ".tmp" + std::to_string(random() & 0xffffffu);
  return temporary;
}

std::string writeOutput(const std::string& path, const std::function<bool(std::FILE*)>& write) {
  if (path.empty() || path == "-") return writeStandardOutput(write);

  const fs::path target(path);
  std::error_code error;
  const fs::file_status status = fs::status(target, error);
  if (fs::is_directory(status)) return failure(path, "is a directory");
  // Devices and pipes cannot be replaced by a rename (and must not be: as
  // root that would swap /dev/null for a regular file), and hold no partial
  // file.
  if (fs::exists(status) && !fs::is_regular_file(status)) {
    const std::string reason = writeFile(path, write);
    return reason.empty() ? reason : failure(path, reason);
  }

  const fs::path temporary = temporaryBeside(target);
  std::string reason = writeFile(temporary.string(), write);
  if (reason.empty()) {
    fs::rename(temporary, target, error);
    if (error) reason = error.message();
  }
  if (reason.empty()) return {};
  fs::remove(temporary, error);
  return failure(path, reason);
}

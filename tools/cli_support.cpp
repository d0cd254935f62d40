#include "tools/cli_support.h"

#include <cerrno>
#include <charconv>
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

// Accepts exactly an optional sign and decimal digits within the 32-bit
// range, and hands the parser the plain decimal form: "010" is ten, not an
// octal eight, and "0x10", " 5", "" and 2147483648 are refused rather than
// reinterpreted.
std::string normaliseInt32(std::string& text) {
  const char* first = text.data();
  const char* last = first + text.size();
  const char* digits = first != last && (*first == '+' || *first == '-') ? first + 1 : first;
  bool decimal = digits != last;
  for (const char* c = digits; c != last; ++c) decimal = decimal && *c >= '0' && *c <= '9';
  std::int32_t value = 0;
  if (decimal) {
    const auto result = std::from_chars(*first == '+' ? first + 1 : first, last, value);
    if (result.ec == std::errc() && result.ptr == last) {
      text = std::to_string(value);
      return {};
    }
  }
  return "not a 32-bit integer: '" + text + "'";
}

// One side of a size: decimal digits only, 1 to maxSnapshotSide, read
// without overflow however long the text.
bool parseSide(const std::string& text, int& side) {
  if (text.empty()) {
    return false;
  }
  long value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') {
      return false;
    }
    value = value * 10 + (c - '0');
    if (value > maxSnapshotSide) {
      return false;
    }
  }
  if (value < 1) {
    return false;
  }
  side = static_cast<int>(value);
  return true;
}

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

// A name beside the target, on the same file system so that the rename is
// atomic, and unlikely to meet another run's temporary file.
fs::path temporaryBeside(const fs::path& target) {
  std::random_device random;
  fs::path temporary = target;
  temporary += ".tmp" + std::to_string(random() & 0xffffffu);
  return temporary;
}

}  // namespace

CLI::Option* addTickOption(CLI::App& command, std::int32_t& tick) {
  return command
      .add_option("--tick", tick, "Animation clock in timer ticks, any 32-bit signed integer")
      ->transform(CLI::Validator(normaliseInt32, "INT32", "32-bit integer"))
      ->capture_default_str();
}

int defaultThreads() { return 1; }

CLI::Option* addThreadsOption(CLI::App& command, int& threads) {
  return command.add_option("--threads", threads, "Worker threads, 1 to 1024 (same output)")
      ->check(CLI::Range(1, 1024))
      ->capture_default_str();
}

bool parseSnapshotSize(const std::string& text, int& width, int& height, std::string& error) {
  const std::size_t x = text.find('x');
  if (x == std::string::npos || !parseSide(text.substr(0, x), width) ||
      !parseSide(text.substr(x + 1), height)) {
    error = "bad size '" + text + "': expected WxH, each side from 1 to " +
            std::to_string(maxSnapshotSide);
    return false;
  }
  return true;
}

CLI::Option* addSizeOption(CLI::App& command, std::string& size) {
  size = "800x600";
  const std::string limit = std::to_string(maxSnapshotSide);
  return command.add_option("--size", size, "Picture size WxH, each side 1 to " + limit)
      ->capture_default_str();
}

void sizeOrFail(const std::string& size, int& width, int& height) {
  std::string error;
  if (!parseSnapshotSize(size, width, height, error)) failCommand(error);
}

CLI::Option* addOutputOption(CLI::App& command, std::string& path, const std::string& what) {
  return command.add_option("-o,--output", path, what + "; - for standard output");
}

void failCommand(const std::string& message) { throw CLI::RuntimeError(message, BadInputExitCode); }

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

// A fresh directory for one test, removed with everything in it when the
// object goes, and a whole-file reader for what the test finds there.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>

class TemporaryDirectory {
 public:
  // A name no directory has yet, made by creating it (which fails where it
  // exists), so that tests running at once never share one; mkdtemp would do
  // it, but Windows has none.
  TemporaryDirectory() {
    std::random_device random;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
      const auto salt = static_cast<unsigned long long>(
          std::chrono::steady_clock::now().time_since_epoch().count());
      const std::filesystem::path path =
          base / ("mcubes-test-" + std::to_string(salt ^ random()) + "-" + std::to_string(attempt));
      if (std::filesystem::create_directory(path)) {
        path_ = path;
        return;
      }
    }
    throw std::runtime_error("cannot make a new temporary directory in " + base.string());
  }
  ~TemporaryDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The file's bytes; empty when it cannot be read.
inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

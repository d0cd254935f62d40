#include "volume/output_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <system_error>

#include "volume/temporary_files.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace mcubes::internal {

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
  bool written = false;
  try {
    written = write(file);
  } catch (...) {
    // A writer that gives up (the volume unreadable, the run cancelled)
    // leaves the file to be removed.
    std::fclose(file);
    throw;
  }
  const int writeErrno = errno;
  const bool closed = std::fclose(file) == 0;
  if (written && closed) return {};
  return std::strerror(written ? errno : writeErrno);
}

// The files open volumes are read from, as canonical paths.
std::mutex inputsLock;
std::multiset<std::string> inputs;

// `path` made canonical, its folder's resolution reused while the files
// of a series (a header may name a million) share it.
std::string canonicalFile(const fs::path& path) {
  thread_local fs::path lastFolder, lastResolved;
  std::error_code error;
  if (fs::is_symlink(fs::symlink_status(path, error)) || !path.has_filename() ||
      path.filename() == "..") {
    return fs::weakly_canonical(path, error).string();
  }
  const fs::path folder = path.parent_path();
  if (folder != lastFolder || lastResolved.empty()) {
    lastResolved = fs::weakly_canonical(fs::absolute(folder.empty() ? "." : folder, error), error);
    lastFolder = folder;
  }
  return (lastResolved / path.filename()).string();
}

bool isInput(const fs::path& path) {
  const std::string canonical = canonicalFile(path);
  const std::lock_guard<std::mutex> lock(inputsLock);
  return inputs.count(canonical) > 0;
}

// Where `path` leads once its symbolic links are followed, even to a file
// not there yet.
fs::path followed(fs::path path, std::error_code& error) {
  for (int hops = 0; hops < 40; ++hops) {
    if (!fs::is_symlink(fs::symlink_status(path, error))) {
      error.clear();
      return path;
    }
    const fs::path to = fs::read_symlink(path, error);
    if (error) return path;
    path = to.is_absolute() ? to : path.parent_path() / to;
  }
  error = std::make_error_code(std::errc::too_many_symbolic_link_levels);
  return path;
}

constexpr fs::perms AnyWrite =
    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;

// Where an output goes, and why it may not, if so.
struct Destination {
  fs::path target;  // the path given, its symbolic links followed
  fs::file_status status;
  std::string refused;
};

Destination destination(const std::string& path) {
  std::error_code error;
  Destination to{followed(fs::path(path), error), {}, {}};
  if (error) {
    to.refused = "its symbolic links lead nowhere (" + error.message() + ")";
    return to;
  }
  to.status = fs::status(to.target, error);
  if (fs::is_directory(to.status)) {
    to.refused = "is a directory";
  } else if (fs::is_regular_file(to.status) && isInput(to.target)) {
    to.refused = "it is a file that the volume is read from; name another output file";
  } else if (fs::is_regular_file(to.status) &&
             (to.status.permissions() & AnyWrite) == fs::perms::none) {
    // A rename would replace it regardless of its permissions.
    to.refused = "it is read-only; make it writable (chmod u+w) or name another output file";
  }
  return to;
}

}  // namespace

struct OutputFiles::Written {
  std::string path;  // as given
  fs::path target, temporary;
  std::unique_ptr<NotedTemporary> noted;
};

OutputFiles::OutputFiles() = default;

OutputFiles::~OutputFiles() { drop(); }

void OutputFiles::drop() {
  std::error_code error;
  for (const Written& file : written_) fs::remove(file.temporary, error);
  written_.clear();
}

std::string OutputFiles::add(const std::string& path,
                             const std::function<bool(std::FILE*)>& write) {
  const auto fail = [&](const std::string& reason) {
    drop();
    return failure(path, reason);
  };
  if (path.empty() || path == "-") {
    const std::string error = writeStandardOutput(write);
    if (!error.empty()) drop();
    return error;
  }
  const Destination to = destination(path);
  if (!to.refused.empty()) return fail(to.refused);
  // Devices and pipes cannot be replaced by a rename (and must not be: as
  // root that would swap /dev/null for a regular file), and hold no partial
  // file.
  if (fs::exists(to.status) && !fs::is_regular_file(to.status)) {
    const std::string reason = writeFile(to.target.string(), write);
    return reason.empty() ? reason : fail(reason);
  }
  Written file{path, to.target, temporaryBeside(to.target), nullptr};
  file.noted = std::make_unique<NotedTemporary>(file.temporary.string());
  std::string reason;
  try {
    reason = writeFile(file.temporary.string(), write);
  } catch (...) {
    std::error_code ignored;
    fs::remove(file.temporary, ignored);
    drop();
    throw;
  }
  // The file replaced keeps its permissions.
  std::error_code ignored;
  if (fs::exists(to.status)) fs::permissions(file.temporary, to.status.permissions(), ignored);
  written_.push_back(std::move(file));
  return reason.empty() ? reason : fail(reason);
}

std::string OutputFiles::commit() {
  for (std::size_t n = 0; n < written_.size(); ++n) {
    std::error_code error;
    fs::rename(written_[n].temporary, written_[n].target, error);
    if (error) {
      const std::string message = failure(written_[n].path, error.message());
      written_.erase(written_.begin(), written_.begin() + static_cast<std::ptrdiff_t>(n));
      drop();
      return message;
    }
  }
  written_.clear();
  return {};
}

void noteInputFile(const std::string& path) {
  std::string canonical = canonicalFile(path);
  const std::lock_guard<std::mutex> lock(inputsLock);
  inputs.insert(std::move(canonical));
}

void forgetInputFile(const std::string& path) {
  const std::string canonical = canonicalFile(path);
  const std::lock_guard<std::mutex> lock(inputsLock);
  const auto at = inputs.find(canonical);
  if (at != inputs.end()) inputs.erase(at);
}

std::string refusedOutput(const std::string& path) {
  if (path.empty() || path == "-") return {};
  const Destination to = destination(path);
  return to.refused.empty() ? to.refused : failure(path, to.refused);
}

fs::path temporaryBeside(const fs::path& target) {
  std::random_device random;
  fs::path temporary = target;
  temporary += ".tmp" + std::to_string(random() & 0xffffffu);
  return temporary;
}

std::string writeOutput(const std::string& path, const std::function<bool(std::FILE*)>& write) {
  OutputFiles file;
  const std::string error = file.add(path, write);
  return error.empty() ? file.commit() : error;
}

}  // namespace mcubes::internal

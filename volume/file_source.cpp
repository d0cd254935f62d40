#include "volume/file_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "volume/read_failure.h"

namespace mcubes::internal {

std::int64_t fileSize(const std::string& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (!std::filesystem::exists(status)) {
    failVolume(path, "no such file", "check the path");
  }
  if (std::filesystem::is_directory(status)) {
    failVolume(path, "is a folder, not a file", "name the volume file inside it");
  }
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error) {
    failVolume(path, "has no size to read (" + error.message() + ")",
               "name a regular file, not a device or pipe");
  }
  return static_cast<std::int64_t>(size);
}

FileSource::FileSource(const std::string& path) : path_(path), size_(fileSize(path)) {
  errno = 0;
  in_.open(path, std::ios::binary);
  if (!in_) {
    const std::string reason = errno != 0 ? std::strerror(errno) : "unknown reason";
    failVolume(path, "cannot be opened for reading (" + reason + ")",
               "check that it is readable by you");
  }
}

std::size_t FileSource::read(unsigned char* out, std::size_t size) {
  in_.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(size));
  if (in_.bad()) failVolume(path_, "a read failed", "check the disk and the file");
  const std::size_t got = static_cast<std::size_t>(in_.gcount());
  // At the end, the stream stays usable for seeking back.
  if (got < size) in_.clear();
  return got;
}

bool FileSource::skip(std::int64_t count) {
  const std::int64_t at = static_cast<std::int64_t>(in_.tellg());
  if (at < 0 || at + count > size_) return false;
  seek(at + count);
  return true;
}

void FileSource::seek(std::int64_t offset) {
  in_.clear();
  in_.seekg(static_cast<std::streamoff>(offset));
  if (!in_) failVolume(path_, "cannot seek to byte " + std::to_string(offset), "check the file");
}

std::string fileHead(const std::string& path, std::size_t most) {
  FileSource file(path);
  std::string head(static_cast<std::size_t>(std::min<std::int64_t>(file.size(), most)), '\0');
  head.resize(file.read(reinterpret_cast<unsigned char*>(head.data()), head.size()));
  return head;
}

}  // namespace mcubes::internal

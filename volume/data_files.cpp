#include "volume/data_files.h"

#include <filesystem>
#include <iterator>

#include "volume/read_failure.h"

namespace mcubes::internal {

namespace fs = std::filesystem;

namespace {

bool outsideAllowed = false;

// The last folder of a referenced file found to lie in or below its
// referrer's, after the referrer's folder and a NUL.
thread_local std::string approvedFolder;

// Whether `path` lies in or below `folder` once both have their symbolic
// links followed.
bool liesWithin(const std::string& path, const std::string& folder) {
  std::error_code error;
  const fs::path inner = fs::weakly_canonical(fs::absolute(path, error), error);
  if (error) return false;
  const fs::path outer = fs::weakly_canonical(fs::absolute(folder, error), error);
  if (error) return false;
  auto at = inner.begin();
  for (auto part = outer.begin(); part != outer.end(); ++part, ++at) {
    // A trailing separator is an empty last part.
    if (part->empty() && std::next(part) == outer.end()) break;
    if (at == inner.end() || *at != *part) return false;
  }
  return true;
}

// Fails naming `referrer` where `path` (named `name` in it) may not be read
// (data_files.h).
void checkReferencedFile(const std::string& referrer, const std::string& path,
                         std::string_view name) {
  std::error_code error;
  const fs::file_status own = fs::symlink_status(path, error);
  const bool link = fs::is_symlink(own);
  const fs::file_status status = link ? fs::status(path, error) : own;
  if (fs::exists(status) && !fs::is_regular_file(status) && !fs::is_directory(status)) {
    failVolume(referrer, "the file it names, " + shown(name) + ", is a device or pipe, not a file",
               "name a regular file");
  }
  if (outsideAllowed) return;
  const fs::path folder = fs::path(referrer).parent_path();
  const std::string outer = folder.empty() ? "." : folder.string();
  // A file that is no link lies where its folder does, which is checked
  // once for all the files of a series (a header may name a million).
  const fs::path file(path);
  const bool plain = !link && file.filename() != ".." && file.filename() != ".";
  const std::string key = outer + '\0' + file.parent_path().string();
  if (plain && key == approvedFolder) return;
  if (plain ? liesWithin(file.parent_path().empty() ? "." : file.parent_path().string(), outer)
            : liesWithin(path, outer)) {
    if (plain) approvedFolder = key;
    return;
  }
  failVolume(referrer, "the file it names, " + shown(name) + ", lies outside its folder",
             "move it into that folder, or give {outside_references} to read files anywhere");
}

}  // namespace

void allowOutsideReferences(bool allowed) { outsideAllowed = allowed; }

std::string besideHeader(const std::string& headerFile, std::string_view name) {
  const fs::path given{std::string(name)};
  const std::string path =
      given.is_absolute() ? given.string() : (fs::path(headerFile).parent_path() / given).string();
  checkReferencedFile(headerFile, path, name);
  return path;
}

std::vector<std::string> numberedFiles(const std::string& headerFile, std::string_view pattern,
                                       std::int64_t first, std::int64_t last, std::int64_t step) {
  const std::string remedy = "name the series as name%03d.raw FIRST LAST STEP";
  const std::size_t percent = pattern.find('%');
  if (percent == std::string_view::npos) {
    failVolume(headerFile, "the data file series " + shown(pattern) + " has no %d for the number",
               remedy);
  }
  std::size_t at = percent + 1;
  const bool zeros = at < pattern.size() && pattern[at] == '0';
  if (zeros) ++at;
  int width = 0;
  while (at < pattern.size() && pattern[at] >= '0' && pattern[at] <= '9' && width < 100) {
    width = width * 10 + (pattern[at++] - '0');
  }
  if (at >= pattern.size() || (pattern[at] != 'd' && pattern[at] != 'i' && pattern[at] != 'u') ||
      pattern.find('%', at) != std::string_view::npos || width >= 100) {
    failVolume(headerFile,
               "the data file series " + shown(pattern) + " is not one number of the form %d",
               remedy);
  }
  const std::string_view before = pattern.substr(0, percent);
  const std::string_view after = pattern.substr(at + 1);
  constexpr std::int64_t Largest = std::int64_t{1} << 50;  // keeps the arithmetic in range
  const auto inRange = [](std::int64_t n) { return n > -Largest && n < Largest; };
  if (!inRange(first) || !inRange(last) || !inRange(step) || step == 0 ||
      (last - first) / step < 0 || (last - first) / step >= MostDataFiles) {
    failVolume(headerFile,
               "the data file series from " + std::to_string(first) + " to " +
                   std::to_string(last) + " by " + std::to_string(step) +
                   " is empty or longer than " + std::to_string(MostDataFiles) + " files",
               remedy);
  }
  std::vector<std::string> files;
  for (std::int64_t n = 0, number = first; n <= (last - first) / step; ++n, number += step) {
    std::string digits = std::to_string(number < 0 ? -number : number);
    const std::size_t sign = number < 0 ? 1 : 0;
    if (digits.size() + sign < static_cast<std::size_t>(width)) {
      digits.insert(0, width - digits.size() - sign, zeros ? '0' : ' ');
    }
    if (number < 0) digits.insert(zeros ? 0 : digits.find_first_not_of(' '), 1, '-');
    files.push_back(besideHeader(headerFile, std::string(before) + digits + std::string(after)));
  }
  return files;
}

}  // namespace mcubes::internal

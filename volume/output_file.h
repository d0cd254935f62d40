// Files written whole or not at all: what every writer of a mesh, a volume
// or a picture goes through.
#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace mcubes::internal {

// Writes through `write` to `path`. "-" (or an empty path) is standard
// output, switched to binary on Windows so that bytes pass unchanged. A
// regular file is written to a temporary file beside it and renamed over it
// only once complete; a symbolic link is followed, so that the file it
// leads to is replaced and the link stays; an existing device or pipe is
// written to directly. A read-only file, and a file that an open volume is
// read from, are refused. `write` returns false when a write failed; where
// it throws, the temporary file goes and the exception passes on.
// Returns an empty string on success, otherwise a message naming the path
// and the reason.
std::string writeOutput(const std::string& path, const std::function<bool(std::FILE*)>& write);

// Several files written all or none (a file per label, an OBJ and its
// .mtl): each is written as writeOutput writes it, to a temporary file beside
// it, when it is added; commit renames them all over their files. Where an
// add fails, or the set is dropped before commit, every temporary file is
// removed and the files that were there stay as they were. Standard output
// and devices are written to when added.
class OutputFiles {
 public:
  OutputFiles();
  ~OutputFiles();
  OutputFiles(const OutputFiles&) = delete;
  OutputFiles& operator=(const OutputFiles&) = delete;

  // An empty string, or the failure as writeOutput words it.
  std::string add(const std::string& path, const std::function<bool(std::FILE*)>& write);
  std::string commit();

 private:
  struct Written;
  void drop();
  std::vector<Written> written_;
};

// The files that open volumes are read from (DataStream notes and forgets
// them), which outputs are never written over. A file noted twice is
// forgotten after the second forget.
void noteInputFile(const std::string& path);
void forgetInputFile(const std::string& path);

// Why writeOutput would refuse `path` now (a folder, a read-only file, a
// file that an open volume is read from), or an empty string: lets a
// command refuse before its work rather than after.
std::string refusedOutput(const std::string& path);

// A name beside `target`, on the same file system so that a rename over it
// is atomic, and unlikely to meet another run's temporary file.
std::filesystem::path temporaryBeside(const std::filesystem::path& target);

}  // namespace mcubes::internal

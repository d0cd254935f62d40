// Temporary files being written (the outputs' files beside their targets,
// a writer's scratch file): a signal that ends the run removes them, so that
// an interrupted run leaves nothing behind.
#pragma once

#include <string>

namespace mcubes::internal {

// Notes `path` for as long as it lives: removeTemporaryFiles removes it
// while it is noted. Noting allocates only the first time that more files
// are noted at once than ever before.
class NotedTemporary {
 public:
  explicit NotedTemporary(const std::string& path);
  ~NotedTemporary();
  NotedTemporary(const NotedTemporary&) = delete;
  NotedTemporary& operator=(const NotedTemporary&) = delete;

 private:
  void* slot_;
};

// Removes every file noted now. Safe in a signal handler: it takes no lock
// and allocates nothing.
void removeTemporaryFiles();

}  // namespace mcubes::internal

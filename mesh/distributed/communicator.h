// The processes that mesh one volume together, as its distributed pieces
// need them (mesh/distributed/volume_across.h): each one's place among them, a few
// steps that every process takes at once, and one file that all write at
// their offsets. mcubes binds it to MPI, or to a lone process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace mcubes::internal {

// A file that every process writes at once, each its bytes at their
// offsets.
class SharedFile {
 public:
  virtual ~SharedFile() = default;
  // Throws std::runtime_error naming the reason where the write fails.
  virtual void writeAt(std::uint64_t offset, const void* bytes, std::size_t size) = 0;
};

// Sums of every process's values, element by element: over the processes
// before this one (a prefix sum; zeros on process 0) and over all.
struct ProcessSums {
  std::vector<std::uint64_t> before, all;
};

class Communicator {
 public:
  virtual ~Communicator() = default;

  virtual int rank() const = 0;
  virtual int size() const = 0;

  // Runs `step` on every process. Where it throws on any, it throws on
  // every one, with the first failing process's message: no process goes
  // on alone, nor waits for one that has given up.
  virtual void together(const std::function<void()>& step) = 0;

  // Process 0 gets every process's bytes, in rank order (its own first);
  // the others get nothing.
  virtual std::vector<std::vector<char>> gatherToFirst(const std::vector<char>& mine) = 0;

  // The largest of every process's value, on every process.
  virtual double largest(double value) = 0;

  virtual ProcessSums sums(const std::vector<std::uint64_t>& values) = 0;

  // Sends each neighbour its bytes and returns what each sent back: first
  // from `before`, then from `after` (processes by rank; -1: none, nothing
  // sent or received). Every process's neighbours must name it in turn.
  virtual std::pair<std::vector<char>, std::vector<char>> swapWithNeighbours(
      int before, int after, const std::vector<char>& toBefore,
      const std::vector<char>& toAfter) = 0;

  // Writes `path` (a regular file, or none yet) whole or not at all with
  // every process's `write`: into a temporary file beside it, renamed over
  // it once every process has written its part; where any fails, every
  // process fails with the first failure's message and the temporary file
  // is removed.
  virtual void writeTogether(const std::string& path,
                             const std::function<void(SharedFile&)>& write) = 0;
};

}  // namespace mcubes::internal

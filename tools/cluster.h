// The processes an MPI launcher (mpirun) started for one command, where the
// build has MPI (cluster_mpi.cpp; cluster_absent.cpp elsewhere, a lone
// process). Process 0 speaks for them all: the progress line, the one error
// line, the output file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

struct ClusterPlace {
  int rank = 0;
  int size = 1;
};

// Joins the processes the launcher started with this one (MPI_Init), where
// one did; otherwise, or in a build without MPI, this process is alone.
void joinCluster(int& argc, char**& argv);
// Leaves them (MPI_Finalize) once the command is done.
void leaveCluster();

ClusterPlace clusterPlace();

// Runs `step` on every process. Where it throws on any, every process
// fails with the first failing process's message (failCommand), which
// only process 0 prints; no process goes on alone.
void togetherOrFail(const std::function<void()>& step);

// Process 0 gets every process's bytes, in rank order (its own first);
// the others get nothing.
std::vector<std::vector<char>> gatherToFirst(const std::vector<char>& mine);

// The largest of every process's value, on every process.
double largestOfAll(double value);

// Sums of every process's values, element by element: over the processes
// before this one (a prefix sum; zeros on process 0) and over all.
struct ClusterSums {
  std::vector<std::uint64_t> before, all;
};
ClusterSums sumsAcross(const std::vector<std::uint64_t>& values);

// Sends each neighbour its bytes and returns what each sent back: first
// from `before`, then from `after` (processes by rank; -1: none, nothing
// sent or received). Every process's neighbours must name it in turn.
std::pair<std::vector<char>, std::vector<char>> swapWithNeighbours(
    int before, int after, const std::vector<char>& toBefore, const std::vector<char>& toAfter);

// A file that every process writes at once, each its bytes at their
// offsets.
class SharedFile {
 public:
  virtual ~SharedFile() = default;
  // Throws std::runtime_error naming the reason where the write fails.
  virtual void writeAt(std::uint64_t offset, const void* bytes, std::size_t size) = 0;
};

// Writes `path` (a regular file, or none yet) whole or not at all with
// every process's `write` (MPI-IO): into a temporary file beside it, renamed
// over it once every process has written its part; where any fails, every
// process fails with the first failure's message (failCommand) and the
// temporary file is removed.
void writeTogether(const std::string& path, const std::function<void(SharedFile&)>& write);

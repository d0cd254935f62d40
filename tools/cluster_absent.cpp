#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <utility>

#include "tools/cli_support.h"
#include "tools/cluster.h"

using namespace mcubes::internal;

// Started by an MPI launcher as one of several processes, which this build
// cannot join: each would run the whole command and write the whole output
// file over the others', so every one refuses (process 0 says why).
void joinCluster(int&, char**&) {
  const std::pair<const char*, const char*> launchers[] = {
      {"OMPI_COMM_WORLD_SIZE", "OMPI_COMM_WORLD_RANK"},  // Open MPI
      {"PMI_SIZE", "PMI_RANK"},                          // MPICH, Intel MPI, Slurm
      {"MV2_COMM_WORLD_SIZE", "MV2_COMM_WORLD_RANK"},    // MVAPICH
  };
  for (const auto& [sizeName, rankName] : launchers) {
    const char* size = std::getenv(sizeName);
    if (size == nullptr || std::atol(size) <= 1) continue;
    const char* rank = std::getenv(rankName);
    if (rank == nullptr || std::atol(rank) == 0) {
      std::fprintf(stderr,
                   "mcubes: started as one of %ld processes (%s=%s), but this build has no MPI, "
                   "so each would run the whole command and write the whole output; run "
                   "mcubes alone, or use a build with MPI\n",
                   std::atol(size), sizeName, size);
    }
    std::exit(BadInputExitCode);
  }
}
void leaveCluster() {}

namespace {

class LoneProcess final : public Communicator {
 public:
  int rank() const override { return 0; }
  int size() const override { return 1; }
  void together(const std::function<void()>& step) override { step(); }
  std::vector<std::vector<char>> gatherToFirst(const std::vector<char>& mine) override {
    return {mine};
  }
  double largest(double value) override { return value; }
  ProcessSums sums(const std::vector<std::uint64_t>& values) override {
    return {std::vector<std::uint64_t>(values.size(), 0), values};
  }
  std::pair<std::vector<char>, std::vector<char>> swapWithNeighbours(
      int, int, const std::vector<char>&, const std::vector<char>&) override {
    return {};
  }
  // A lone process writes its files whole (volume/output_file.h).
  void writeTogether(const std::string&, const std::function<void(SharedFile&)>&) override {
    throw std::logic_error("writing one file from several processes needs a build with MPI");
  }
};

}  // namespace

Communicator& cluster() {
  static LoneProcess alone;
  return alone;
}

// A build without MPI started by an MPI launcher: each process would run
// the whole command and write the whole file, so every one refuses, and
// process 0 alone says why.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "tools/cluster.h"

using namespace mcubes::internal;

namespace {

struct Launch {
  const char* name;
  std::vector<std::pair<const char*, const char*>> environment;
  int status;
  const char* said;  // a regular expression for stderr
};

TEST(ClusterAbsent, LaunchersProcessesRefuseAndTheFirstSaysWhy) {
  const char* const Refusal =
      "^mcubes: started as one of 2 processes \\([A-Z_0-9]+=2\\), but this "
      "build has no MPI.*a build with MPI\n$";
  const std::vector<Launch> launches = {
      {"alone", {}, 0, "^$"},
      {"one process of Open MPI",
       {{"OMPI_COMM_WORLD_SIZE", "1"}, {"OMPI_COMM_WORLD_RANK", "0"}},
       0,
       "^$"},
      {"Open MPI, process 0",
       {{"OMPI_COMM_WORLD_SIZE", "2"}, {"OMPI_COMM_WORLD_RANK", "0"}},
       2,
       Refusal},
      {"Open MPI, process 1",
       {{"OMPI_COMM_WORLD_SIZE", "2"}, {"OMPI_COMM_WORLD_RANK", "1"}},
       2,
       "^$"},
      {"MPICH's Hydra, process 0", {{"PMI_SIZE", "2"}, {"PMI_RANK", "0"}}, 2, Refusal},
      {"MPICH's Hydra, process 1", {{"PMI_SIZE", "2"}, {"PMI_RANK", "1"}}, 2, "^$"},
      {"MVAPICH, process 0",
       {{"MV2_COMM_WORLD_SIZE", "2"}, {"MV2_COMM_WORLD_RANK", "0"}},
       2,
       Refusal},
  };
  for (const Launch& launch : launches) {
    SCOPED_TRACE(launch.name);
    EXPECT_EXIT(
        {
          for (const char* name : {"OMPI_COMM_WORLD_SIZE", "PMI_SIZE", "MV2_COMM_WORLD_SIZE"}) {
            unsetenv(name);
          }
          for (const auto& [name, value] : launch.environment) setenv(name, value, 1);
          int argc = 0;
          char** argv = nullptr;
          joinCluster(argc, argv);
          std::exit(0);
        },
        ::testing::ExitedWithCode(launch.status), launch.said);
  }
}

}  // namespace

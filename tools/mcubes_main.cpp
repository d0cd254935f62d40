#include <cstdio>
#include <cstdlib>

#include "tools/cluster.h"
#include "tools/mcubes.h"
#include "tools/stop_signals.h"

using namespace mcubes::internal;

// Whether a leak checker looks at what is left allocated at exit.
#if defined(__SANITIZE_ADDRESS__)
#define MC_LEAKS_CHECKED_AT_EXIT 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(leak_sanitizer)
#define MC_LEAKS_CHECKED_AT_EXIT 1
#endif
#endif

int main(int argc, char** argv) {
  joinCluster(argc, argv);
  stopOnSignals(cluster().rank() == 0);
  const int status = runMcubes(argc, argv);
  leaveCluster();
#ifndef MC_LEAKS_CHECKED_AT_EXIT
  // Every file is written and closed: what the libraries would free at
  // exit is left to the kernel, GDCM's dictionaries (10 ms) among it.
  std::fflush(nullptr);
  std::_Exit(status);
#else
  return status;
#endif
}

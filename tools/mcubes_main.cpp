#include "tools/cluster.h"
#include "tools/mcubes.h"
#include "tools/stop_signals.h"

using namespace mcubes::internal;

int main(int argc, char** argv) {
  joinCluster(argc, argv);
  stopOnSignals(cluster().rank() == 0);
  const int status = runMcubes(argc, argv);
  leaveCluster();
  return status;
}

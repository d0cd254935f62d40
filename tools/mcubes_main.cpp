#include "tools/cluster.h"
#include "tools/mcubes.h"

int main(int argc, char** argv) {
  joinCluster(argc, argv);
  const int status = runMcubes(argc, argv);
  leaveCluster();
  return status;
}

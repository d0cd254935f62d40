// The build without meshoptimizer (the Windows and browser builds).
#include "mesh/decimation.h"

bool decimationAvailable() { return false; }

DecimationResult decimateMesh(IndexedMesh&, double) {
  throw DecimationUnavailable(
      "this build has no decimation (built without meshoptimizer); decimate the mesh in another "
      "program, or use a build with meshoptimizer");
}

// Builds without giftiio (Windows, the browser) write no GIfTI.
#include "mesh/writers/mesh_writers.h"

namespace mcubes::internal {

bool writesGii() { return false; }

bool writeGii(std::FILE*, const IndexedMesh&, const std::string&, WorldSpace) { return false; }

}  // namespace mcubes::internal

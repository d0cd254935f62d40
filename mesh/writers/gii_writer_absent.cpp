// Builds without giftiio (Windows, the browser) write no GIfTI.
#include "mesh/writers/mesh_writers.h"

bool writesGii() { return false; }

bool writeGii(std::FILE*, const IndexedMesh&, const std::string&, WorldSpace) { return false; }

// Platforms without transparent huge pages take no advice.
#include "mesh/surface/huge_pages.h"

namespace mcubes::internal {

void adviseHugePages(void*, std::size_t) {}

}  // namespace mcubes::internal

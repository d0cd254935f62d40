// Platforms without transparent huge pages take no advice.
#include "mesh/surface/huge_pages.h"

void adviseHugePages(void*, std::size_t) {}

// Platforms without transparent huge pages or a way to fault pages in at
// once take no advice.
#include <cstdlib>
#include <new>

#include "mesh/surface/huge_pages.h"

namespace mcubes::internal {

void adviseHugePages(void*, std::size_t) {}
bool faultInPages(void*, std::size_t) { return false; }
void prepareBlock(void*, std::size_t) {}

void* allocateOnHugePages(std::size_t bytes) {
  void* block = std::malloc(bytes == 0 ? 1 : bytes);
  if (!block) throw std::bad_alloc();
  return block;
}

void freeOnHugePages(void* block) { std::free(block); }

}  // namespace mcubes::internal

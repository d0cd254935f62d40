// Linux: madvise(MADV_HUGEPAGE) over the block's whole huge pages, and
// MADV_POPULATE_WRITE to fault pages in at once.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <new>

#include "mesh/surface/huge_pages.h"

namespace mcubes::internal {

namespace {

constexpr std::uintptr_t HugePage = std::uintptr_t{2} << 20;

// Linux 5.14 and later; older kernels refuse it, and pages then come in as
// they are first touched.
#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif

}  // namespace

void adviseHugePages(void* block, std::size_t bytes) {
  if (bytes < HugePage) return;
  const auto at = reinterpret_cast<std::uintptr_t>(block);
  const std::uintptr_t first = (at + HugePage - 1) & ~(HugePage - 1);
  const std::uintptr_t end = (at + bytes) & ~(HugePage - 1);
  // Advice only: where the kernel refuses it the block keeps small pages.
  if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

bool faultInPages(void* block, std::size_t bytes) {
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto at = reinterpret_cast<std::uintptr_t>(block);
  const std::uintptr_t first = at & ~(page - 1);
  const std::uintptr_t end = (at + bytes + page - 1) & ~(page - 1);
  return bytes == 0 ||
         madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE) == 0;
}

void prepareBlock(void* block, std::size_t bytes) {
  if (bytes < HugePage) {
    faultInPages(block, bytes);
    return;
  }
  // The huge pages inside come in 2 MB at a time as they are first
  // written (room never filled costs only address space); the small pages
  // before the first and after the last, up to 2 MB each, at once.
  adviseHugePages(block, bytes);
  const auto at = reinterpret_cast<std::uintptr_t>(block);
  const std::uintptr_t first = (at + HugePage - 1) & ~(HugePage - 1);
  const std::uintptr_t end = (at + bytes) & ~(HugePage - 1);
  auto* bytesAt = static_cast<unsigned char*>(block);
  faultInPages(bytesAt, first - at);
  faultInPages(bytesAt + (end - at), at + bytes - end);
}

void* allocateOnHugePages(std::size_t bytes) {
  if (bytes < HugePage) {
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    if (!block) throw std::bad_alloc();
    return block;
  }
  const std::size_t whole = (bytes + HugePage - 1) & ~(HugePage - 1);
  void* block = nullptr;
  if (posix_memalign(&block, HugePage, whole) != 0) throw std::bad_alloc();
  adviseHugePages(block, whole);
  return block;
}

void freeOnHugePages(void* block) { std::free(block); }

}  // namespace mcubes::internal

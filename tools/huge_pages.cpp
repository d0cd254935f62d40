// Large blocks on huge pages, for the mcubes program. Fresh memory comes
// from the kernel a page at a time, and a page fault costs microseconds
// (10 to 15 on the virtual machines this was measured on): a mesh of
// millions of triangles spent as long faulting its arrays in as making
// them. Blocks of 2 MB and more are advised onto transparent huge pages
// (MADV_HUGEPAGE), faulted in 2 MB at a time, where the kernel leaves huge
// pages to the program's advice (/sys/kernel/mm/transparent_hugepage/enabled
// set to madvise; "always" needs no advice, "never" takes none). Operator
// new is replaced in the program only: the library and the Python module
// leave their host's allocator alone.
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

constexpr std::uintptr_t HugePage = std::uintptr_t{2} << 20;
constexpr std::size_t AdvisedFrom = HugePage;

void* allocate(std::size_t size) {
  void* block;
  while ((block = std::malloc(size == 0 ? 1 : size)) == nullptr) {
    const std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    handler();
  }
  if (size >= AdvisedFrom) {
    // The huge pages that lie wholly inside the block.
    const auto at = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (at + HugePage - 1) & ~(HugePage - 1);
    const std::uintptr_t end = (at + size) & ~(HugePage - 1);
    if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
  }
  return block;
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

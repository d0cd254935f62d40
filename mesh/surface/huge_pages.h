// Large blocks on huge pages. Fresh memory comes from the kernel a page at a
// time, and a page fault costs microseconds (10 to 15 on the virtual
// machines this was measured on): a mesh of millions of triangles spent as
// long faulting its arrays in as making them. The library's large arrays
// (the meshes' vertices, faces and triangles, grown by makeRoom) are advised
// onto transparent huge pages as they are allocated, faulted in 2 MB at a
// time, wherever the library runs (mcubes, the Python module, users'
// programs), without replacing anyone's operator new. Where the kernel
// leaves huge pages to the program's advice
// (/sys/kernel/mm/transparent_hugepage/enabled set to madvise) this is what
// gets them; "always" needs no advice, "never" takes none, and platforms
// without the advice (Windows, the browser) ignore it.
#pragma once

#include <cstddef>
#include <memory>

namespace mcubes::internal {

// Advises the huge pages that lie wholly inside the block, if it is 2 MB or
// more; best before the block is first written.
void adviseHugePages(void* block, std::size_t bytes);

// Makes the pages the block lies on resident, as written, in one call:
// taking a small page's first fault costs 10 to 40 microseconds on those
// machines (the most where another thread of the process runs, and the
// page was read before it was written), bringing a block's in at once
// under half a microsecond a page. For blocks that are about to be written
// through; the values they hold stay as they are. False where the kernel
// or the platform cannot: the pages then come in as they are touched.
bool faultInPages(void* block, std::size_t bytes);

// A new block for a vector that will be written through: on huge pages if
// it is 2 MB or more (the small pages at its ends brought in at once), else
// with its pages brought in at once.
void prepareBlock(void* block, std::size_t bytes);

// A block of `bytes` for one owner that lies on whole huge pages where
// there are any: aligned to one and advised, so that none of it is faulted
// in a small page at a time (a block from operator new starts and ends
// inside huge pages that are not all its own). Left unfilled.
void* allocateOnHugePages(std::size_t bytes);
void freeOnHugePages(void* block);

struct FreeOnHugePages {
  void operator()(void* block) const { freeOnHugePages(block); }
};
template <typename T>
using HugePageArray = std::unique_ptr<T[], FreeOnHugePages>;

// `count` values of a trivial type on huge pages, unfilled.
template <typename T>
HugePageArray<T> hugePageArray(std::size_t count) {
  return HugePageArray<T>(static_cast<T*>(allocateOnHugePages(count * sizeof(T))));
}

}  // namespace mcubes::internal

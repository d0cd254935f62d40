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

namespace mcubes::internal {

// Advises the huge pages that lie wholly inside the block, if it is 2 MB or
// more; best before the block is first written.
void adviseHugePages(void* block, std::size_t bytes);

}  // namespace mcubes::internal

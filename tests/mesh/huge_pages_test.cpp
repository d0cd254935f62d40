// The library's large arrays go on transparent huge pages as makeRoom grows
// them (and a slab's slices from their first byte), and small ones are
// brought in whole at once, as the kernel's memory map shows.
#include "mesh/surface/huge_pages.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "mesh/surface/edge_numbers.h"
#include "mesh/surface/surface.h"

using namespace mcubes::internal;

namespace {

std::string readAll(const char* path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Whether the mapping holding `address` may get huge pages (smaps'
// THPeligible), or -1 where no mapping is listed with it.
int hugePageEligible(const void* address) {
  const auto at = reinterpret_cast<std::uintptr_t>(address);
  std::istringstream maps(readAll("/proc/self/smaps"));
  bool inside = false;
  for (std::string line; std::getline(maps, line);) {
    std::uintptr_t from = 0, to = 0;
    char dash = 0;
    std::istringstream range(line);
    if (range >> std::hex >> from >> dash >> to && dash == '-') {
      inside = from <= at && at < to;
    } else if (inside && line.rfind("THPeligible:", 0) == 0) {
      return std::stoi(line.substr(12));
    }
  }
  return -1;
}

// How many of the whole pages inside the block are resident.
std::size_t residentPages(const void* block, std::size_t bytes) {
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto at = reinterpret_cast<std::uintptr_t>(block);
  const std::uintptr_t first = (at + page - 1) & ~(page - 1), end = (at + bytes) & ~(page - 1);
  std::vector<unsigned char> resident((end - first) / page);
  if (mincore(reinterpret_cast<void*>(first), end - first, resident.data()) != 0) return 0;
  std::size_t count = 0;
  for (const unsigned char r : resident) count += r & 1;
  return count;
}

// Whether the kernel brings a block's pages in at once (Linux 5.14 on).
bool kernelFaultsPagesIn() {
  const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  void* probe = mmap(nullptr, page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  const bool can = probe != MAP_FAILED && faultInPages(probe, page);
  if (probe != MAP_FAILED) munmap(probe, page);
  return can;
}

}  // namespace

TEST(HugePages, SmallBlocksAreBroughtInWholeAndKeepTheirValues) {
  const std::size_t bytes = std::size_t{1} << 20;
  void* fresh = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(fresh, MAP_FAILED);
  static_cast<unsigned char*>(fresh)[12345] = 7;
  if (!kernelFaultsPagesIn()) GTEST_SKIP() << "this kernel cannot fault pages in at once";
  const std::size_t before = residentPages(fresh, bytes);
  faultInPages(fresh, bytes);
  EXPECT_EQ(before, 1u);
  EXPECT_EQ(residentPages(fresh, bytes), bytes / static_cast<std::size_t>(sysconf(_SC_PAGESIZE)));
  EXPECT_EQ(static_cast<unsigned char*>(fresh)[12345], 7);
  EXPECT_EQ(static_cast<unsigned char*>(fresh)[bytes - 1], 0);
  munmap(fresh, bytes);
  // As makeRoom grows a small vector: every whole page of the new block.
  std::vector<Triangle> small{Triangle{}};
  makeRoom(small, (std::size_t{1} << 20) / sizeof(Triangle));
  const std::size_t held = small.capacity() * sizeof(Triangle);
  const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  EXPECT_GE(residentPages(small.data(), held), held / page - 1);
}

TEST(HugePages, LargeBlocksAreAdvisedOntoHugePagesSmallOnesAreNot) {
  const std::string mode = readAll("/sys/kernel/mm/transparent_hugepage/enabled");
  if (mode.find("[madvise]") == std::string::npos) {
    GTEST_SKIP() << "the kernel's huge pages do not follow advice here: " << mode;
  }
  std::vector<Triangle> large;
  std::vector<Triangle> small;
  makeRoom(large, (std::size_t{64} << 20) / sizeof(Triangle));
  makeRoom(small, (std::size_t{1} << 20) / sizeof(Triangle));
  // Well inside the large block, past its first huge page boundary.
  EXPECT_EQ(hugePageEligible(reinterpret_cast<const char*>(large.data()) + (std::size_t{32} << 20)),
            1);
  EXPECT_EQ(hugePageEligible(small.data()), 0);
  // The small pages before the large block's first huge page came in at
  // once (where the kernel can).
  const auto at = reinterpret_cast<std::uintptr_t>(large.data());
  const std::size_t head =
      ((at + (std::uintptr_t{2} << 20) - 1) & ~((std::uintptr_t{2} << 20) - 1)) - at;
  const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  if (kernelFaultsPagesIn() && head >= 2 * page) {
    EXPECT_GE(residentPages(large.data(), head), head / page - 1);
  }
  // Whole huge pages, none of them shared with another block.
  const HugePageArray<double> slices =
      hugePageArray<double>((std::size_t{3} << 20) / sizeof(double));
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(slices.get()) % (std::uintptr_t{2} << 20), 0u);
  EXPECT_EQ(hugePageEligible(slices.get()), 1);
}

// A sweep's edge numbers come in by the rows it reaches, every plane's,
// zeroed, and the rows it never reaches stay out.
TEST(HugePages, EdgeNumbersBringInTheRowsReachedAlone) {
  if (!kernelFaultsPagesIn()) GTEST_SKIP() << "this kernel cannot fault pages in at once";
  const std::size_t row = 4096, rows = 256, bytes = row * sizeof(std::uint32_t);
  EdgeNumbers numbers(row, rows);
  numbers.reach(100);
  const std::uint32_t* planes[5] = {numbers.numbers(0, 0), numbers.numbers(0, 1),
                                    numbers.numbers(1, 0), numbers.numbers(1, 1),
                                    numbers.numbers(EdgeNumbers::Across, 0)};
  const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  for (const std::uint32_t* plane : planes) {
    EXPECT_GE(residentPages(plane + 100 * row, bytes), bytes / page - 1);
    EXPECT_EQ(plane[100 * row + 7], EdgeNumbers::Empty);
    EXPECT_EQ(residentPages(plane + 200 * row, bytes), 0u);
  }
}

// The vertex numbers of the lattice edges a welding sweep can reach: the
// edges in two planes of lattice points (by the plane's parity, then by
// which of the plane's two axes they run along) and the edges across from
// one plane to the next. Places are indices into a plane; only the places
// set are cleared when a plane's numbers are let go, so a sweep pays for
// what it touches, not for the planes' size.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "mesh/surface/huge_pages.h"

namespace mcubes::internal {

class EdgeNumbers {
 public:
  // A place holds its edge's vertex number plus one, 0 where it has none:
  // the planes start as fresh zeroed memory, whose pages are only made
  // resident where a sweep reaches (a smooth surface reaches few of a
  // large plane's rows).
  static constexpr std::uint32_t Empty = 0;
  static std::uint32_t numberIn(std::uint32_t held) { return held - 1; }
  static std::uint32_t held(std::uint32_t number) { return number + 1; }
  static constexpr int Across = 2;  // the list of the edges across planes

  // Planes of `rows` rows of `rowLength` places.
  EdgeNumbers(std::size_t rowLength, std::size_t rows)
      : planeSize_(rowLength * rows),
        places_(static_cast<std::uint32_t*>(std::calloc(5 * planeSize_, sizeof(std::uint32_t)))),
        rowLength_(rowLength),
        rows_(rows),
        chunkRows_(std::max<std::size_t>(1, ChunkBytes / (rowLength * sizeof(std::uint32_t)))),
        reached_((rows + chunkRows_ - 1) / chunkRows_) {
    if (!places_) throw std::bad_alloc();
  }

  // Says that the places of `row` in every plane are about to be used.
  // Left to come in as they are reached, each page would be read (mapped
  // to the kernel's zero page) and then written (copied, with every other
  // core told): 20 to 40 microseconds a page. The rows around it are
  // brought in at once instead, 64 KB of each plane.
  void reach(std::int64_t row) {
    const auto chunk = static_cast<std::size_t>(row) / chunkRows_;
    if (reached_[chunk]) return;
    reached_[chunk] = 1;
    const std::size_t first = chunk * chunkRows_;
    const std::size_t count = std::min(chunkRows_, rows_ - first);
    for (std::size_t plane = 0; plane < 5; ++plane) {
      faultInPages(places_.get() + plane * planeSize_ + first * rowLength_,
                   count * rowLength_ * sizeof(std::uint32_t));
    }
  }

  // The numbers of the edges of list 0 or 1 (a plane's parity) along the
  // plane's axis 0 or 1, or of the edges across (list Across, axis unused).
  std::uint32_t* numbers(int list, int axis) {
    return places_.get() + (list == Across ? 4 : 2 * list + axis) * planeSize_;
  }

  // Says that the number at `place` of a list and axis has been set.
  void set(int list, int axis, std::int64_t place) {
    touched_[list].push_back(list == Across ? place : 2 * place + axis);
  }

  // Lets the numbers set in one list go.
  void forget(int list) {
    for (const std::int64_t entry : touched_[list]) {
      if (list == Across) {
        numbers(Across, 0)[entry] = Empty;
      } else {
        numbers(list, static_cast<int>(entry & 1))[entry >> 1] = Empty;
      }
    }
    touched_[list].clear();
  }

  void forgetAll() {
    for (int list = 0; list < 3; ++list) forget(list);
  }

 private:
  struct Free {
    void operator()(std::uint32_t* places) const { std::free(places); }
  };
  static constexpr std::size_t ChunkBytes = 64 << 10;

  std::size_t planeSize_;
  std::unique_ptr<std::uint32_t[], Free> places_;
  std::size_t rowLength_, rows_;
  std::size_t chunkRows_;              // rows brought in together
  std::vector<std::uint8_t> reached_;  // per chunk of rows: whether brought in
  std::vector<std::int64_t> touched_[3];
};

}  // namespace mcubes::internal

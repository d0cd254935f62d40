// The vertex numbers of the lattice edges a welding sweep can reach: the
// edges in two planes of lattice points (by the plane's parity, then by
// which of the plane's two axes they run along) and the edges across from
// one plane to the next. Places are indices into a plane; only the places
// set are cleared when a plane's numbers are let go, so a sweep pays for
// what it touches, not for the planes' size.
#pragma once

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
  // the planes start as zeroed memory, brought in at once. Left to come in
  // as the sweep reaches them, each page would be read (mapped to the
  // kernel's zero page) and then written (copied, with every other core
  // told): 20 to 40 microseconds a page, where most surfaces reach most
  // pages of the planes.
  static constexpr std::uint32_t Empty = 0;
  static std::uint32_t numberIn(std::uint32_t held) { return held - 1; }
  static std::uint32_t held(std::uint32_t number) { return number + 1; }
  static constexpr int Across = 2;  // the list of the edges across planes

  explicit EdgeNumbers(std::size_t planeSize)
      : places_(static_cast<std::uint32_t*>(std::calloc(5 * planeSize, sizeof(std::uint32_t)))),
        planeSize_(planeSize) {
    if (!places_) throw std::bad_alloc();
    faultInPages(places_.get(), 5 * planeSize * sizeof(std::uint32_t));
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
  std::unique_ptr<std::uint32_t[], Free> places_;
  std::size_t planeSize_;
  std::vector<std::int64_t> touched_[3];
};

}  // namespace mcubes::internal

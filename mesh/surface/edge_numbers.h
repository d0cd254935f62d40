// The vertex numbers of the lattice edges a welding sweep can reach: the
// edges in two planes of lattice points (by the plane's parity, then by
// which of the plane's two axes they run along) and the edges across from
// one plane to the next. Places are indices into a plane; only the places
// set are cleared when a plane's numbers are let go, so a sweep pays for
// what it touches, not for the planes' size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace mcubes::internal {

class EdgeNumbers {
 public:
  static constexpr std::uint32_t None = 0xffffffffu;
  static constexpr int Across = 2;  // the list of the edges across planes

  explicit EdgeNumbers(std::size_t planeSize) : across_(planeSize, None) {
    for (auto& parity : inPlane_) {
      for (auto& axis : parity) axis.assign(planeSize, None);
    }
  }

  // The numbers of the edges of list 0 or 1 (a plane's parity) along the
  // plane's axis 0 or 1, or of the edges across (list Across, axis unused).
  std::uint32_t* numbers(int list, int axis) {
    return list == Across ? across_.data() : inPlane_[list][axis].data();
  }

  // Says that the number at `place` of a list and axis has been set.
  void set(int list, int axis, std::int64_t place) {
    touched_[list].push_back(list == Across ? place : 2 * place + axis);
  }

  // Lets the numbers set in one list go.
  void forget(int list) {
    for (const std::int64_t entry : touched_[list]) {
      if (list == Across) {
        across_[static_cast<std::size_t>(entry)] = None;
      } else {
        inPlane_[list][entry & 1][static_cast<std::size_t>(entry >> 1)] = None;
      }
    }
    touched_[list].clear();
  }

  void forgetAll() {
    for (int list = 0; list < 3; ++list) forget(list);
  }

 private:
  std::vector<std::uint32_t> inPlane_[2][2];
  std::vector<std::uint32_t> across_;
  std::vector<std::int64_t> touched_[3];
};

}  // namespace mcubes::internal

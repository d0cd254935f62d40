// Where each row of the two slices of a layer of cells first and last
// changes value along i. A row of cells whose four corner rows agree before
// all their first changes (or after all their last) holds one value there,
// so the sweeps look only at the cells between.
#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace mcubes::internal {

class RowChanges {
 public:
  explicit RowChanges(std::int64_t rows) {
    for (int s = 0; s < 2; ++s) {
      first_[s].resize(static_cast<std::size_t>(rows));
      last_[s].resize(static_cast<std::size_t>(rows));
    }
  }

  // Row j of the slice of parity s: the first i whose value differs from
  // the one before, and the last i whose value differs from the one after.
  void set(int s, std::int64_t j, std::int64_t first, std::int64_t last) {
    first_[s][static_cast<std::size_t>(j)] = first;
    last_[s][static_cast<std::size_t>(j)] = last;
  }

  // The cells [from, to) of the row of cells j between slices of parity s0
  // and s1 that may hold more than one value; `rows` are its corner rows
  // (j and j + 1 of both slices, in any order), `cells` its length.
  template <typename Value>
  std::pair<std::int64_t, std::int64_t> mixedCells(int s0, int s1, std::int64_t j,
                                                   const Value* const (&rows)[4],
                                                   std::int64_t cells) const {
    const auto ju = static_cast<std::size_t>(j);
    const auto agree = [&](std::int64_t i) {
      return rows[0][i] == rows[1][i] && rows[0][i] == rows[2][i] && rows[0][i] == rows[3][i];
    };
    std::int64_t from = 0, to = cells;
    if (agree(0)) {
      from = std::min({first_[s0][ju], first_[s0][ju + 1], first_[s1][ju], first_[s1][ju + 1]}) - 1;
      from = std::max<std::int64_t>(from, 0);
    }
    if (agree(cells)) {
      to = std::max({last_[s0][ju], last_[s0][ju + 1], last_[s1][ju], last_[s1][ju + 1]}) + 1;
      to = std::min(to, cells);
    }
    return {from, to};
  }

 private:
  std::vector<std::int64_t> first_[2], last_[2];
};

}  // namespace mcubes::internal

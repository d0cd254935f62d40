// The cell's corner and edge numbering written out independently of the
// library, as the reference the tests check it against.
#pragma once

#include <array>

// Corner i of a cell of half edge 1 around the origin.
constexpr int CornerSign[8][3] = {{-1, -1, -1}, {1, -1, -1}, {1, -1, 1}, {-1, -1, 1},
                                  {-1, 1, -1},  {1, 1, -1},  {1, 1, 1},  {-1, 1, 1}};

// Edge e runs from its first corner to its second.
constexpr int EdgeEnds[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                                 {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};

inline std::array<double, 3> edgeMidpoint(int edge) {
  std::array<double, 3> m{};
  for (int k = 0; k < 3; ++k) {
    m[k] = (CornerSign[EdgeEnds[edge][0]][k] + CornerSign[EdgeEnds[edge][1]][k]) / 2.0;
  }
  return m;
}

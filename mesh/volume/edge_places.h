// Where the volume sweeps keep a cell's edge vertices between cells: a
// cell's edges by family, lattice row and column, and the ends of each in
// the polygoniser's order.
#pragma once

#include <cstdint>

#include "iso/cell_types.h"
#include "mesh/surface/cell_rules.h"

namespace mcubes::internal {

// Edge e of a cell, as the place its vertex is kept between cells: one of
// six families of lattice edges (by axis, slice and the order the
// polygoniser takes the ends in), the lattice row (0: the cell's j, 1: j + 1)
// and the column (0: the cell's i, 1: i + 1). Families: 0 i-edges at the
// cell's k, lower end first (edges 0, 4); 1 i-edges at k + 1, upper end
// first (2, 6); 2 k-edges, lower end first (1, 5); 3 k-edges, upper end
// first (3, 7); 4 j-edges at k (8, 9); 5 j-edges at k + 1 (11, 10).
// Cells of one layer that share such a place get the same bits for it.
constexpr int EdgeFamily[12] = {0, 2, 1, 3, 0, 2, 1, 3, 4, 4, 5, 5};
constexpr int EdgeRow[12] = {0, 0, 0, 0, 1, 1, 1, 1, 0, 0, 0, 0};
constexpr int EdgeColumn[12] = {0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 0};
constexpr int Families = 6;
constexpr int MaxCellTriangles = 5;

// The ends of each edge of a cell, in the polygoniser's order: the corner
// row (dj + 2 dk) and column (di) of each.
struct EdgeEnd {
  int row, column;
};
struct EdgeEndTable {
  EdgeEnd ends[12][2];
  int axis[12];    // the axis the edge runs along: 0 i, 1 j, 2 k
  int low[12][3];  // the edge's lower end's offset from the cell
  constexpr EdgeEndTable() : ends(), axis(), low() {
    for (int e = 0; e < 12; ++e) {
      for (int end = 0; end < 2; ++end) {
        const int* side = iso::CornerSide[iso::EdgeCorners[e][end]];
        ends[e][end] = {side[1] + 2 * side[2], side[0]};
      }
      const int* a = iso::CornerSide[iso::EdgeCorners[e][0]];
      const int* b = iso::CornerSide[iso::EdgeCorners[e][1]];
      axis[e] = a[0] != b[0] ? 0 : a[1] != b[1] ? 1 : 2;
      for (int d = 0; d < 3; ++d) low[e][d] = a[d] < b[d] ? a[d] : b[d];
    }
  }
  constexpr const EdgeEnd* operator[](int e) const { return ends[e]; }
};
constexpr EdgeEndTable EdgeEnds;

// A vertex computed for an edge place.
struct EdgeVertex {
  Point3 position;
  Point3 normal;
  std::int64_t stamp = 0;  // which lattice row it was computed for; 0: none
};

}  // namespace mcubes::internal

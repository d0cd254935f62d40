// The vectorised part of the extractor: along one row of cells (fixed x and
// y, every z), find the cells that the iso-surface crosses and compute their
// eight corner values exactly as the literal per-cell sampling does. One
// implementation per instruction set, chosen once at run time.
#pragma once

#include <cstdint>

#include "mesh/surface/vector_unit.h"

namespace mcubes::internal {

// Per-ball inputs of a row. Squares are the squared per-axis offsets of a
// corner from the ball's centre, as the sampler forms them; side 0 is the
// corner below the cell centre on that axis, side 1 the one above.
struct RowBall {
  // Per column of corners (fixed x and y sides, x side + 2 * y side): the x
  // square plus the y square, which every corner of the column shares.
  double columnSquares[4];
  double columnLeast;         // the smallest of columnSquares
  double columnMost;          // the largest of columnSquares
  const double* z[2];         // per cell: z square of side 0 and of side 1
  const double* zLeast;       // per cell: the smaller of the two
  const double* zMost;        // per cell: the larger of the two
  const double* zBlockLeast;  // per block of RowBlock cells: the least zLeast
  const double* zBlockMost;   // per block: the largest zMost
};

struct RowInputs {
  RowBall balls[2];
  double isoLevel;         // positive
  double strengthOverIso;  // the balls' strength / isoLevel, for the bounds
  // Cells in the row; the per-cell z arrays hold at least this many entries
  // rounded up to a multiple of RowBlock, repeating the last cell.
  std::int32_t cells;
};

// Cells are ruled out a block at a time before they are looked at one by
// one: most blocks lie wholly outside or wholly inside the blobs.
constexpr std::int32_t RowBlock = 8;

struct CrossedCell {
  std::int32_t k;    // index along z
  double values[8];  // the field at the corners, bit for bit the sampler's
};

// Writes the row's crossed cells to `out` (room for `cells`), in order of
// k, and returns how many. A crossed cell has corners on both sides of the
// iso level; every other cell yields no triangle.
std::int32_t findCrossedCellsBaseline(const RowInputs& row, CrossedCell* out);
#if defined(__x86_64__) || defined(__i386__)
std::int32_t findCrossedCellsAvx2(const RowInputs& row, CrossedCell* out);
#endif

}  // namespace mcubes::internal

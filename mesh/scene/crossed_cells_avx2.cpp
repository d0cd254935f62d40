// Compiled with -mavx2 (x86 only) and called only after the CPU was checked.
// The operations are the baseline's, four lanes at a time: the same IEEE
// additions and divisions, so the same bits.
#include "mesh/scene/crossed_cells.h"
#include "mesh/scene/crossed_cells_kernel.h"

namespace mcubes::internal {

namespace {

typedef double FourDoubles __attribute__((vector_size(32)));

}  // namespace

std::int32_t findCrossedCellsAvx2(const RowInputs& row, CrossedCell* out) {
  return findCrossedCells<FourDoubles>(row, out);
}

}  // namespace mcubes::internal

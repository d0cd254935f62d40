#include "mesh/scene/crossed_cells.h"
#include "mesh/scene/crossed_cells_kernel.h"

namespace mcubes::internal {

namespace {

// Two lanes: SSE2 on x86, which every x86-64 CPU has and the 32-bit build
// requires; elsewhere the compiler's own lowering of the same operations.
typedef double TwoDoubles __attribute__((vector_size(16)));

}  // namespace

std::int32_t findCrossedCellsBaseline(const RowInputs& row, CrossedCell* out) {
  return findCrossedCells<TwoDoubles>(row, out);
}

}  // namespace mcubes::internal

// The instruction sets the extractors' row kernels are compiled for, chosen
// once at run time; the results do not depend on the choice.
#pragma once

namespace mcubes::internal {

enum class VectorUnit { Baseline, Avx2 };

// Baseline is SSE2 on x86 and plain code elsewhere; Avx2 needs the CPU's
// support, checked at run time.
bool vectorUnitAvailable(VectorUnit unit);
VectorUnit fastestVectorUnit();

}  // namespace mcubes::internal

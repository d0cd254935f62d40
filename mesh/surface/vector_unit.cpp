#include "mesh/surface/vector_unit.h"

namespace mcubes::internal {

bool vectorUnitAvailable(VectorUnit unit) {
  switch (unit) {
    case VectorUnit::Baseline:
      return true;
    case VectorUnit::Avx2:
#if defined(__x86_64__) || defined(__i386__)
      return __builtin_cpu_supports("avx2");
#else
      return false;
#endif
  }
  return false;
}

VectorUnit fastestVectorUnit() {
  return vectorUnitAvailable(VectorUnit::Avx2) ? VectorUnit::Avx2 : VectorUnit::Baseline;
}

}  // namespace mcubes::internal

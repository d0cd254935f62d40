// The library's own copy of the cell code's operations (iso/), in
// mcubes::internal::iso: the volume extractors classify, look up and
// interpolate exactly as the demo does, but libmcubes.a then defines no
// global names (CaseTriangles, the inline functions a build keeps out of
// line) that could meet a user's. The types stay the demo's (they define
// no symbols). The cost: a program that links the demo as well holds the
// two tables twice (17 KB).
#pragma once

#include <cmath>
#include <cstdint>

#include "iso/cell_types.h"
#include "math/exact_arithmetic.h"

namespace mcubes::internal::iso {

#include "iso/cell_operations.h"

}  // namespace mcubes::internal::iso

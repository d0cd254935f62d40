// The re-orthonormalisation shared by Matrix3 and Matrix4 (internal to math/).
#pragma once

#include "math/exact_arithmetic.h"
#include "math/vector.h"

struct OrthonormalRows {
  Vector3 row0;
  Vector3 row1;
  Vector3 row2;
};

// Row 0 keeps its direction, row 1 becomes perpendicular to it on the side of
// the old row 1, row 2 = row 0 x row 1. Every step renormalises through
// invSqrt, so the rows are unit length only within its error; a row 1
// parallel to row 0 (or zero) gives zero rows 1 and 2.
OrthonormalRows orthonormalRows(Vector3 row0, Vector3 row1);

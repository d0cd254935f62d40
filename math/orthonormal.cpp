#include "math/orthonormal.h"

OrthonormalRows orthonormalRows(Vector3 row0, Vector3 row1) {
  const Vector3 a = row0.normalize();
  const Vector3 c = cross(a, row1).normalize();
  const Vector3 b = cross(c, a).normalize();
  return OrthonormalRows{a, b, c};
}

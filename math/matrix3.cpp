#include "math/matrix3.h"

#include "math/orthonormal.h"

Matrix3 Matrix3::operator+(const Matrix3& b) const {
  Matrix3 r;
  for (int k = 0; k < 9; ++k) r.m[k] = static_cast<float>(double(m[k]) + b.m[k]);
  return r;
}

Matrix3 Matrix3::operator-(const Matrix3& b) const {
  Matrix3 r;
  for (int k = 0; k < 9; ++k) r.m[k] = static_cast<float>(double(m[k]) - b.m[k]);
  return r;
}

Matrix3 Matrix3::operator*(float s) const {
  Matrix3 r;
  for (int k = 0; k < 9; ++k) r.m[k] = static_cast<float>(double(m[k]) * s);
  return r;
}

Vector3 Matrix3::operator*(const Vector3& v) const {
  return Vector3(static_cast<float>(double(v.x) * m[0] + double(v.y) * m[3] + double(v.z) * m[6]),
                 static_cast<float>(double(v.x) * m[1] + double(v.y) * m[4] + double(v.z) * m[7]),
                 static_cast<float>(double(v.x) * m[2] + double(v.y) * m[5] + double(v.z) * m[8]));
}

Matrix3 Matrix3::operator*(const Matrix3& b) const {
  Matrix3 p;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      p.m[3 * i + j] =
          static_cast<float>(double(m[3 * i]) * b.m[j] + double(m[3 * i + 1]) * b.m[3 + j] +
                             double(m[3 * i + 2]) * b.m[6 + j]);
    }
  }
  return p;
}

Matrix3 Matrix3::transpose() const {
  return Matrix3{{m[0], m[3], m[6], m[1], m[4], m[7], m[2], m[5], m[8]}};
}

void Matrix3::setSkewSymmetric(const Vector3& v) {
  *this = Matrix3{{0.0f, -v.z, v.y, v.z, 0.0f, -v.x, -v.y, v.x, 0.0f}};
}

void Matrix3::orthonormalize() {
  const OrthonormalRows rows =
      orthonormalRows(Vector3(m[0], m[1], m[2]), Vector3(m[3], m[4], m[5]));
  const Vector3* const out[3] = {&rows.row0, &rows.row1, &rows.row2};
  for (int r = 0; r < 3; ++r) {
    m[3 * r] = out[r]->x;
    m[3 * r + 1] = out[r]->y;
    m[3 * r + 2] = out[r]->z;
  }
}

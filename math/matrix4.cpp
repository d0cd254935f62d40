#include "math/matrix4.h"

#include <cmath>

#include "math/orthonormal.h"

namespace {

// P = L * R for row-major 4x4 arrays, each element summed in double in the
// order of k and narrowed once.
Matrix4 product(const float* l, const float* r) {
  Matrix4 p;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      p.m[4 * i + j] =
          static_cast<float>(double(l[4 * i]) * r[j] + double(l[4 * i + 1]) * r[4 + j] +
                             double(l[4 * i + 2]) * r[8 + j] + double(l[4 * i + 3]) * r[12 + j]);
    }
  }
  return p;
}

}  // namespace

Matrix4 Matrix4::operator+(const Matrix4& b) const {
  Matrix4 r;
  for (int k = 0; k < 16; ++k) r.m[k] = static_cast<float>(double(m[k]) + b.m[k]);
  return r;
}

Matrix4 Matrix4::operator-(const Matrix4& b) const {
  Matrix4 r;
  for (int k = 0; k < 16; ++k) r.m[k] = static_cast<float>(double(m[k]) - b.m[k]);
  return r;
}

Matrix4 Matrix4::operator*(float s) const {
  Matrix4 r;
  for (int k = 0; k < 16; ++k) r.m[k] = static_cast<float>(double(m[k]) * s);
  return r;
}

Vector4 Matrix4::operator*(const Vector4& v) const {
  float out[4];
  for (int i = 0; i < 4; ++i) {
    out[i] = static_cast<float>(double(v.x) * m[i] + double(v.y) * m[4 + i] +
                                double(v.z) * m[8 + i] + double(v.w) * m[12 + i]);
  }
  return Vector4(out[0], out[1], out[2], out[3]);
}

Matrix4 Matrix4::operator*(const Matrix4& b) const { return product(m, b.m); }

Matrix4 Matrix4::postMultiply(const Matrix4& b) const { return product(m, b.m); }

Matrix4 Matrix4::preMultiply(const Matrix4& b) const { return product(b.m, m); }

Matrix4 Matrix4::transpose() const {
  Matrix4 t;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) t.m[4 * r + c] = m[4 * c + r];
  }
  return t;
}

void Matrix4::orthonormalize() {
  const OrthonormalRows rows =
      orthonormalRows(Vector3(m[0], m[1], m[2]), Vector3(m[4], m[5], m[6]));
  const Vector3* const out[3] = {&rows.row0, &rows.row1, &rows.row2};
  for (int r = 0; r < 3; ++r) {
    m[4 * r] = out[r]->x;
    m[4 * r + 1] = out[r]->y;
    m[4 * r + 2] = out[r]->z;
  }
}

void Matrix4::setPerspective(float fovyDegrees, float aspect, float zNear, float zFar,
                             bool infiniteFar) {
  const double halfFovy = fovyDegrees / 2.0 * 3.141592653589793 / 180.0;
  const double f = std::cos(halfFovy) / std::sin(halfFovy);
  const float depth = static_cast<float>(double(zFar) - zNear);
  *this = Matrix4();
  m[0] = static_cast<float>(f / aspect);
  m[5] = static_cast<float>(f);
  m[10] = static_cast<float>(-(double(zFar) + zNear) / depth);
  m[11] = -1.0f;
  m[14] = static_cast<float>(double(zNear) * -2.0 * zFar / depth);
  if (infiniteFar) {
    // The limits of m[10] and m[14] as zFar grows without bound, taken for
    // zNear = 1.
    m[10] = -1.0f;
    m[14] = -2.0f;
  }
}

void Matrix4::setOrthographic(float left, float right, float bottom, float top, float zNear,
                              float zFar) {
  const double width = double(right) - left;
  const double height = double(top) - bottom;
  const double depth = double(zFar) - zNear;
  *this = Matrix4();
  m[0] = static_cast<float>(2.0 / width);
  m[5] = static_cast<float>(2.0 / height);
  m[10] = static_cast<float>(-2.0 / depth);
  // Negating the sum before dividing gives -0.0 for symmetric bounds.
  m[12] = static_cast<float>(-(double(right) + left) / width);
  m[13] = static_cast<float>(-(double(top) + bottom) / height);
  m[14] = static_cast<float>(-(double(zFar) + zNear) / depth);
  m[15] = 1.0f;
}

// The engine library's 4x4 float matrix for homogeneous transforms of row
// vectors (v * M), stored row-major: the translation lies in row 3, and the
// sixteen floats in storage order are the array OpenGL's matrix calls take.
#pragma once

#include "math/exact_arithmetic.h"
#include "math/vector.h"

struct Matrix4 {
  // Element (row r, column c) is m[4r + c]. A default matrix is all zeros
  // (never indeterminate); a brace list fills it in storage order.
  float m[16] = {};

  Matrix4 operator+(const Matrix4& b) const;
  Matrix4 operator-(const Matrix4& b) const;
  Matrix4 operator*(float s) const;
  // The row-vector product v * A, although the matrix is the left operand.
  Vector4 operator*(const Vector4& v) const;
  // A * B, the same as postMultiply(b).
  Matrix4 operator*(const Matrix4& b) const;
  Matrix4 postMultiply(const Matrix4& b) const;
  // B * A.
  Matrix4 preMultiply(const Matrix4& b) const;
  Matrix4 transpose() const;
  // Orthonormalises rows 0 to 2 of the upper-left 3x3 part, as Matrix3 does;
  // column 3 and row 3 are neither read nor changed.
  void orthonormalize();
  // OpenGL's perspective projection (the matrix gluPerspective multiplies).
  // With infiniteFar the far plane is at infinity: m[10] = -1 and m[14] = -2
  // whatever zNear is. Degenerate arguments divide by zero and yield IEEE
  // infinities or NaNs.
  void setPerspective(float fovyDegrees, float aspect, float zNear, float zFar, bool infiniteFar);
  // OpenGL's orthographic projection (the matrix glOrtho multiplies); equal
  // bounds yield IEEE infinities or NaNs.
  void setOrthographic(float left, float right, float bottom, float top, float zNear, float zFar);
};

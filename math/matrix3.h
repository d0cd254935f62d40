// The engine library's 3x3 float matrix: a linear map of row vectors
// (v * M), stored row-major, so in A * B the map A applies first.
#pragma once

#include "math/exact_arithmetic.h"
#include "math/vector.h"

struct Matrix3 {
  // Element (row r, column c) is m[3r + c]. A default matrix is all zeros
  // (never indeterminate); a brace list fills it in storage order.
  float m[9] = {};

  Matrix3 operator+(const Matrix3& b) const;
  Matrix3 operator-(const Matrix3& b) const;
  Matrix3 operator*(float s) const;
  // The row-vector product v * A, although the matrix is the left operand.
  Vector3 operator*(const Vector3& v) const;
  // A * B: row i of A against column j of B. A and B may be one object.
  Matrix3 operator*(const Matrix3& b) const;
  Matrix3 transpose() const;
  // The cross-product matrix of v: w * A == cross(w, v).
  void setSkewSymmetric(const Vector3& v);
  // Rebuilds the rows as an orthonormal set from rows 0 and 1; the old row 2
  // is never read.
  void orthonormalize();
};

// The engine library's vector and plane value types. Arithmetic reads the
// float operands, carries products and sums in double and narrows once, where
// a value is stored into a float, so results are reproducible bit for bit.
#pragma once

#include "math/exact_arithmetic.h"

struct Vector4;

struct Vector3 {
  float x;
  float y;
  float z;

  Vector3() : x(0.0f), y(0.0f), z(0.0f) {}
  Vector3(float x, float y, float z) : x(x), y(y), z(z) {}
  // Drops w. Explicit so that a homogeneous vector never turns into a
  // direction without the caller saying so.
  explicit Vector3(Vector4 v);

  Vector3 operator+(const Vector3& o) const;
  Vector3 operator-(const Vector3& o) const;
  Vector3 operator-() const;
  Vector3 operator*(float s) const;
  // Three true divisions, not a multiplication by 1/s.
  Vector3 operator/(float s) const;
  Vector3& operator+=(const Vector3& o);
  Vector3& operator-=(const Vector3& o);
  Vector3& operator*=(float s);
  // Exact IEEE comparison of each component: +0 equals -0, NaN equals nothing.
  bool operator==(const Vector3& o) const;

  float dot(const Vector3& o) const;
  float quotientSum(const Vector3& o) const;
  // 1 / invSqrt(x*x + y*y + z*z): approximate, and not 0 for the zero vector.
  float length() const;
  // Scales by invSqrt of the squared length; the zero vector stays zero.
  Vector3& normalize();
};

Vector3 cross(const Vector3& a, const Vector3& b);

struct Vector2 {
  float x;
  float y;

  Vector2() : x(0.0f), y(0.0f) {}
  Vector2(float x, float y) : x(x), y(y) {}

  Vector2 operator+(const Vector2& o) const;
  Vector2 operator-(const Vector2& o) const;
  Vector2& operator*=(float s);
};

// The homogeneous vector that Matrix4 transforms.
struct Vector4 {
  float x;
  float y;
  float z;
  float w;

  Vector4() : x(0.0f), y(0.0f), z(0.0f), w(0.0f) {}
  Vector4(float x, float y, float z, float w) : x(x), y(y), z(z), w(w) {}

  // Those of Vector3 on x, y and z: length ignores w, normalize keeps it.
  float length() const;
  Vector4& normalize();
};

// A normal and a distance; nothing normalises the normal.
struct Plane {
  Vector3 normal;
  float d;

  Plane() : normal(0.0f, 1.0f, 0.0f), d(0.0f) {}
  explicit Plane(Vector4 v) : normal(v.x, v.y, v.z), d(v.w) {}
  Plane(Vector3 n, float f) : normal(n), d(f) {}
};

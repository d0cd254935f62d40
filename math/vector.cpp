#include "math/vector.h"

#include "math/scalar.h"

namespace {

float narrow(double value) { return static_cast<float>(value); }

}  // namespace

Vector3::Vector3(Vector4 v) : x(v.x), y(v.y), z(v.z) {}

Vector3 Vector3::operator+(const Vector3& o) const {
  return Vector3(narrow(double(x) + o.x), narrow(double(y) + o.y), narrow(double(z) + o.z));
}

Vector3 Vector3::operator-(const Vector3& o) const {
  return Vector3(narrow(double(x) - o.x), narrow(double(y) - o.y), narrow(double(z) - o.z));
}

Vector3 Vector3::operator-() const { return Vector3(-x, -y, -z); }

Vector3 Vector3::operator*(float s) const {
  return Vector3(narrow(double(x) * s), narrow(double(y) * s), narrow(double(z) * s));
}

Vector3 Vector3::operator/(float s) const {
  return Vector3(narrow(double(x) / s), narrow(double(y) / s), narrow(double(z) / s));
}

Vector3& Vector3::operator+=(const Vector3& o) { return *this = *this + o; }

Vector3& Vector3::operator-=(const Vector3& o) { return *this = *this - o; }

Vector3& Vector3::operator*=(float s) { return *this = *this * s; }

bool Vector3::operator==(const Vector3& o) const { return x == o.x && y == o.y && z == o.z; }

float Vector3::dot(const Vector3& o) const {
  return narrow(double(x) * o.x + double(y) * o.y + double(z) * o.z);
}

float Vector3::quotientSum(const Vector3& o) const {
  return narrow(double(x) / o.x + double(y) / o.y + double(z) / o.z);
}

float Vector3::length() const {
  const float r = invSqrt(dot(*this));
  return narrow(1.0 / r);
}

Vector3& Vector3::normalize() {
  const float r = invSqrt(dot(*this));
  x = narrow(double(x) * r);
  y = narrow(double(y) * r);
  z = narrow(double(z) * r);
  return *this;
}

Vector3 cross(const Vector3& a, const Vector3& b) {
  return Vector3(narrow(double(a.y) * b.z - double(a.z) * b.y),
                 narrow(double(a.z) * b.x - double(a.x) * b.z),
                 narrow(double(a.x) * b.y - double(a.y) * b.x));
}

Vector2 Vector2::operator+(const Vector2& o) const {
  return Vector2(narrow(double(x) + o.x), narrow(double(y) + o.y));
}

Vector2 Vector2::operator-(const Vector2& o) const {
  return Vector2(narrow(double(x) - o.x), narrow(double(y) - o.y));
}

Vector2& Vector2::operator*=(float s) {
  x = narrow(double(x) * s);
  y = narrow(double(y) * s);
  return *this;
}

float Vector4::length() const { return Vector3(*this).length(); }

Vector4& Vector4::normalize() {
  const Vector3 unit = Vector3(*this).normalize();
  x = unit.x;
  y = unit.y;
  z = unit.z;
  return *this;
}

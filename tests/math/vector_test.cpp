#include "math/vector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/math/float_bits.h"

namespace {

#define EXPECT_SAME_VECTOR3(ex, ey, ez, v) \
  do {                                     \
    const Vector3 actual_ = (v);           \
    EXPECT_SAME_FLOAT(ex, actual_.x);      \
    EXPECT_SAME_FLOAT(ey, actual_.y);      \
    EXPECT_SAME_FLOAT(ez, actual_.z);      \
  } while (0)

TEST(Vector3, ConstructionAndComponentArithmetic) {
  EXPECT_SAME_VECTOR3(0.0f, 0.0f, 0.0f, Vector3());
  EXPECT_SAME_VECTOR3(4.0f, 5.0f, 6.0f, Vector3(Vector4(4.0f, 5.0f, 6.0f, 7.0f)));

  // Operands that are not const, so that an operation changing one would
  // compile and be caught below.
  Vector3 v(1.0f, -2.0f, 0.0f);
  Vector3 o(0.5f, 0.25f, 0.0f);
  EXPECT_SAME_VECTOR3(1.5f, -1.75f, 0.0f, v + o);
  EXPECT_SAME_VECTOR3(0.5f, -2.25f, 0.0f, v - o);
  EXPECT_SAME_VECTOR3(-1.0f, 2.0f, -0.0f, -v);
  EXPECT_SAME_VECTOR3(3.0f, -6.0f, 0.0f, v * 3.0f);
  EXPECT_SAME_VECTOR3(-1.0f, 2.0f, -0.0f, v * -1.0f);
  // Each component is divided, not multiplied by a rounded 1/3.
  EXPECT_SAME_VECTOR3(1.0f / 3.0f, -2.0f / 3.0f, 0.0f, v / 3.0f);
  EXPECT_SAME_VECTOR3(0.1f / 3.0f, 0.7f / 3.0f, 0.9f / 3.0f, Vector3(0.1f, 0.7f, 0.9f) / 3.0f);
  EXPECT_SAME_FLOAT(0.0f, v.dot(o));
  EXPECT_SAME_VECTOR3(-0.0f, 0.0f, 1.25f, cross(v, o));
  // The operands are left alone.
  EXPECT_SAME_VECTOR3(1.0f, -2.0f, 0.0f, v);
  EXPECT_SAME_VECTOR3(0.5f, 0.25f, 0.0f, o);

  Vector3 w(1.0f, 2.0f, 3.0f);
  Vector3& same = (w += o);
  EXPECT_EQ(&w, &same);
  EXPECT_SAME_VECTOR3(1.5f, 2.25f, 3.0f, w);
  EXPECT_EQ(&w, &(w -= o));
  EXPECT_SAME_VECTOR3(1.0f, 2.0f, 3.0f, w);
  EXPECT_EQ(&w, &(w *= 2.0f));
  EXPECT_SAME_VECTOR3(2.0f, 4.0f, 6.0f, w);
}

TEST(Vector3, DivisionByZeroGivesIeeeResults) {
  const float inf = std::numeric_limits<float>::infinity();
  const Vector3 q = Vector3(1.0f, -1.0f, 0.0f) / 0.0f;
  EXPECT_SAME_FLOAT(inf, q.x);
  EXPECT_SAME_FLOAT(-inf, q.y);
  EXPECT_TRUE(std::isnan(q.z));
  EXPECT_SAME_FLOAT(inf, Vector3(1.0f, 1.0f, 1.0f).quotientSum(Vector3(0.0f, 1.0f, 1.0f)));
  EXPECT_TRUE(std::isnan(Vector3(1.0f, 0.0f, 1.0f).quotientSum(Vector3(1.0f, 0.0f, 1.0f))));
}

TEST(Vector3, EqualityIsExactIeeeComparison) {
  EXPECT_TRUE(Vector3(0.0f, 0.0f, 0.0f) == Vector3(-0.0f, 0.0f, 0.0f));
  EXPECT_FALSE(Vector3(1.0f, 2.0f, 3.0f) == Vector3(1.0f, 2.0f, std::nextafter(3.0f, 4.0f)));
  EXPECT_FALSE(Vector3(1.0f, 2.0f, 3.0f) == Vector3(1.0f, 3.0f, 3.0f));
  const float nan = floatFromBits(0x7FC01234u);
  const Vector3 withNan(1.0f, nan, 3.0f);
  EXPECT_FALSE(withNan == withNan);
  EXPECT_FALSE(withNan == Vector3(1.0f, floatFromBits(0x7FC01234u), 3.0f));
}

TEST(Vector3, SumsAreCarriedInDoubleAndNarrowedOnce) {
  // In float, 1e8 + 1 - 1e8 loses the 1; in double it survives.
  const Vector3 big(1.0e8f, 1.0f, -1.0e8f);
  EXPECT_SAME_FLOAT(1.0f, big.dot(Vector3(1.0f, 1.0f, 1.0f)));
  EXPECT_SAME_FLOAT(32.0f, Vector3(1.0f, 2.0f, 3.0f).dot(Vector3(4.0f, 5.0f, 6.0f)));
  EXPECT_SAME_FLOAT(1.0f, big.quotientSum(Vector3(1.0f, 1.0f, 1.0f)));
  EXPECT_SAME_FLOAT(static_cast<float>(1.0 / 3.0 + 2.0 / 3.0 + 1.0),
                    Vector3(1.0f, 2.0f, 5.0f).quotientSum(Vector3(3.0f, 3.0f, 5.0f)));
}

TEST(Vector3, LengthAndNormalizeGoThroughInvSqrt) {
  EXPECT_SAME_FLOAT(5.0077682f, Vector3(3.0f, 4.0f, 0.0f).length());
  EXPECT_SAME_FLOAT(1.0016958f, Vector3(1.0f, 0.0f, 0.0f).length());
  EXPECT_SAME_FLOAT(5.0459804e-20f, Vector3(0.0f, 0.0f, 0.0f).length());

  Vector3 v(3.0f, 4.0f, 0.0f);
  EXPECT_EQ(&v, &v.normalize());
  EXPECT_SAME_VECTOR3(0.5990693f, 0.79875904f, 0.0f, v);
  EXPECT_SAME_VECTOR3(0.99830717f, 0.0f, 0.0f, Vector3(1.0f, 0.0f, 0.0f).normalize());
  EXPECT_SAME_VECTOR3(0.0f, 0.0f, 0.0f, Vector3(0.0f, 0.0f, 0.0f).normalize());
  // Signs of zero components survive the scaling.
  EXPECT_SAME_VECTOR3(-0.99830717f, -0.0f, 0.0f, Vector3(-1.0f, -0.0f, 0.0f).normalize());
  // An infinite vector has infinite length rather than a negative one.
  EXPECT_SAME_FLOAT(std::numeric_limits<float>::infinity(),
                    Vector3(std::numeric_limits<float>::infinity(), 0.0f, 0.0f).length());
}

TEST(Vector3, CrossKeepsOperandOrder) {
  EXPECT_SAME_VECTOR3(0.0f, 0.0f, 1.0f,
                      cross(Vector3(1.0f, 0.0f, 0.0f), Vector3(0.0f, 1.0f, 0.0f)));
  EXPECT_SAME_VECTOR3(0.0f, 0.0f, -1.0f,
                      cross(Vector3(0.0f, 1.0f, 0.0f), Vector3(1.0f, 0.0f, 0.0f)));
  EXPECT_SAME_VECTOR3(-3.0f, 6.0f, -3.0f,
                      cross(Vector3(1.0f, 2.0f, 3.0f), Vector3(4.0f, 5.0f, 6.0f)));
  EXPECT_TRUE(cross(Vector3(1.0f, 2.0f, 3.0f), Vector3(2.0f, 4.0f, 6.0f)) == Vector3());
  // a.y*b.z - a.z*b.y with products that cancel only in double.
  const Vector3 a(0.0f, 1.0f + 1.0e-7f, 1.0f);
  const Vector3 b(0.0f, 1.0f, 1.0f - 1.0e-7f);
  const double exact = double(a.y) * b.z - double(a.z) * b.y;
  EXPECT_SAME_FLOAT(static_cast<float>(exact), cross(a, b).x);
}

TEST(Vector2, ConstructionAndArithmetic) {
  const Vector2 zero;
  EXPECT_SAME_FLOAT(0.0f, zero.x);
  EXPECT_SAME_FLOAT(0.0f, zero.y);
  const Vector2 sum = Vector2(1.0f, 2.0f) + Vector2(0.5f, -3.0f);
  EXPECT_SAME_FLOAT(1.5f, sum.x);
  EXPECT_SAME_FLOAT(-1.0f, sum.y);
  const Vector2 diff = Vector2(1.0f, 2.0f) - Vector2(0.5f, 2.0f);
  EXPECT_SAME_FLOAT(0.5f, diff.x);
  EXPECT_SAME_FLOAT(0.0f, diff.y);
  Vector2 v(1.5f, -2.0f);
  EXPECT_EQ(&v, &(v *= -2.0f));
  EXPECT_SAME_FLOAT(-3.0f, v.x);
  EXPECT_SAME_FLOAT(4.0f, v.y);
}

TEST(Vector4, LengthAndNormalizeIgnoreW) {
  Vector4 v(3.0f, 4.0f, 0.0f, 7.0f);
  EXPECT_SAME_FLOAT(5.0077682f, v.length());
  EXPECT_EQ(&v, &v.normalize());
  EXPECT_SAME_FLOAT(0.5990693f, v.x);
  EXPECT_SAME_FLOAT(0.79875904f, v.y);
  EXPECT_SAME_FLOAT(0.0f, v.z);
  EXPECT_SAME_FLOAT(7.0f, v.w);
  const Vector4 zero;
  EXPECT_SAME_FLOAT(0.0f, zero.w);
}

TEST(Plane, Constructors) {
  const Plane fromVector4(Vector4(1.0f, 2.0f, 3.0f, 4.0f));
  EXPECT_SAME_VECTOR3(1.0f, 2.0f, 3.0f, fromVector4.normal);
  EXPECT_SAME_FLOAT(4.0f, fromVector4.d);
  const Plane fallback;
  EXPECT_SAME_VECTOR3(0.0f, 1.0f, 0.0f, fallback.normal);
  EXPECT_SAME_FLOAT(0.0f, fallback.d);
  // The normal is kept as given, not normalised.
  const Plane fromNormal(Vector3(0.0f, 0.0f, 2.0f), -1.5f);
  EXPECT_SAME_VECTOR3(0.0f, 0.0f, 2.0f, fromNormal.normal);
  EXPECT_SAME_FLOAT(-1.5f, fromNormal.d);
}

}  // namespace

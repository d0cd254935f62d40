#include "math/matrix3.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <new>

#include "tests/math/float_bits.h"

namespace {

void expectElements(const Matrix3& expected, const Matrix3& actual) {
  for (int k = 0; k < 9; ++k) EXPECT_SAME_FLOAT(expected.m[k], actual.m[k]) << "m[" << k << "]";
}

const Matrix3 kIdentity{{1, 0, 0, 0, 1, 0, 0, 0, 1}};
const Matrix3 kOneToNine{{1, 2, 3, 4, 5, 6, 7, 8, 9}};

TEST(Matrix3, DefaultConstructionZeroesStorageThatHeldOtherBits) {
  // Volatile stores, so that the compiler keeps them ahead of construction:
  // only the matrix's own initialiser can clear them.
  alignas(Matrix3) unsigned char storage[sizeof(Matrix3)];
  volatile unsigned char* bytes = storage;
  for (std::size_t i = 0; i < sizeof storage; ++i) bytes[i] = 0xA5;
  const Matrix3* matrix = new (storage) Matrix3;
  expectElements(Matrix3{{0, 0, 0, 0, 0, 0, 0, 0, 0}}, *matrix);
}

TEST(Matrix3, ElementWiseArithmetic) {
  // Operands that are not const, so that an operation changing one would
  // compile and be caught below.
  Matrix3 a = kOneToNine;
  Matrix3 b{{9, 8, 7, 6, 5, 4, 3, 2, 1}};
  expectElements(Matrix3{{10, 10, 10, 10, 10, 10, 10, 10, 10}}, a + b);
  expectElements(Matrix3{{-8, -6, -4, -2, 0, 2, 4, 6, 8}}, a - b);
  expectElements(Matrix3{{0.5f, 1, 1.5f, 2, 2.5f, 3, 3.5f, 4, 4.5f}}, a * 0.5f);
  const Vector3 product = a * Vector3(1, 1, 1);
  EXPECT_SAME_FLOAT(12.0f, product.x);
  expectElements(Matrix3{{30, 24, 18, 84, 69, 54, 138, 114, 90}}, a * b);
  expectElements(Matrix3{{1, 4, 7, 2, 5, 8, 3, 6, 9}}, a.transpose());
  // The operands are left alone.
  expectElements(Matrix3{{1, 2, 3, 4, 5, 6, 7, 8, 9}}, a);
  expectElements(Matrix3{{9, 8, 7, 6, 5, 4, 3, 2, 1}}, b);
}

TEST(Matrix3, RowVectorProductAndTranspose) {
  const Vector3 row0 = kOneToNine * Vector3(1, 0, 0);
  EXPECT_SAME_FLOAT(1.0f, row0.x);
  EXPECT_SAME_FLOAT(2.0f, row0.y);
  EXPECT_SAME_FLOAT(3.0f, row0.z);
  const Vector3 mixed = kOneToNine * Vector3(1, 1, -1);
  EXPECT_SAME_FLOAT(1.0f + 4.0f - 7.0f, mixed.x);
  EXPECT_SAME_FLOAT(2.0f + 5.0f - 8.0f, mixed.y);
  EXPECT_SAME_FLOAT(3.0f + 6.0f - 9.0f, mixed.z);
  expectElements(Matrix3{{1, 4, 7, 2, 5, 8, 3, 6, 9}}, kOneToNine.transpose());
}

TEST(Matrix3, ProductOrder) {
  expectElements(kOneToNine, kOneToNine * kIdentity);
  expectElements(kOneToNine, kIdentity * kOneToNine);
  const Matrix3 b{{0, 1, 0, -1, 0, 0, 0, 0, 2}};
  const Matrix3 ab = kOneToNine * b;
  // Row 0 of A against the columns of B.
  expectElements(Matrix3{{-2, 1, 6, -5, 4, 12, -8, 7, 18}}, ab);
  expectElements(Matrix3{{4, 5, 6, -1, -2, -3, 14, 16, 18}}, b * kOneToNine);
  expectElements(ab, (b.transpose() * kOneToNine.transpose()).transpose());
  // The map A applies first: (v A) B == v (A B).
  const Vector3 v(1, -2, 3);
  const Vector3 twoSteps = b * (kOneToNine * v);
  const Vector3 oneStep = ab * v;
  EXPECT_TRUE(twoSteps == oneStep);
  // A product with itself reads the operands, not the partly written result.
  Matrix3 square = kOneToNine;
  square = square * square;
  expectElements(Matrix3{{30, 36, 42, 66, 81, 96, 102, 126, 150}}, square);
}

TEST(Matrix3, SkewSymmetricIsTheCrossProductMatrix) {
  Matrix3 a = kOneToNine;
  a.setSkewSymmetric(Vector3(1, 2, 3));
  expectElements(Matrix3{{0, -3, 2, 3, 0, -1, -2, 1, 0}}, a);
  const Vector3 product = a * Vector3(1, 0, 0);
  EXPECT_TRUE(product == Vector3(0, -3, 2));
  EXPECT_TRUE(product == cross(Vector3(1, 0, 0), Vector3(1, 2, 3)));
  const Vector3 w(-0.5f, 4.0f, 2.5f);
  EXPECT_TRUE(a * w == cross(w, Vector3(1, 2, 3)));
}

TEST(Matrix3, OrthonormalizeRenormalisesThroughInvSqrt) {
  Matrix3 identity = kIdentity;
  identity.orthonormalize();
  expectElements(Matrix3{{0.99830717f, 0, 0, 0, 0.99831688f, 0, 0, 0, 0.99831241f}}, identity);

  Matrix3 skewed{{2, 0, 0, 1, 3, 0, 0, 0, 0}};
  skewed.orthonormalize();
  expectElements(Matrix3{{0.99830717f, 0, 0, 0, 0.99831545f, 0, 0, 0, 0.99888563f}}, skewed);

  // Row 2 is rebuilt right-handed from rows 0 and 1, whatever it held.
  Matrix3 leftHanded{{0, 1, 0, 1, 0, 0, 0, 0, 1}};
  leftHanded.orthonormalize();
  EXPECT_LT(leftHanded.m[8], -0.99f);
}

TEST(Matrix3, OrthonormalizeOfDegenerateRows) {
  Matrix3 parallel{{1, 0, 0, 2, 0, 0, 5, 5, 5}};
  parallel.orthonormalize();
  expectElements(Matrix3{{0.99830717f, 0, 0, 0, 0, 0, 0, 0, 0}}, parallel);

  Matrix3 zeroRow0{{0, 0, 0, 0, 1, 0, 1, 1, 1}};
  zeroRow0.orthonormalize();
  expectElements(Matrix3{}, zeroRow0);
}

}  // namespace

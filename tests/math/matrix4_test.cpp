#include "math/matrix4.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <limits>
#include <new>

#include "tests/math/float_bits.h"

namespace {

void expectElements(const Matrix4& expected, const Matrix4& actual) {
  for (int k = 0; k < 16; ++k) EXPECT_SAME_FLOAT(expected.m[k], actual.m[k]) << "m[" << k << "]";
}

const Matrix4 kIdentity{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
const Matrix4 kOneToSixteen{{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}};
const Matrix4 kShear{{1, 0, 0, 0, 2, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};

TEST(Matrix4, DefaultConstructionZeroesStorageThatHeldOtherBits) {
  // Volatile stores, so that the compiler keeps them ahead of construction:
  // only the matrix's own initialiser can clear them.
  alignas(Matrix4) unsigned char storage[sizeof(Matrix4)];
  volatile unsigned char* bytes = storage;
  for (std::size_t i = 0; i < sizeof storage; ++i) bytes[i] = 0xA5;
  const Matrix4* matrix = new (storage) Matrix4;
  expectElements(Matrix4{{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, *matrix);
}

TEST(Matrix4, ElementWiseArithmeticAndTranspose) {
  // Operands that are not const, so that an operation changing one would
  // compile and be caught below.
  Matrix4 a = kOneToSixteen;
  Matrix4 identity = kIdentity;
  expectElements(Matrix4{{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}}, a);
  expectElements(Matrix4{{2, 2, 3, 4, 5, 7, 7, 8, 9, 10, 12, 12, 13, 14, 15, 17}}, a + identity);
  expectElements(Matrix4{{0, 2, 3, 4, 5, 5, 7, 8, 9, 10, 10, 12, 13, 14, 15, 15}}, a - identity);
  expectElements(
      Matrix4{{-2, -4, -6, -8, -10, -12, -14, -16, -18, -20, -22, -24, -26, -28, -30, -32}},
      a * -2.0f);
  expectElements(Matrix4{{1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 4, 8, 12, 16}}, a.transpose());
  // The operands are left alone.
  expectElements(Matrix4{{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}}, a);
  expectElements(Matrix4{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}}, identity);
}

TEST(Matrix4, RowVectorProductPutsTheTranslationInRow3) {
  const Matrix4 translate{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 10, -20, 30, 1}};
  const Vector4 moved = translate * Vector4(1, 2, 3, 1);
  EXPECT_SAME_FLOAT(11.0f, moved.x);
  EXPECT_SAME_FLOAT(-18.0f, moved.y);
  EXPECT_SAME_FLOAT(33.0f, moved.z);
  EXPECT_SAME_FLOAT(1.0f, moved.w);
  // Directions (w = 0) are not translated.
  const Vector4 direction = translate * Vector4(1, 2, 3, 0);
  EXPECT_SAME_FLOAT(1.0f, direction.x);
  EXPECT_SAME_FLOAT(3.0f, direction.z);
  // Component i is v dotted with column i.
  const Vector4 column = kOneToSixteen * Vector4(1, 0, 0, 1);
  EXPECT_SAME_FLOAT(14.0f, column.x);
  EXPECT_SAME_FLOAT(20.0f, column.w);
}

TEST(Matrix4, PostAndPreMultiplyOrder) {
  // The shear adds twice y to x. A * B applies A first. Operands that are
  // not const, so that a product changing one would compile and be caught.
  Matrix4 a = kOneToSixteen;
  Matrix4 shear = kShear;
  const Matrix4 ab = a * shear;
  expectElements(Matrix4{{5, 2, 3, 4, 17, 6, 7, 8, 29, 10, 11, 12, 41, 14, 15, 16}}, ab);
  expectElements(ab, a.postMultiply(shear));
  const Matrix4 ba = shear * a;
  expectElements(Matrix4{{1, 2, 3, 4, 7, 10, 13, 16, 9, 10, 11, 12, 13, 14, 15, 16}}, ba);
  expectElements(ba, a.preMultiply(shear));
  expectElements(kOneToSixteen, kOneToSixteen * kIdentity);
  expectElements(kOneToSixteen, kOneToSixteen.preMultiply(kIdentity));
  const Vector4 moved = shear * Vector4(1, 1, 1, 1);
  EXPECT_SAME_FLOAT(3.0f, moved.x);
  // The operands are left alone.
  expectElements(Matrix4{{1, 0, 0, 0, 2, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}}, shear);
  expectElements(Matrix4{{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}}, a);
}

TEST(Matrix4, OrthonormalizeTouchesOnlyTheUpperLeft3x3) {
  Matrix4 a{{2, 0, 0, 0.5f, 1, 3, 0, -0.0f, 7, 7, 7, 1.0e-3f, 11, 12, 13, 14}};
  a.orthonormalize();
  expectElements(Matrix4{{0.99830717f, 0, 0, 0.5f, 0, 0.99831545f, 0, -0.0f, 0, 0, 0.99888563f,
                          1.0e-3f, 11, 12, 13, 14}},
                 a);

  Matrix4 parallel{{1, 0, 0, 9, 2, 0, 0, 9, 5, 5, 5, 9, 9, 9, 9, 9}};
  parallel.orthonormalize();
  expectElements(Matrix4{{0.99830717f, 0, 0, 9, 0, 0, 0, 9, 0, 0, 0, 9, 9, 9, 9, 9}}, parallel);
}

TEST(Matrix4, PerspectiveProjection) {
  Matrix4 p = kOneToSixteen;
  p.setPerspective(90, 1, 1, 3, false);
  expectElements(Matrix4{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -2, -1, 0, 0, -3, 0}}, p);

  p.setPerspective(90, 1, 1, 3, true);
  expectElements(Matrix4{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, -1, 0, 0, -2, 0}}, p);
  p.setPerspective(90, 1, 0.5f, 3, true);
  EXPECT_SAME_FLOAT(-2.0f, p.m[14]);
  EXPECT_SAME_FLOAT(-1.0f, p.m[10]);

  // The depth is narrowed to float before dividing: 2^24 + 2 - 1 rounds to
  // 2^24, so m[10] = -(2^24 + 3) / 2^24, a tie that rounds to -(1 + 2^-22).
  p.setPerspective(90, 1, 1, 16777218, false);
  EXPECT_SAME_FLOAT(-(1.0f + 0x1p-22f), p.m[10]);

  p.setPerspective(45, 1.5f, 1, 2001, false);
  expectElements(Matrix4{{1.6094757f, 0, 0, 0, 0, 2.4142137f, 0, 0, 0, 0, -1.0010000f, -1, 0, 0,
                          -2.0009999f, 0}},
                 p);
}

TEST(Matrix4, OrthographicProjection) {
  Matrix4 o = kOneToSixteen;
  o.setOrthographic(-1, 1, -1, 1, -1, 1);
  expectElements(Matrix4{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, -0.0f, -0.0f, -0.0f, 1}}, o);

  o.setOrthographic(0, 640, 0, 480, -1, 1);
  expectElements(
      Matrix4{{0.003125f, 0, 0, 0, 0, 0.0041666669f, 0, 0, 0, 0, -1, 0, -1, -1, -0.0f, 1}}, o);

  // Sums and differences are formed in double: in float, 2^24 - (-1) would
  // round to 2^24 and m[12] would come out as -(1 - 2^-24).
  o.setOrthographic(-1, 16777216, 0, 1, 0, 1);
  EXPECT_SAME_FLOAT(-(1.0f - 0x1p-23f), o.m[12]);
}

TEST(Matrix4, DegenerateProjectionsGiveIeeeResults) {
  const float inf = std::numeric_limits<float>::infinity();
  Matrix4 o;
  o.setOrthographic(1, 1, -1, 1, 2, 2);
  EXPECT_SAME_FLOAT(inf, o.m[0]);
  EXPECT_SAME_FLOAT(-inf, o.m[12]);
  EXPECT_SAME_FLOAT(-inf, o.m[10]);
  EXPECT_SAME_FLOAT(-inf, o.m[14]);

  Matrix4 p;
  p.setPerspective(90, 0, 1, 1, false);
  EXPECT_SAME_FLOAT(inf, p.m[0]);
  EXPECT_SAME_FLOAT(-inf, p.m[10]);
  EXPECT_SAME_FLOAT(-inf, p.m[14]);
  p.setPerspective(0, 1, 1, 3, false);
  EXPECT_SAME_FLOAT(inf, p.m[5]);
}

}  // namespace
